// vantrel-cli info FILE [--rows FROM COUNT] [--fahrenheit]
// Prints a recording's header, parameters and channel names, and optionally
// rows FROM (0-based) .. FROM+COUNT-1 with their times and values in degrees.

#include "verbs.h"

#include "gbktext.h"
#include "tdafile.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

struct InfoOptions {
    std::string path;
    bool fahrenheit = false;
    bool rows = false;
    long long from = 0;
    long long count = 0;
};

bool ParseCount(const std::string& s, long long& out) {
    char* end = nullptr;
    out = std::strtoll(s.c_str(), &end, 10);
    return !s.empty() && *end == 0 && out >= 0;
}

bool ParseInfoArgs(const CliArgs& a, InfoOptions& o) {
    for (size_t i = 0; i < a.args.size(); ++i) {
        const std::string& arg = a.args[i];
        if (arg == "--fahrenheit") {
            o.fahrenheit = true;
        } else if (arg == "--rows") {
            if (i + 2 >= a.args.size() || !ParseCount(a.args[i + 1], o.from) ||
                !ParseCount(a.args[i + 2], o.count)) {
                std::fprintf(stderr, "vantrel-cli info: --rows needs FROM and COUNT (>= 0)\n");
                return false;
            }
            o.rows = true;
            i += 2;
        } else if (o.path.empty() && (arg.empty() || arg[0] != '-')) {
            o.path = arg;
        } else {
            std::fprintf(stderr, "vantrel-cli info: unexpected argument '%s'\n", arg.c_str());
            return false;
        }
    }
    if (o.path.empty()) {
        std::fprintf(stderr, "usage: vantrel-cli info FILE [--rows FROM COUNT] [--fahrenheit]\n");
        return false;
    }
    return true;
}

void PrintTime(const char* label, const SYSTEMTIME& t) {
    std::printf("%s%d-%d-%d %d:%d:%d\n", label, t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute,
                t.wSecond);
}

void PrintHeader(const CTdaFile& f) {
    const TdaHeader& h = f.Header();
    std::printf("file: %s\n", f.Path().c_str());
    std::printf("size: %lld bytes\n", f.FileSize());
    std::printf("signature:");
    for (uint8_t b : h.signature)
        std::printf(" %02X", b);
    std::printf("\n");
    std::printf("maker: %s\n", BoundedFieldText(h.makerName, sizeof h.makerName).c_str());
    std::printf("interval: %d s\n", h.sampleInterval);
    std::printf("channels: %d\n", h.channelCount);
    std::printf("samples: %d (rows available: %lld)\n", h.sampleCount, f.RowCount());
    PrintTime("run start: ", h.runStartTime);
    PrintTime("last sample: ", h.lastSampleTime);
    if (f.ChecksumValid())
        std::printf("checksum: %d (valid)\n", h.checksum);
    else
        std::printf("checksum: %d (INVALID, expected %d)\n", h.checksum, ComputeTdaChecksum(h));
    std::printf("value scale: %d (%s)\n", h.valueScale,
                h.valueScale == 2 ? "hundredths" : "tenths");
}

void PrintParameters(const CTdaFile& f) {
    const CurveParameters& p = f.Parameters();
    std::printf("time length: %d %s\n", p.timeLength,
                p.timeLengthInSeconds ? "seconds" : "minutes");
    std::printf("range: %.1f .. %.1f\n", p.yMinTenths / 10.0, p.yMaxTenths / 10.0);
}

void PrintNames(const CTdaFile& f) {
    if (f.TrailerMissing()) {
        std::printf("names: missing (recording was not stopped normally)\n");
        return;
    }
    if (!f.NameTablePresent()) {
        std::printf("names: none stored\n");
        return;
    }
    const ChannelNameTable& t = f.NameTable();
    std::printf("names: stored, custom names %s\n", t.customNamesEnabled ? "on" : "off");
    for (int n = 0; n < f.ChannelCount(); ++n)
        std::printf("  %d: %s\n", n + 1, ChannelNameUtf8(t, n).c_str());
}

int PrintRows(CTdaFile& f, const InfoOptions& o) {
    if (o.count == 0)
        return 0;
    if (o.from >= f.RowCount()) {
        std::fprintf(stderr, "vantrel-cli info: row %lld outside the file (%lld rows)\n", o.from,
                     f.RowCount());
        return 1;
    }
    const uint8_t scale = f.Header().valueScale;
    int16_t row[kMaxChannels] = {};
    long long end = std::min(o.from + o.count, f.RowCount());
    for (long long i = o.from; i < end; ++i) {
        if (!f.ReadRow(i, row)) {
            std::fprintf(stderr, "vantrel-cli info: %s at row %lld\n",
                         TdaErrorText(TdaError::ReadFailed), i);
            return 1;
        }
        SYSTEMTIME t = f.RowTime(i);
        std::printf("%lld  %d-%d-%d %d:%d:%d", i, t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute,
                    t.wSecond);
        for (int c = 0; c < f.ChannelCount(); ++c)
            std::printf(" %5.1f", RawToDegrees(row[c], scale, o.fahrenheit));
        std::printf("\n");
    }
    return 0;
}

} // namespace

int CmdInfo(const CliArgs& a) {
    InfoOptions o;
    if (!ParseInfoArgs(a, o))
        return 2;
    CTdaFile f;
    TdaError e = f.Open(o.path, CTdaFile::Mode::ReadOnly);
    if (e != TdaError::None) {
        std::fprintf(stderr, "vantrel-cli info: %s: %s\n", o.path.c_str(), TdaErrorText(e));
        return 1;
    }
    PrintHeader(f);
    PrintParameters(f);
    PrintNames(f);
    if (!f.IntervalValid())
        std::fprintf(stderr, "vantrel-cli info: warning: %s\n",
                     TdaErrorText(TdaError::NonPositiveInterval));
    return o.rows ? PrintRows(f, o) : 0;
}
