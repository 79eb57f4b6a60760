#pragma once
// The printed page of a history trend: one landscape A4 page with a header
// table (device, time of printing, time range, one cell per visible channel)
// above the trend drawn by the shared trend routines.
//
// The page is laid out in logical units of 1/96 inch on every device: the
// print mapping below makes a printer, a PDF file and the preview all use
// the same coordinates as a 96-dpi screen.

#include "curveparameters.h"
#include "devicecontext.h"
#include "systemtime.h"
#include "trendrenderer.h"
#include "trendwindow.h"

#include <QString>
#include <cstdint>

class QPainter;
class QPrinter;
class QRect;

// Height of one header row: the 12-unit label font plus 6.
constexpr int kPrintHeaderRowHeight = 12 + 6;
// Inset of the print area inside the printable area.
constexpr int kPrintMargin = 10;

// The rectangles of one page, in logical units.
struct TrendPrintLayout {
    DcRect area;        // A: the printable area inset by 10 on every side
    int visible = 0;    // V: visible channels among the first channelCount
    int headerRows = 0; // V / 4 + 3
    DcRect header;      // H: the header table at the top of A
    DcRect trend;       // G: the rest of A, for axes and curves
};

// V: channels c < channelCount (at most 80) whose visibility bit is set.
int CountVisibleChannels(const CurveParameters& para);

// Lays out a page whose printable area is page (logical units).
TrendPrintLayout LayoutTrendPage(const DcRect& page, const CurveParameters& para);

// The header table in H. Sets para.endTime to the end of the loaded window
// (startTime + (pointCount - 1) * sampleInterval seconds) and shows the time
// range with it; printTime is the time shown as the time of printing.
void DrawPrintHeader(DeviceContext& dc, const DcRect& header, CurveParameters& para,
                     const ChannelNameTable& names, int visible, int32_t sampleInterval,
                     const SYSTEMTIME& printTime);

// Everything the page shows of a loaded window.
struct TrendPrintSource {
    CurveParameters* para = nullptr; // the view's record; endTime is updated
    const ChannelNameTable* names = nullptr;
    int32_t sampleInterval = 0; // the file's seconds per row
    const DisplayBuffer* buffer = nullptr;
    uint32_t drawable = 0; // L
    TrendEnv env;          // unit and value scale
    TimeScale scale;       // N and seconds per point
};

// The page: DrawPrintHeader(H), DrawPrintAxes(G), DrawCurves(G). No cursor.
void DrawTrendPage(DeviceContext& dc, const DcRect& page, TrendPrintSource& source,
                   const SYSTEMTIME& printTime);

// The page of a history view's loaded window. A window without data prints
// a blank page: nothing of it may be shown.
void DrawTrendPage(DeviceContext& dc, const DcRect& page, TrendWindow& window, uint8_t tempUnit,
                   const SYSTEMTIME& printTime);
// The source for a window with data.
TrendPrintSource PrintSourceOf(TrendWindow& window, uint8_t tempUnit);

// ---- Qt side: mapping, printer settings, output ----

// The print mapping: a logical window of 800 x 560 on a viewport of
// (800 * X / 96) x (560 * Y / 96) device pixels, X and Y the device's
// resolution, so one logical unit is 1/96 inch.
void PrepareTrendPrintPainter(QPainter& painter, int dpiX, int dpiY);
// The printable area in device pixels turned into logical units of a
// painter prepared as above.
DcRect PrintableAreaInUnits(const QPainter& painter, const QRect& deviceRect);

// Landscape A4 on printer.
void SetLandscapeA4(QPrinter& printer);

// Prints one page of source to a PDF file without any printer installed
// (landscape A4, 1200 dpi). False when the file cannot be written.
bool PrintTrendToPdf(const QString& pdfPath, TrendPrintSource& source, const SYSTEMTIME& printTime);
bool PrintTrendToPdf(const QString& pdfPath, TrendWindow& window, uint8_t tempUnit,
                     const SYSTEMTIME& printTime);
