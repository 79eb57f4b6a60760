// vantrel-cli print FILE OUT.pdf [--fahrenheit]
// Prints the first window of a recording, as the history view prints it, on
// one landscape A4 page into a PDF file. Needs no printer and no screen.

#include "verbs.h"

#include "curveparameters.h"
#include "timearith.h"
#include "trendprinter.h"
#include "trendwindow.h"

#include <QGuiApplication>
#include <QString>

#include <cstdio>
#include <cstdlib>
#include <memory>
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

// Qt needs an application object for fonts and the PDF engine; without a
// display it runs on the offscreen platform.
std::unique_ptr<QGuiApplication> MakeHeadlessApp() {
    if (!std::getenv("QT_QPA_PLATFORM") && !std::getenv("DISPLAY") &&
        !std::getenv("WAYLAND_DISPLAY"))
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    static int argc = 1;
    static char name[] = "vantrel-cli";
    static char* argv[] = {name, nullptr};
    return std::make_unique<QGuiApplication>(argc, argv);
}

} // namespace

int CmdPrint(const CliArgs& a) {
    PrintOptions o;
    if (!ParsePrintArgs(a, o))
        return 2;
    const auto app = MakeHeadlessApp();

    // The window is large (80 x 1200 points plus scratch): keep it off the stack.
    auto window = std::make_unique<TrendWindow>();
    switch (window->FirstLoad(o.path, MakeEmptyChannelNameTable())) {
    case TrendWindow::LoadResult::Loaded:
        break;
    case TrendWindow::LoadResult::CannotOpen:
        std::fprintf(stderr,
                     "vantrel-cli print: cannot open '%s' for reading and writing as a recording\n",
                     o.path.c_str());
        return 1;
    case TrendWindow::LoadResult::Refused:
        std::fprintf(stderr,
                     "vantrel-cli print: '%s' is refused (integrity sum or sample interval)\n",
                     o.path.c_str());
        return 1;
    }
    if (!PrintTrendToPdf(QString::fromStdString(o.pdf), *window, o.fahrenheit ? 1 : 0,
                         CurrentLocalTime())) {
        std::fprintf(stderr, "vantrel-cli print: cannot write '%s'\n", o.pdf.c_str());
        return 1;
    }
    return 0;
}
