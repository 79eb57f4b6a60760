#include "guiverbs.h"

#include "curveparameters.h"

#include <cstdio>
#include <cstdlib>

std::unique_ptr<QGuiApplication> MakeHeadlessApp() {
    if (!std::getenv("QT_QPA_PLATFORM") && !std::getenv("DISPLAY") &&
        !std::getenv("WAYLAND_DISPLAY"))
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    static int argc = 1;
    static char name[] = "vantrel-cli";
    static char* argv[] = {name, nullptr};
    return std::make_unique<QGuiApplication>(argc, argv);
}

std::unique_ptr<TrendWindow> LoadFirstWindow(const char* verb, const std::string& path) {
    auto window = std::make_unique<TrendWindow>();
    switch (window->FirstLoad(path, MakeEmptyChannelNameTable())) {
    case TrendWindow::LoadResult::Loaded:
        return window;
    case TrendWindow::LoadResult::CannotOpen:
        std::fprintf(stderr,
                     "vantrel-cli %s: cannot open '%s' for reading and writing as a recording\n",
                     verb, path.c_str());
        return nullptr;
    case TrendWindow::LoadResult::Refused:
        std::fprintf(stderr, "vantrel-cli %s: '%s' is refused (integrity sum or sample interval)\n",
                     verb, path.c_str());
        return nullptr;
    }
    return nullptr;
}
