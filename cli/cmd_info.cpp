// vantrel-cli info FILE: the header, parameters and names of a recording.

#include "verbs.h"

int CmdInfo(const CliArgs&) {
    return 1;
}
