// vantrel-cli: command-line access to recordings and the program's parts.
// Usage: vantrel-cli VERB [ARGS...]

#include "verbs.h"

#include <cstdio>
#include <cstring>

namespace {

struct Verb {
    const char* name;
    const char* usage;
    int (*run)(const CliArgs&);
};

// One entry per verb. Qt verbs go inside the VANTREL_CLI_GUI block.
const Verb kVerbs[] = {
    {"info", "info FILE [--rows FROM COUNT] [--fahrenheit]", CmdInfo},
    {"record",
     "record --port N --seconds S --out FILE.tda [--interval SEC] [--baud RATE] [--stats]",
     CmdRecord},
    {"export",
     "export FILE OUT.xls [--from \"Y-M-D h:m:s\"] [--to \"Y-M-D h:m:s\"] [--step N] "
     "[--fahrenheit]",
     CmdExport},
#ifdef VANTREL_CLI_GUI
    {"print", "print FILE OUT.pdf [--fahrenheit]", CmdPrint},
    {"render", "render FILE OUT.png [--size WxH] [--readout X] [--fahrenheit]", CmdRender},
#endif
};

void PrintUsage(FILE* out) {
    std::fprintf(out, "usage: vantrel-cli VERB [ARGS...]\nverbs:\n");
    for (const Verb& v : kVerbs)
        std::fprintf(out, "  vantrel-cli %s\n", v.usage);
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        PrintUsage(stderr);
        return 2;
    }
    if (!std::strcmp(argv[1], "--help") || !std::strcmp(argv[1], "-h") ||
        !std::strcmp(argv[1], "help")) {
        PrintUsage(stdout);
        return 0;
    }
    CliArgs a;
    a.verb = argv[1];
    a.args.assign(argv + 2, argv + argc);
    for (const Verb& v : kVerbs)
        if (a.verb == v.name)
            return v.run(a);
    std::fprintf(stderr, "vantrel-cli: unknown verb '%s'\n", argv[1]);
    PrintUsage(stderr);
    return 2;
}
