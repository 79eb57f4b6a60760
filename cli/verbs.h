#pragma once
// The verbs of vantrel-cli. Each lives in cmd_<verb>.cpp and gets the
// arguments after the verb. A verb returns the process exit status; on
// failure it writes one line with the reason to stderr.

#include <string>
#include <vector>

struct CliArgs {
    std::string verb;
    std::vector<std::string> args; // everything after the verb
};

int CmdInfo(const CliArgs& a);
int CmdRecord(const CliArgs& a);
int CmdExport(const CliArgs& a);

#ifdef VANTREL_CLI_GUI
// Verbs that need Qt are declared here.
int CmdPrint(const CliArgs& a);
int CmdRender(const CliArgs& a);
#endif
