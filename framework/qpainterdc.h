#pragma once
// The device context over a QPainter: a window, a QImage or QPixmap (memory
// bitmap), a QPrinter page or a QPdfWriter. Logical units are the painter's
// coordinates; a caller that wants 96 units per inch on a printer sets the
// painter's transform before drawing.
//
// Lines are aliased and leave out their end point, as GDI lines do; texts
// are drawn top-left in their rectangle, clipped to it.

#include "devicecontext.h"

#include <QFont>

#include <vector>

class QImage;
class QPainter;

class QPainterDc : public DeviceContext {
public:
    explicit QPainterDc(QPainter& painter);
    ~QPainterDc() override;

    void FillSolidRect(const DcRect& r, DcColor color) override;
    void MoveTo(int x, int y) override;
    void LineTo(int x, int y) override;
    void DrawText(std::string_view utf8, const DcRect& r) override;
    DcPen SelectPen(const DcPen& pen) override;
    DcFont SelectFont(const DcFont& font) override;
    DcColor SetTextColor(DcColor color) override;
    DcBkMode SetBkMode(DcBkMode mode) override;

    // The Qt font that renders a character cell: the face asked for, else a
    // Song-style CJK face, at the cell height, stretched so that one byte of
    // GBK text is the cell width wide.
    static QFont QtFontFor(const DcFont& font);

private:
    struct QueuedLine {
        int x1, y1, x2, y2;
    };
    void QueueLineWithoutEndPoint(int x1, int y1, int x2, int y2);
    void FlushLines();
    QImage* DirectTarget() const;
    static bool SetLinePixels(QImage& image, const QueuedLine& l, uint32_t argb);
    void DrawQueuedWithQt(const std::vector<QueuedLine>& lines);

    QPainter& m_painter;
    int m_x = 0;
    int m_y = 0;
    DcPen m_pen{0, 1};
    DcFont m_font{16, 0, std::string()};
    DcColor m_textColor = 0;
    DcBkMode m_bkMode = DcBkMode::Opaque;
    bool m_scaled = false;
    DcPen m_batchPen{0, 1};
    QImage* m_direct = nullptr; // set when lines may be written as pixels
    std::vector<QueuedLine> m_lines;
};
