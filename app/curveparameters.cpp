#include "curveparameters.h"

#include "gbktext.h"

#include <cstring>

const COLORREF kDefaultChannelColors[8] = {
    0x0000FF, // red
    0x00FF00, // green
    0xFF0000, // blue
    0xFF00FF, // magenta
    0xFFFF00, // cyan
    0x00FFFF, // yellow
    0x800080, // purple
    0xFF8000, // sky blue
};

namespace {

// The fields both default sets agree on.
void SetSharedDefaults(CurveParameters& p) {
    p.channelCount = 8;
    p.visibleChannels[0] = 0xFF;
    p.gridRows = 10;
    p.gridColumns = 10;
    p.yMinTenths = 0;
    p.yMaxTenths = 3000;
    p.backgroundColor = RGB(0, 0, 0);
    p.gridColor = RGB(0, 128, 0);
    p.textColor = RGB(255, 128, 0);
    for (int n = 0; n < kMaxChannels; ++n)
        p.channelColors[n] = kDefaultChannelColors[n % 8];
    p.plotMargins[0] = 40; // left
    p.plotMargins[1] = 40; // right
    p.plotMargins[2] = 30; // top
    p.plotMargins[3] = 30; // bottom
}

bool ValidChannel(int n) {
    return n >= 0 && n < kMaxChannels;
}

} // namespace

CurveParameters MakeFreshCurveParameters() {
    CurveParameters p;
    std::memset(&p, 0, sizeof p);
    SetSharedDefaults(p);
    p.timeLength = 10;
    return p;
}

void RestoreDefaultCurveParameters(CurveParameters& p) {
    SetSharedDefaults(p);
}

ChannelNameTable MakeEmptyChannelNameTable() {
    ChannelNameTable t;
    std::memset(&t, 0, sizeof t);
    return t;
}

std::string ChannelNameGbk(const ChannelNameTable& t, int n) {
    if (!ValidChannel(n))
        return {};
    return BoundedFieldText(t.channelNames[n], kChannelNameBytes);
}

void SetChannelNameGbk(ChannelNameTable& t, int n, std::string_view gbk) {
    if (ValidChannel(n))
        CopyToField(t.channelNames[n], kChannelNameBytes, gbk);
}

std::string ChannelNameUtf8(const ChannelNameTable& t, int n) {
    return GbkToUtf8(ChannelNameGbk(t, n));
}

void SetChannelNameUtf8(ChannelNameTable& t, int n, std::string_view utf8) {
    SetChannelNameGbk(t, n, Utf8ToGbk(utf8));
}

void TerminateChannelNames(ChannelNameTable& t) {
    for (auto& name : t.channelNames)
        name[kChannelNameBytes - 1] = 0;
}
