#include "trendrenderer.h"

#include "gbktext.h"
#include "tdafile.h"
#include "timearith.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdio>
#include <string>

namespace {

constexpr DcColor kRed = RGB(255, 0, 0);
constexpr DcColor kBlack = RGB(0, 0, 0);
constexpr DcColor kWhite = RGB(255, 255, 255);
constexpr DcColor kReadoutBox = RGB(245, 245, 245);
constexpr DcColor kSeparator = RGB(128, 128, 128);
constexpr int kReadoutBoxWidth = 200;
constexpr int kMaxCountedChannels = kMaxChannels;

int ClampToInt(long long v) {
    return int(std::clamp<long long>(v, INT_MIN, INT_MAX));
}
int ClampToInt(double v) {
    if (!(v == v))
        return 0;
    return int(std::clamp(v, double(INT_MIN), double(INT_MAX)));
}

// Width of a text in label cells: its GBK bytes times the cell width.
int TextWidth(const std::string& utf8, const DcFont& font) {
    return int(GbkByteLength(utf8)) * font.width;
}

std::string Format(const char* fmt, long long a) {
    char buf[64];
    std::snprintf(buf, sizeof buf, fmt, a);
    return buf;
}

std::string DateText(const SYSTEMTIME& t) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%d-%d-%d", t.wYear, t.wMonth, t.wDay);
    return buf;
}

std::string TimeText(const SYSTEMTIME& t) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%d:%d:%d", t.wHour, t.wMinute, t.wSecond);
    return buf;
}

int ChannelsInUse(const CurveParameters& para) {
    return std::clamp(para.channelCount, 0, kMaxCountedChannels);
}

bool IsVisible(const CurveParameters& para, int channel) {
    return GetBit(para.visibleChannels, channel);
}

// A grid count the mapping can use: at least one division, and no more
// divisions than the plot has units (beyond that every unit would be a grid
// line) nor than any screen or page has (a damaged file could ask for
// billions, on a plot whose size comes from damaged margins).
constexpr int kMaxGridCount = 16384;
bool UsableGridCount(int32_t count, int extent) {
    return count > 0 && count <= std::max(extent, 1) && count <= kMaxGridCount;
}

void FrameRect(DeviceContext& dc, const DcRect& r) {
    dc.MoveTo(r.left, r.bottom);
    dc.LineTo(r.right, r.bottom);
    dc.MoveTo(r.left, r.top);
    dc.LineTo(r.right, r.top);
    dc.MoveTo(r.left, r.top);
    dc.LineTo(r.left, r.bottom);
    dc.MoveTo(r.right, r.top);
    dc.LineTo(r.right, r.bottom);
}

void TextIn(DeviceContext& dc, const std::string& utf8, int left, int top, int right, int bottom) {
    dc.DrawText(utf8, DcRect{left, top, right, bottom});
}

// A text centred on cx (its rectangle is len x w wide, the text at its left).
void TextCentred(DeviceContext& dc, const std::string& utf8, const DcFont& font, int cx, int top,
                 int bottom) {
    const int half = TextWidth(utf8, font) / 2;
    TextIn(dc, utf8, cx - half, top, cx + half, bottom);
}

void DrawValueAxis(DeviceContext& dc, const DcRect& p, const CurveParameters& para,
                   const DcFont& font) {
    const int h = font.height;
    if (UsableGridCount(para.gridRows, p.Height())) {
        const double rowHeight = double(p.Height()) / para.gridRows;
        const double valueStep =
            (double(para.yMaxTenths) - double(para.yMinTenths)) / para.gridRows;
        for (int i = 0; i < para.gridRows; ++i) {
            const double y = p.top + i * rowHeight;
            dc.MoveTo(p.left, int(y));
            dc.LineTo(p.right, int(y));
            const double value = (para.yMaxTenths - i * valueStep) / 10.0;
            const std::string label = Format("%lld", (long long)std::trunc(value));
            TextIn(dc, label, p.left - TextWidth(label, font) - 2, int(y - h / 2), p.left - 2,
                   int(y + h / 2));
        }
    }
    const std::string bottom = Format("%lld", (long long)(para.yMinTenths / 10));
    TextIn(dc, bottom, p.left - TextWidth(bottom, font) - 2, p.bottom - h, p.left - 2, p.bottom);
}

void DrawTimeLabel(DeviceContext& dc, const CurveParameters& para, const DcFont& font,
                   const DcRect& p, double x, const SYSTEMTIME& t) {
    const int h = font.height;
    const std::string time = TimeText(t);
    const int timeHalf = TextWidth(time, font) / 2;
    if (para.xAxisLongTime) {
        const std::string date = DateText(t);
        const int dateHalf = TextWidth(date, font) / 2;
        TextIn(dc, date, int(x - dateHalf), p.bottom + 2, int(x + dateHalf), p.bottom + h + 2);
        TextIn(dc, time, int(x - timeHalf), p.bottom + h + 2, int(x + timeHalf),
               p.bottom + 2 * h + 4);
    } else {
        TextIn(dc, time, int(x - timeHalf), p.bottom + 2, int(x + timeHalf), p.bottom + h + 2);
    }
}

void DrawTimeAxis(DeviceContext& dc, const DcRect& p, const CurveParameters& para,
                  const DcFont& font, const TimeScale& scale) {
    if (!UsableGridCount(para.gridColumns, p.Width()))
        return;
    const double columnWidth = double(p.Width()) / para.gridColumns;
    for (int i = 0; i < para.gridColumns; ++i) {
        const int x = int(p.left + i * columnWidth);
        dc.MoveTo(x, p.top);
        dc.LineTo(x, p.bottom);
    }
    const double secondsPerColumn = scale.SecondsPerColumn(para.gridColumns);
    for (int i = 0; i <= para.gridColumns; ++i) {
        const double x = i < para.gridColumns ? p.left + i * columnWidth : double(p.right);
        const SYSTEMTIME t =
            AddSeconds(para.startTime, ClampToInt(std::trunc(i * secondsPerColumn)));
        DrawTimeLabel(dc, para, font, p, x, t);
    }
}

void DrawAxesWith(DeviceContext& dc, const DcRect& r, const CurveParameters& para,
                  const TrendEnv& env, const TimeScale& scale, DcColor background,
                  bool frameOuter) {
    const DcFont& font = env.labelFont;
    DcSelection selection(dc, font, DcPen{para.gridColor, 1}, para.textColor);
    dc.FillSolidRect(r, background);
    const DcRect p = PlotRect(r, para);
    FrameRect(dc, p);
    if (frameOuter)
        FrameRect(dc, r);

    const std::string unit = env.tempUnit ? "F" : "℃";
    const int unitHalf = TextWidth(unit, font) / 2;
    TextIn(dc, unit, p.left - unitHalf, p.top - font.height - 4, p.left + unitHalf, p.top - 4);

    DrawValueAxis(dc, p, para, font);
    const std::string timeCaption = "时间";
    TextIn(dc, timeCaption, p.right + 2, p.bottom - font.height,
           p.right + TextWidth(timeCaption, font) + 2, p.bottom);
    DrawTimeAxis(dc, p, para, font, scale);
}

// One end of a curve segment in its scale and unit.
double SegmentValue(int16_t raw, int divisor, bool fahrenheit) {
    return ConvertCount(double(raw), divisor, fahrenheit);
}

// Truncated toward zero, then held inside lo .. hi by the unrounded value.
long long ClampedEnd(double v, long long lo, long long hi) {
    long long iv = (long long)std::trunc(std::clamp(v, -1e15, 1e15));
    if (v < lo)
        iv = lo;
    if (v > hi)
        iv = hi;
    return iv;
}

} // namespace

DcFont TrendLabelFont() {
    return DcFont{12, 8, "宋体"};
}

int32_t TimeScale::SecondsToPoint(uint32_t k) const {
    const double seconds = double(int64_t(k) * secondsPerStep) * stepFactor;
    return ClampToInt(std::trunc(seconds));
}

double TimeScale::SecondsPerColumn(int32_t gridColumns) const {
    if (gridColumns <= 0)
        return 0.0;
    return double(points) * secondsPerStep * stepFactor / gridColumns;
}

DcRect PlotRect(const DcRect& r, const CurveParameters& para) {
    // Margins come from files; kept within a range where every offset the
    // routines add to the plot's edges stays a valid coordinate.
    static constexpr long long kLimit = 1 << 26;
    const auto edge = [](long long v) { return int(std::clamp(v, -kLimit, kLimit)); };
    const int32_t* m = para.plotMargins;
    return DcRect{edge((long long)r.left + m[0]), edge((long long)r.top + m[2]),
                  edge((long long)r.right - m[1]), edge((long long)r.bottom - m[3])};
}

void DrawAxes(DeviceContext& dc, const DcRect& r, const CurveParameters& para, const TrendEnv& env,
              const TimeScale& scale) {
    DrawAxesWith(dc, r, para, env, scale, para.backgroundColor, false);
}

void DrawPrintAxes(DeviceContext& dc, const DcRect& r, const CurveParameters& para,
                   const TrendEnv& env, const TimeScale& scale) {
    DrawAxesWith(dc, r, para, env, scale, kWhite, true);
}

void DrawLine(DeviceContext& dc, DcColor color, int x1, int y1, int x2, int y2) {
    const DcPen previous = dc.SelectPen(DcPen{color, 1});
    dc.MoveTo(x1, y1);
    dc.LineTo(x2, y2);
    dc.SelectPen(previous);
}

void DrawCurves(DeviceContext& dc, const DcRect& r, const CurveParameters& para,
                const TrendEnv& env, const DisplayBuffer& buffer, uint32_t points,
                uint32_t drawable) {
    DrawCurveSegments(dc, r, para, env, buffer, points, 0, drawable);
}

void DrawCurveSegments(DeviceContext& dc, const DcRect& r, const CurveParameters& para,
                       const TrendEnv& env, const DisplayBuffer& buffer, uint32_t points,
                       uint32_t first, uint32_t drawable) {
    DcSelection selection(dc, env.labelFont, DcPen{para.gridColor, 1}, para.textColor);
    if (points == 0 || para.yMaxTenths == para.yMinTenths)
        return;
    drawable = std::min({drawable, points, kDisplayPoints});
    if (drawable < 2)
        return;
    const DcRect p = PlotRect(r, para);
    const long long width = (long long)p.right - p.left;
    const long long height = (long long)p.bottom - p.top;
    const bool fahrenheit = env.tempUnit != 0;
    auto xOf = [&](long long k) { return ClampToInt(p.left + width * k / (long long)points); };

    for (int c = 0; c < ChannelsInUse(para); ++c) {
        if (!IsVisible(para, c))
            continue;
        const DcColor color = para.channelColors[c];
        const int16_t* values = buffer[c];
        for (uint32_t j = first; j + 1 < drawable; ++j) {
            const int16_t a = values[j];
            const int divisor = TdaValueDivisor(env.valueScale, a);
            const long long scaleFactor = divisor == 100 ? 10 : 1;
            const long long lo = scaleFactor * para.yMinTenths;
            const long long hi = scaleFactor * para.yMaxTenths;
            const double va = SegmentValue(a, divisor, fahrenheit);
            const double vb = SegmentValue(values[j + 1], divisor, fahrenheit);
            if ((va < lo && vb < lo) || (va > hi && vb > hi))
                continue;
            auto yOf = [&](long long v) {
                return ClampToInt(p.bottom - (v - lo) * height / (hi - lo));
            };
            DrawLine(dc, color, xOf(j), yOf(ClampedEnd(va, lo, hi)), xOf(j + 1),
                     yOf(ClampedEnd(vb, lo, hi)));
        }
    }
}

std::string ReadoutLineText(const ChannelNameTable& names, int channel, int16_t raw,
                            const TrendEnv& env) {
    const bool fahrenheit = env.tempUnit != 0;
    const bool hundredths = TdaValueDivisor(env.valueScale, raw) == 100;
    const double degrees = RawToDegrees(raw, env.valueScale, fahrenheit);
    char value[64];
    std::snprintf(value, sizeof value, hundredths ? "%4.2f" : "%5.1f", degrees);
    const std::string unit = fahrenheit ? "F" : "℃";
    std::string name;
    if (names.customNamesEnabled)
        name = ChannelNameUtf8(names, channel);
    if (name.empty())
        name = "通道" + std::to_string(channel + 1);
    return name + ": " + value + unit;
}

void DrawCursorReadout(DeviceContext& dc, const DcRect& r, const CurveParameters& para,
                       const TrendEnv& env, const DisplayBuffer& buffer, const TimeScale& scale,
                       uint32_t drawable, const ChannelNameTable& names, int cursorX,
                       int scrollDelta, CursorReadout& readout) {
    const DcFont& font = env.labelFont;
    DcSelection selection(dc, font, DcPen{kRed, 1}, kBlack);
    const DcRect p = PlotRect(r, para);
    if (p.Width() <= 0 || scale.points == 0)
        return;
    const uint32_t points = std::min(scale.points, kDisplayPoints);
    drawable = std::min(drawable, points);

    const int x = std::max(p.left, std::min(cursorX, p.right));
    dc.MoveTo(x, p.top);
    dc.LineTo(x, p.bottom);

    const uint32_t k = uint32_t(uint64_t(x - p.left) * points / uint32_t(p.Width()));
    readout.cursorTime = AddSeconds(para.startTime, scale.SecondsToPoint(k));
    int visible = 0;
    for (int c = 0; c < ChannelsInUse(para); ++c) {
        if (!IsVisible(para, c))
            continue;
        readout.cursorValues[c] = k < drawable ? buffer[c][k] : 0;
        ++visible;
    }

    const int h = font.height;
    const int lineHeight = h + 2;
    const int lines = std::max(p.Height() / lineHeight - 2, 0);
    int shown = visible;
    if (visible > lines) {
        shown = lines;
        readout.legendScroll += scrollDelta;
        if (readout.legendScroll < 0)
            readout.legendScroll = 0;
        if (readout.legendScroll + lines > visible)
            readout.legendScroll = visible - lines;
    } else {
        // Everything fits: an offset left from an earlier, fuller list would
        // only hide the first channels behind empty lines.
        readout.legendScroll = 0;
    }

    const int boxLeft = x < p.left + p.Width() / 2 ? p.right - kReadoutBoxWidth : p.left;
    const int boxRight = boxLeft + kReadoutBoxWidth;
    const int centre = boxLeft + kReadoutBoxWidth / 2;
    dc.FillSolidRect(DcRect{boxLeft, p.top, boxRight, p.top + (shown + 2) * lineHeight},
                     kReadoutBox);
    TextCentred(dc, "总貌", font, centre, p.top, p.top + lineHeight);
    const SYSTEMTIME& t = readout.cursorTime;
    TextCentred(dc, DateText(t) + " " + TimeText(t), font, centre, p.top + lineHeight,
                p.top + 2 * lineHeight);

    int ordinal = 0;
    int line = 0;
    for (int c = 0; c < ChannelsInUse(para) && line < shown; ++c) {
        if (!IsVisible(para, c))
            continue;
        if (ordinal++ < readout.legendScroll)
            continue;
        const int rowTop = p.top + (line + 2) * lineHeight;
        dc.SetTextColor(para.channelColors[c]);
        TextCentred(dc, ReadoutLineText(names, c, readout.cursorValues[c], env), font, centre,
                    rowTop, rowTop + lineHeight);
        DrawLine(dc, kSeparator, boxLeft + 10, rowTop - 1, boxRight - 10, rowTop - 1);
        ++line;
    }
}
