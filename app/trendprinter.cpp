#include "trendprinter.h"

#include "gbktext.h"
#include "qpainterdc.h"
#include "timearith.h"
#include "trendrenderer.h"

#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPrinter>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>

namespace {

constexpr int kCellWidth = 8;   // label font cell
constexpr int kCellHeight = 12; //
constexpr int kTextIndent = 10; // text inset from the cell's left edge
constexpr int kTextDrop = 3;    // and from its top edge
constexpr int kLineGap = 30;    // colour line gap to the text and to the cell's right edge
constexpr DcColor kBlack = 0x000000;
constexpr DcColor kWhite = 0xFFFFFF;

std::string FormatTime(const SYSTEMTIME& t) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%d-%d-%d %d:%d:%d", t.wYear, t.wMonth, t.wDay, t.wHour,
                  t.wMinute, t.wSecond);
    return buf;
}

// A cell text at the cell's top left, as wide as its GBK bytes.
void DrawCellText(DeviceContext& dc, const DcRect& cell, const std::string& utf8) {
    const int len = int(GbkByteLength(utf8));
    dc.DrawText(utf8,
                {cell.left + kTextIndent, cell.top + kTextDrop,
                 cell.left + len * kCellWidth + kTextIndent, cell.top + kCellHeight + kTextDrop});
}

void GridLine(DeviceContext& dc, int x1, int y1, int x2, int y2) {
    dc.MoveTo(x1, y1);
    dc.LineTo(x2, y2);
}

void CellBottom(DeviceContext& dc, const DcRect& cell) {
    GridLine(dc, cell.left, cell.bottom, cell.right, cell.bottom);
}

std::string ChannelLabel(const ChannelNameTable& names, int c) {
    if (names.customNamesEnabled) {
        std::string name = ChannelNameUtf8(names, c);
        if (!name.empty())
            return name;
    }
    return "通道" + std::to_string(c + 1) + ":";
}

// The window's last point: startTime + (pointCount - 1) * interval. An empty
// window ends where it starts.
SYSTEMTIME WindowEndTime(const CurveParameters& para, int32_t sampleInterval) {
    if (para.pointCount < 1)
        return para.startTime;
    return AddSecondsWide(para.startTime, (long long)(para.pointCount - 1) * sampleInterval);
}

} // namespace

int CountVisibleChannels(const CurveParameters& para) {
    const int count = para.channelCount < 0 ? 0 : std::min<int>(para.channelCount, kMaxChannels);
    int visible = 0;
    for (int c = 0; c < count; ++c)
        if (GetBit(para.visibleChannels, c))
            ++visible;
    return visible;
}

TrendPrintLayout LayoutTrendPage(const DcRect& page, const CurveParameters& para) {
    TrendPrintLayout l;
    l.area = {page.left + kPrintMargin, page.top + kPrintMargin, page.right - kPrintMargin,
              page.bottom - kPrintMargin};
    l.visible = CountVisibleChannels(para);
    l.headerRows = l.visible / 4 + 3;
    l.header = {l.area.left, l.area.top, l.area.right,
                l.area.top + l.headerRows * kPrintHeaderRowHeight};
    l.trend = {l.area.left, l.header.bottom, l.area.right, l.area.bottom};
    return l;
}

void DrawPrintHeader(DeviceContext& dc, const DcRect& h, CurveParameters& para,
                     const ChannelNameTable& names, int visible, int32_t sampleInterval,
                     const SYSTEMTIME& printTime) {
    const DcSelection selection(dc, TrendLabelFont(), DcPen{para.gridColor, 1}, kBlack);

    const int rows = visible / 4 + 3;
    const double r = double(h.Height() / rows);
    const double q = double(h.Width() / 4);

    // Background and frame: bottom, top, left, right.
    dc.FillSolidRect(h, kWhite);
    GridLine(dc, h.left, h.bottom, h.right, h.bottom);
    GridLine(dc, h.left, h.top, h.right, h.top);
    GridLine(dc, h.left, h.top, h.left, h.bottom);
    GridLine(dc, h.right, h.top, h.right, h.bottom);

    // Row 0: the device and the time of printing.
    const int row0Bottom = int(h.top + r);
    const int middle = h.left + h.Width() / 2;
    const DcRect device{h.left, h.top, middle, row0Bottom};
    DrawCellText(dc, device, "设备名称：总貌");
    CellBottom(dc, device);
    const DcRect printed{middle, h.top, h.right, row0Bottom};
    DrawCellText(dc, printed, "打印时间：" + FormatTime(printTime));
    CellBottom(dc, printed);

    // Row 1: the time range of the loaded window.
    para.endTime = WindowEndTime(para, sampleInterval);
    const DcRect range{h.left, row0Bottom, h.right, int(h.top + 2 * r)};
    DrawCellText(dc, range,
                 "时间范围：" + FormatTime(para.startTime) + " => " + FormatTime(para.endTime));
    CellBottom(dc, range);

    // Rows 2...: four cells per row, one per visible channel.
    const int count = para.channelCount < 0 ? 0 : std::min<int>(para.channelCount, kMaxChannels);
    int k = 0;
    int n = 0;
    for (int c = 0; c < count; ++c) {
        if (!GetBit(para.visibleChannels, c))
            continue;
        const DcRect cell{int(h.left + k * q), int(h.top + (n + 2) * r),
                          k == 3 ? h.right : int(h.left + (k + 1) * q), int(h.top + (n + 3) * r)};
        const std::string label = ChannelLabel(names, c);
        DrawCellText(dc, cell, label);
        const int lineStart =
            cell.left + int(GbkByteLength(label)) * kCellWidth + kTextIndent + kLineGap;
        const int lineEnd = cell.right - kLineGap;
        const int lineY = int(cell.top + r / 2);
        if (lineStart < lineEnd) // a name too long for its cell gets no line over it
            DrawLine(dc, para.channelColors[c], lineStart, lineY, lineEnd, lineY);
        CellBottom(dc, cell);
        GridLine(dc, cell.right, cell.top, cell.right, cell.bottom);
        if (++k > 3) {
            k = 0;
            ++n;
        }
    }
}

void DrawTrendPage(DeviceContext& dc, const DcRect& page, TrendPrintSource& s,
                   const SYSTEMTIME& printTime) {
    CurveParameters& para = *s.para;
    const TrendPrintLayout l = LayoutTrendPage(page, para);
    DrawPrintHeader(dc, l.header, para, *s.names, l.visible, s.sampleInterval, printTime);
    DrawPrintAxes(dc, l.trend, para, s.env, s.scale);
    DrawCurves(dc, l.trend, para, s.env, *s.buffer, s.scale.points, s.drawable);
}

TrendPrintSource PrintSourceOf(TrendWindow& w, uint8_t tempUnit) {
    TrendPrintSource s;
    s.para = &w.m_curvePara;
    s.names = &w.m_channelTable;
    s.sampleInterval = w.m_header.sampleInterval;
    s.buffer = &w.m_displayBuffer;
    s.drawable = w.m_displayPos < 0 ? 0 : uint32_t(w.m_displayPos);
    s.env = w.Env(tempUnit);
    s.scale = w.Scale();
    return s;
}

void DrawTrendPage(DeviceContext& dc, const DcRect& page, TrendWindow& w, uint8_t tempUnit,
                   const SYSTEMTIME& printTime) {
    if (!w.HasData())
        return;
    TrendPrintSource s = PrintSourceOf(w, tempUnit);
    DrawTrendPage(dc, page, s, printTime);
}

// ---- Qt side ----

void PrepareTrendPrintPainter(QPainter& painter, int dpiX, int dpiY) {
    painter.setWindow(0, 0, 800, 560);
    painter.setViewport(0, 0, 800 * dpiX / 96, 560 * dpiY / 96);
}

DcRect PrintableAreaInUnits(const QPainter& painter, const QRect& d) {
    const QRect w = painter.window();
    const QRect v = painter.viewport();
    const auto toX = [&](int x) {
        return int(std::lround(double(x - v.left()) * w.width() / v.width() + w.left()));
    };
    const auto toY = [&](int y) {
        return int(std::lround(double(y - v.top()) * w.height() / v.height() + w.top()));
    };
    // QRect's right() and bottom() are inclusive; the page rectangle is not.
    return {toX(d.left()), toY(d.top()), toX(d.left() + d.width()), toY(d.top() + d.height())};
}

void SetLandscapeA4(QPrinter& printer) {
    printer.setPageSize(QPageSize(QPageSize::A4));
    printer.setPageOrientation(QPageLayout::Landscape);
}

namespace {

// Opens a landscape A4 PDF page, prepares the print mapping and hands the
// printable area in units to draw.
template <typename Draw> bool PrintPdfPage(const QString& pdfPath, Draw draw) {
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(pdfPath);
    SetLandscapeA4(printer);
    QPainter painter;
    if (!painter.begin(&printer))
        return false;
    QRect device = printer.pageLayout().paintRectPixels(printer.resolution());
    device.moveTo(0, 0);
    PrepareTrendPrintPainter(painter, printer.logicalDpiX(), printer.logicalDpiY());
    {
        QPainterDc dc(painter);
        draw(dc, PrintableAreaInUnits(painter, device));
    }
    return painter.end();
}

} // namespace

bool PrintTrendToPdf(const QString& pdfPath, TrendPrintSource& source,
                     const SYSTEMTIME& printTime) {
    return PrintPdfPage(pdfPath, [&](DeviceContext& dc, const DcRect& page) {
        DrawTrendPage(dc, page, source, printTime);
    });
}

bool PrintTrendToPdf(const QString& pdfPath, TrendWindow& window, uint8_t tempUnit,
                     const SYSTEMTIME& printTime) {
    return PrintPdfPage(pdfPath, [&](DeviceContext& dc, const DcRect& page) {
        DrawTrendPage(dc, page, window, tempUnit, printTime);
    });
}
