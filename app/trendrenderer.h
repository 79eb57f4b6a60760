#pragma once
// The trend drawing routines shared by the history view, the live view,
// printing and the bitmap export. They hold no state of their own and read
// nothing from any view: everything they need is passed in. Each routine
// selects the label font, a transparent text background and its pen, and
// leaves the device context as it found it.
//
// Layout: the plot rectangle P is the outer rectangle R shrunk by the
// parameters' plotMargins (left, right, top, bottom). Texts are w x h = the
// label font's cell (8 x 12); a text's width is its length in GBK bytes x w.
//
// Values that would make a mapping divide by zero draw nothing for the part
// they affect: equal range ends (no curves), zero or negative grid counts (no
// grid lines and labels on that axis), N = 0 (no curves, no readout), a plot
// of zero width (no readout). Grid counts beyond the plot's extent in units
// (a damaged file) are treated the same way.

#include "cursorreadout.h"
#include "curveparameters.h"
#include "devicecontext.h"

#include <cstdint>

// Points per channel that a trend window holds.
constexpr uint32_t kDisplayPoints = 1200;
// Raw value of channel c at point i: buffer[c][i].
using DisplayBuffer = int16_t[kMaxChannels][kDisplayPoints];

// The label font of the trend views: an 8 x 12 cell of "宋体".
DcFont TrendLabelFont();

// What the routines read besides the curve parameters.
struct TrendEnv {
    DcFont labelFont = TrendLabelFont();
    uint8_t tempUnit = 0;   // the application's unit: 0 Celsius, else Fahrenheit
    uint8_t valueScale = 1; // the file header's valueScale: 2 hundredths, else tenths
};

// The time scale of a window: N points across the plot, S seconds per point.
// S = secondsPerStep x stepFactor. The history view passes its file's
// sampleInterval and zoomFactor; the live view its display step and 1.0.
struct TimeScale {
    uint32_t points = 0;        // N
    int32_t secondsPerStep = 0; // whole seconds per point before the factor
    double stepFactor = 1.0;

    // Seconds from the window's start to point k: k x secondsPerStep is an
    // integer, multiplied by the factor and truncated.
    int32_t SecondsToPoint(uint32_t k) const;
    // N x S / columns, the seconds one grid column spans.
    double SecondsPerColumn(int32_t gridColumns) const;
};

// The plot rectangle inside r.
DcRect PlotRect(const DcRect& r, const CurveParameters& para);

// Background fill of r, plot frame, horizontal and vertical grid, value
// labels left of the plot (top value down to yMinTenths), the unit label
// ("℃" or "F") above them, "时间" right of the plot's bottom edge, and
// gridColumns + 1 time labels under the plot ("%d:%d:%d", or the date
// "%d-%d-%d" above it with xAxisLongTime). Labels in textColor, grid in
// gridColor.
void DrawAxes(DeviceContext& dc, const DcRect& r, const CurveParameters& para, const TrendEnv& env,
              const TimeScale& scale);

// DrawAxes on white, with a second frame around r after the plot frame
// (the printed page).
void DrawPrintAxes(DeviceContext& dc, const DcRect& r, const CurveParameters& para,
                   const TrendEnv& env, const TimeScale& scale);

// One curve per visible channel c < channelCount: segments from point j to
// j + 1 for j = 0 .. drawable - 2, at x = P.left + P.width x k / N, scaled
// into yMinTenths .. yMaxTenths (in hundredths x 10 for hundredth values,
// Fahrenheit tenths when the unit says so). Segments entirely below or above
// the range are skipped, others clamped to it. drawable is L; it is bounded
// by N and by the buffer.
void DrawCurves(DeviceContext& dc, const DcRect& r, const CurveParameters& para,
                const TrendEnv& env, const DisplayBuffer& buffer, uint32_t points,
                uint32_t drawable);

// The segments from point j to j + 1 for j = first .. drawable - 2 only,
// drawn exactly as DrawCurves draws them: the live view's newest segment.
void DrawCurveSegments(DeviceContext& dc, const DcRect& r, const CurveParameters& para,
                       const TrendEnv& env, const DisplayBuffer& buffer, uint32_t points,
                       uint32_t first, uint32_t drawable);

// One solid line, 1 unit wide, in the colour; the end point is not painted.
void DrawLine(DeviceContext& dc, DcColor color, int x1, int y1, int x2, int y2);

// The red cursor line at cursorX (clamped to the plot) and the readout box
// on the side of the plot opposite the cursor: "总貌", the time of the point
// under the cursor and one line per visible channel with its value (0 for a
// point at or beyond drawable). scrollDelta lines move the channel list when
// it does not fit; readout.cursorTime, cursorValues and legendScroll are
// updated. names gives custom channel names when customNamesEnabled is set.
void DrawCursorReadout(DeviceContext& dc, const DcRect& r, const CurveParameters& para,
                       const TrendEnv& env, const DisplayBuffer& buffer, const TimeScale& scale,
                       uint32_t drawable, const ChannelNameTable& names, int cursorX,
                       int scrollDelta, CursorReadout& readout);

// The text of one readout line, e.g. "通道3:  25.0℃" or "炉膛: 77.00F".
std::string ReadoutLineText(const ChannelNameTable& names, int channel, int16_t raw,
                            const TrendEnv& env);
