// vantrel-cli print FILE OUT.pdf [--fahrenheit]
// Prints the first window of a recording, as the history view prints it, on
// one landscape A4 page into a PDF file. Needs no printer and no screen.

#include "verbs.h"

#include "guiverbs.h"
#include "timearith.h"
#include "trendprinter.h"

#include <QString>

#include <cstdio>
#include <string>

namespace {

struct PrintOptions {
    std::string path;
    std::string pdf;
    bool fahrenheit = false;
};

bool ParsePrintArgs(const CliArgs& a, PrintOptions& o) {
    for (const std::string& arg : a.args) {
        if (arg == "--fahrenheit") {
            o.fahrenheit = true;
        } else if (!arg.empty() && arg[0] == '-') {
            std::fprintf(stderr, "vantrel-cli print: unexpected argument '%s'\n", arg.c_str());
            return false;
        } else if (o.path.empty()) {
            o.path = arg;
        } else if (o.pdf.empty()) {
            o.pdf = arg;
        } else {
            std::fprintf(stderr, "vantrel-cli print: unexpected argument '%s'\n", arg.c_str());
            return false;
        }
    }
    if (o.path.empty() || o.pdf.empty()) {
        std::fprintf(stderr, "vantrel-cli print: usage: print FILE OUT.pdf [--fahrenheit]\n");
        return false;
    }
    return true;
}

} // namespace

int CmdPrint(const CliArgs& a) {
    PrintOptions o;
    if (!ParsePrintArgs(a, o))
        return 2;
    const auto app = MakeHeadlessApp();
    const auto window = LoadFirstWindow("print", o.path);
    if (!window)
        return 1;
    if (!PrintTrendToPdf(QString::fromStdString(o.pdf), *window, o.fahrenheit ? 1 : 0,
                         CurrentLocalTime())) {
        std::fprintf(stderr, "vantrel-cli print: cannot write '%s'\n", o.pdf.c_str());
        return 1;
    }
    return 0;
}
