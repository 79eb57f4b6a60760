#include "qpainterdc.h"

#include <QColor>
#include <QFontMetrics>
#include <QImage>
#include <QMutex>
#include <QPainter>
#include <QPen>
#include <QString>

#include <cstdlib>
#include <map>
#include <tuple>

namespace {

QColor ToQColor(DcColor c) {
    return QColor(int(c & 0xFF), int((c >> 8) & 0xFF), int((c >> 16) & 0xFF));
}

// Song-style faces with full-width CJK glyphs and half-width Latin ones, so
// that stretching the Latin half-width to the cell width gives the cell
// geometry of the whole text.
const QStringList kSongFallbacks = {
    QStringLiteral("SimSun"), QStringLiteral("NSimSun"), QStringLiteral("AR PL UMing CN"),
    QStringLiteral("AR PL UMing TW"), QStringLiteral("AR PL SungtiL GB")};

QFont BuildQtFont(const DcFont& font) {
    QFont f;
    QStringList families;
    if (!font.face.empty())
        families << QString::fromStdString(font.face);
    families << kSongFallbacks;
    f.setFamilies(families);
    f.setPixelSize(font.height > 0 ? font.height : 12);
    f.setStyleStrategy(QFont::StyleStrategy(QFont::NoAntialias | QFont::PreferBitmap));
    f.setHintingPreference(QFont::PreferFullHinting);
    f.setKerning(false);
    if (font.width > 0) {
        // The average width of the cell is that of one Latin character; the
        // face's own half-width advance is measured and stretched to it.
        const int advance = QFontMetrics(f).horizontalAdvance(QLatin1Char('0'));
        if (advance > 0 && advance != font.width)
            f.setStretch(qBound(1, font.width * 100 / advance, 4000));
    }
    return f;
}

} // namespace

QFont QPainterDc::QtFontFor(const DcFont& font) {
    // Fonts are asked for on every routine call; measuring once per cell is
    // enough. Drawing happens on the GUI thread, but vantrel-cli and tests
    // may draw elsewhere, so the cache is guarded.
    static QMutex mutex;
    static std::map<std::tuple<int, int, std::string>, QFont> cache;
    QMutexLocker lock(&mutex);
    auto key = std::make_tuple(font.height, font.width, font.face);
    auto it = cache.find(key);
    if (it == cache.end())
        it = cache.emplace(key, BuildQtFont(font)).first;
    return it->second;
}

QPainterDc::QPainterDc(QPainter& painter) : m_painter(painter) {
    m_painter.save();
    m_painter.setRenderHint(QPainter::Antialiasing, false);
    m_painter.setRenderHint(QPainter::TextAntialiasing, false);
    m_scaled = m_painter.transform().isScaling();
    m_direct = DirectTarget();
}

QPainterDc::~QPainterDc() {
    FlushLines();
    m_painter.restore();
}

void QPainterDc::FillSolidRect(const DcRect& r, DcColor color) {
    FlushLines();
    if (r.right <= r.left || r.bottom <= r.top)
        return;
    m_painter.fillRect(QRect(r.left, r.top, r.right - r.left, r.bottom - r.top), ToQColor(color));
}

void QPainterDc::MoveTo(int x, int y) {
    m_x = x;
    m_y = y;
}

void QPainterDc::LineTo(int x, int y) {
    QueueLineWithoutEndPoint(m_x, m_y, x, y);
    m_x = x;
    m_y = y;
}

// Lines are collected while the pen stays the same and drawn together: a
// trend of 80 curves is 80 calls into the rasteriser instead of 96,000.
// Opaque lines of one pen may be drawn in any order; anything else that
// paints (a fill, a text, another pen) draws the collected lines first.
void QPainterDc::QueueLineWithoutEndPoint(int x1, int y1, int x2, int y2) {
    if (x1 == x2 && y1 == y2)
        return;
    if (!(m_pen == m_batchPen))
        FlushLines();
    m_batchPen = m_pen;
    m_lines.push_back(QueuedLine{x1, y1, x2, y2});
}

// The painter draws straight into a 32-bit image without scaling, clipping
// or blending: lines can then be set pixel by pixel, much faster than the
// general rasteriser and with exactly the pixels of the line algorithm.
QImage* QPainterDc::DirectTarget() const {
    QPaintDevice* device = m_painter.device();
    if (!device || device->devType() != QInternal::Image)
        return nullptr;
    auto* image = static_cast<QImage*>(device);
    const QImage::Format f = image->format();
    if (f != QImage::Format_RGB32 && f != QImage::Format_ARGB32 &&
        f != QImage::Format_ARGB32_Premultiplied)
        return nullptr;
    if (m_painter.hasClipping() || m_painter.deviceTransform().type() != QTransform::TxNone ||
        m_painter.compositionMode() != QPainter::CompositionMode_SourceOver ||
        m_painter.opacity() < 1.0 || image->devicePixelRatio() != 1.0)
        return nullptr;
    return image;
}

// Bresenham from the start toward the end, leaving out the end point.
// Returns false for a line too long to walk (a damaged coordinate), which
// the general rasteriser then clips.
bool QPainterDc::SetLinePixels(QImage& image, const QueuedLine& l, uint32_t argb) {
    const long long w = image.width();
    const long long h = image.height();
    const long long dx = std::llabs((long long)l.x2 - l.x1);
    const long long dy = std::llabs((long long)l.y2 - l.y1);
    if (dx + dy > 4 * (w + h))
        return false;
    const int sx = l.x1 < l.x2 ? 1 : -1;
    const int sy = l.y1 < l.y2 ? 1 : -1;
    uchar* bits = image.bits();
    const qsizetype stride = image.bytesPerLine();
    long long err = dx - dy;
    int x = l.x1;
    int y = l.y1;
    while (x != l.x2 || y != l.y2) {
        if (x >= 0 && y >= 0 && x < w && y < h)
            reinterpret_cast<uint32_t*>(bits + y * stride)[x] = argb;
        const long long e2 = 2 * err;
        if (e2 > -dy) {
            err -= dy;
            x += sx;
        }
        if (e2 < dx) {
            err += dx;
            y += sy;
        }
    }
    return true;
}

void QPainterDc::DrawQueuedWithQt(const std::vector<QueuedLine>& lines) {
    // With a flat cap Qt's one-pixel stroker leaves out the pixel at the
    // larger coordinate of the line's major axis. For a line drawn toward
    // smaller coordinates that is the start, so such a line is drawn one
    // pixel further along itself: the same pixels from the start up to, but
    // not including, the end. Under a scaling transform (printing) the pen is
    // geometric and the flat cap already ends the line at its end point.
    std::vector<QLine> forward;
    std::vector<QLineF> backward;
    for (const QueuedLine& l : lines) {
        const int dx = l.x2 - l.x1;
        const int dy = l.y2 - l.y1;
        const bool xMajor = std::abs(dx) >= std::abs(dy);
        const bool towardSmaller = xMajor ? dx < 0 : dy < 0;
        if (!towardSmaller || m_scaled) {
            forward.emplace_back(l.x1, l.y1, l.x2, l.y2);
            continue;
        }
        const double major = xMajor ? std::abs(dx) : std::abs(dy);
        const double ux = -dx / major;
        const double uy = -dy / major;
        backward.emplace_back(l.x2 + ux, l.y2 + uy, l.x1 + ux, l.y1 + uy);
    }
    QPen pen(ToQColor(m_batchPen.color));
    pen.setWidth(m_batchPen.width > 0 ? m_batchPen.width : 1);
    pen.setCapStyle(Qt::FlatCap);
    m_painter.setPen(pen);
    if (!forward.empty())
        m_painter.drawLines(forward.data(), int(forward.size()));
    if (!backward.empty())
        m_painter.drawLines(backward.data(), int(backward.size()));
}

void QPainterDc::FlushLines() {
    if (m_lines.empty())
        return;
    if (m_direct && m_batchPen.width <= 1) {
        const uint32_t argb = ToQColor(m_batchPen.color).rgba() | 0xFF000000u;
        std::vector<QueuedLine> rest;
        for (const QueuedLine& l : m_lines)
            if (!SetLinePixels(*m_direct, l, argb))
                rest.push_back(l);
        if (!rest.empty())
            DrawQueuedWithQt(rest);
    } else {
        DrawQueuedWithQt(m_lines);
    }
    m_lines.clear();
}

void QPainterDc::DrawText(std::string_view utf8, const DcRect& r) {
    if (r.right <= r.left || r.bottom <= r.top)
        return;
    FlushLines();
    const QString text = QString::fromUtf8(utf8.data(), qsizetype(utf8.size()));
    m_painter.setPen(ToQColor(m_textColor));
    m_painter.setBackgroundMode(m_bkMode == DcBkMode::Opaque ? Qt::OpaqueMode
                                                             : Qt::TransparentMode);
    m_painter.drawText(QRect(r.left, r.top, r.right - r.left, r.bottom - r.top),
                       Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine, text);
}

DcPen QPainterDc::SelectPen(const DcPen& pen) {
    DcPen old = m_pen;
    m_pen = pen;
    return old;
}

DcFont QPainterDc::SelectFont(const DcFont& font) {
    DcFont old = m_font;
    m_font = font;
    m_painter.setFont(QtFontFor(font));
    return old;
}

DcColor QPainterDc::SetTextColor(DcColor color) {
    DcColor old = m_textColor;
    m_textColor = color;
    return old;
}

DcBkMode QPainterDc::SetBkMode(DcBkMode mode) {
    DcBkMode old = m_bkMode;
    m_bkMode = mode;
    return old;
}
