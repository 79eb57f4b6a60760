#include "celltext.h"

#include "gbktext.h"
#include "tdafile.h"
#include "timearith.h"

#include <cstdio>
#include <cstring>

std::string ValueCellText(int16_t raw, uint8_t valueScale, bool fahrenheit) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%5.1f", RawToDegrees(raw, valueScale, fahrenheit));
    return buf;
}

CValueTextTable::CValueTextTable(uint8_t valueScale, bool fahrenheit) : m_texts(65536) {
    for (int r = -32768; r <= 32767; ++r)
        m_texts[uint16_t(r)] = ValueCellText(int16_t(r), valueScale, fahrenheit);
}

std::string TimeCellText(const SYSTEMTIME& t) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%d-%d-%d %d:%d:%d", t.wYear, t.wMonth, t.wDay, t.wHour,
                  t.wMinute, t.wSecond);
    return buf;
}

bool ParseTimeCellText(std::string_view text, SYSTEMTIME& out) {
    std::string s(text);
    int y = 0, mo = 0, d = 0, h = 0, mi = 0, sec = 0, used = 0;
    int n =
        std::sscanf(s.c_str(), "%d-%d-%d%n %d:%d:%d%n", &y, &mo, &d, &used, &h, &mi, &sec, &used);
    if ((n != 3 && n != 6) || size_t(used) != s.size())
        return false;
    if (y < 1970 || y > 9999 || mo < 1 || mo > 12 || d < 1 || d > 31 || h < 0 || h > 23 || mi < 0 ||
        mi > 59 || sec < 0 || sec > 59)
        return false;
    SYSTEMTIME t{};
    t.wYear = uint16_t(y);
    t.wMonth = uint16_t(mo);
    t.wDay = uint16_t(d);
    t.wHour = uint16_t(h);
    t.wMinute = uint16_t(mi);
    t.wSecond = uint16_t(sec);
    // A day past the month's end (2月30日) would roll over: refuse it.
    SYSTEMTIME back = AddSeconds(t, 0);
    if (back.wDay != t.wDay || back.wMonth != t.wMonth)
        return false;
    out = t;
    return true;
}

std::string ChannelNameText(const ChannelNameTable& t, int c) {
    if (c < 0 || c >= kMaxChannels)
        return {};
    return GbkToUtf8(BoundedFieldText(t.channelNames[c], kChannelNameBytes));
}

static std::string NumberedTitle(const char* format, int c) {
    char buf[32];
    std::snprintf(buf, sizeof buf, format, c + 1);
    return buf;
}

std::string ChannelColumnTitle(const ChannelNameTable& t, int c) {
    std::string name = t.customNamesEnabled ? ChannelNameText(t, c) : std::string();
    return name.empty() ? NumberedTitle("通道%d:", c) : name;
}

std::string ChannelEditCaption(const ChannelNameTable& t, int c) {
    if (!t.customNamesEnabled)
        return NumberedTitle("通道%d", c);
    std::string name = ChannelNameText(t, c);
    return name.empty() ? NumberedTitle("通道%d:", c) : name;
}

std::string ChannelExportTitle(const ChannelNameTable& t, int c, bool fahrenheit) {
    std::string name = t.customNamesEnabled ? ChannelNameText(t, c) : std::string();
    if (name.empty())
        name = NumberedTitle("通道%d", c);
    return name + (fahrenheit ? "(F)" : "(℃)");
}
