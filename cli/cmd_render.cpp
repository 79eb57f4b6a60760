// vantrel-cli render FILE OUT.png [--size WxH] [--readout X] [--fahrenheit]
// Draws the first window of a recording as the history view shows it in a
// client area of W x H pixels (default 1280 x 800), with the cursor readout
// at client x = X when given, and writes the picture in the image format
// the extension names. Needs no screen.

#include "verbs.h"

#include "bitmapexport.h"
#include "cursorreadout.h"
#include "guiverbs.h"
#include "qpainterdc.h"

#include <QFileInfo>
#include <QImage>
#include <QImageWriter>
#include <QPainter>
#include <QString>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

namespace {

struct RenderOptions {
    std::string path;
    std::string out;
    int width = 1280;
    int height = 800;
    bool readout = false;
    int readoutX = 0;
    bool fahrenheit = false;
};

constexpr const char* kUsage =
    "usage: render FILE OUT.png [--size WxH] [--readout X] [--fahrenheit]";

bool ParseInt(const std::string& s, int& out) {
    char* end = nullptr;
    const long v = std::strtol(s.c_str(), &end, 10);
    if (s.empty() || *end != '\0' || v < -1000000 || v > 1000000)
        return false;
    out = int(v);
    return true;
}

bool ParseSize(const std::string& s, int& w, int& h) {
    const auto x = s.find_first_of("xX");
    return x != std::string::npos && ParseInt(s.substr(0, x), w) && ParseInt(s.substr(x + 1), h) &&
           w > 0 && h > 0 && w <= 16384 && h <= 16384;
}

bool ParseRenderArgs(const CliArgs& a, RenderOptions& o) {
    for (size_t i = 0; i < a.args.size(); ++i) {
        const std::string& arg = a.args[i];
        const bool hasValue = i + 1 < a.args.size();
        if (arg == "--size" && hasValue) {
            if (!ParseSize(a.args[++i], o.width, o.height)) {
                std::fprintf(stderr, "vantrel-cli render: bad size '%s'\n", a.args[i].c_str());
                return false;
            }
        } else if (arg == "--readout" && hasValue) {
            if (!ParseInt(a.args[++i], o.readoutX)) {
                std::fprintf(stderr, "vantrel-cli render: bad x '%s'\n", a.args[i].c_str());
                return false;
            }
            o.readout = true;
        } else if (arg == "--fahrenheit") {
            o.fahrenheit = true;
        } else if (!arg.empty() && arg[0] == '-') {
            std::fprintf(stderr, "vantrel-cli render: unexpected argument '%s'\n%s\n", arg.c_str(),
                         kUsage);
            return false;
        } else if (o.path.empty()) {
            o.path = arg;
        } else if (o.out.empty()) {
            o.out = arg;
        } else {
            std::fprintf(stderr, "vantrel-cli render: unexpected argument '%s'\n", arg.c_str());
            return false;
        }
    }
    if (o.path.empty() || o.out.empty()) {
        std::fprintf(stderr, "vantrel-cli render: %s\n", kUsage);
        return false;
    }
    return true;
}

} // namespace

int CmdRender(const CliArgs& a) {
    RenderOptions o;
    if (!ParseRenderArgs(a, o))
        return 2;
    auto app = MakeHeadlessApp();
    const QString out = QString::fromStdString(o.out);
    const QByteArray suffix = QFileInfo(out).suffix().toLower().toLatin1();
    if (suffix.isEmpty() || !QImageWriter::supportedImageFormats().contains(suffix)) {
        std::fprintf(stderr, "vantrel-cli render: no image format for '%s'\n", o.out.c_str());
        return 1;
    }

    const auto window = LoadFirstWindow("render", o.path);
    if (!window)
        return 1;

    CursorReadout readout{};
    if (o.readout) {
        readout.cursorState = kCursorShown;
        readout.cursorX = o.readoutX;
    }
    QImage image(o.width, o.height, QImage::Format_RGB32);
    image.fill(Qt::white);
    {
        QPainter painter(&image);
        QPainterDc dc(painter);
        window->Draw(dc, DcRect{0, 0, o.width, o.height}, readout, o.fahrenheit ? 1 : 0);
    }
    // .bmp goes through the same 24-bit writer as the view's "save as bitmap".
    const bool saved = suffix == "bmp" ? SaveImageAsBmp(image, out) : image.save(out);
    if (!saved) {
        std::fprintf(stderr, "vantrel-cli render: cannot write '%s'\n", o.out.c_str());
        return 1;
    }
    return 0;
}
