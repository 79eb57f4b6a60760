#include "qpainterdc.h"

#include <QColor>
#include <QFontMetrics>
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
    m_painter.setBackgroundMode(Qt::OpaqueMode);
    ApplyPen();
}

QPainterDc::~QPainterDc() {
    m_painter.restore();
}

void QPainterDc::FillSolidRect(const DcRect& r, DcColor color) {
    if (r.right <= r.left || r.bottom <= r.top)
        return;
    m_painter.fillRect(QRect(r.left, r.top, r.right - r.left, r.bottom - r.top), ToQColor(color));
}

void QPainterDc::MoveTo(int x, int y) {
    m_x = x;
    m_y = y;
}

void QPainterDc::LineTo(int x, int y) {
    DrawLineWithoutEndPoint(m_x, m_y, x, y);
    m_x = x;
    m_y = y;
}

void QPainterDc::DrawLineWithoutEndPoint(int x1, int y1, int x2, int y2) {
    const int dx = x2 - x1;
    const int dy = y2 - y1;
    if (dx == 0 && dy == 0)
        return;
    // With a flat cap Qt's one-pixel stroker leaves out the pixel at the
    // larger coordinate of the line's major axis. For a line drawn toward
    // smaller coordinates that is the start, so such a line is drawn one
    // pixel further along itself: the same pixels from the start up to, but
    // not including, the end. Under a scaling transform (printing) the pen is
    // geometric and the flat cap already ends the line at its end point.
    const bool xMajor = std::abs(dx) >= std::abs(dy);
    const bool towardSmaller = xMajor ? dx < 0 : dy < 0;
    if (!towardSmaller || m_painter.transform().isScaling()) {
        m_painter.drawLine(x1, y1, x2, y2);
        return;
    }
    const double major = xMajor ? std::abs(dx) : std::abs(dy);
    const double ux = -dx / major;
    const double uy = -dy / major;
    m_painter.drawLine(QLineF(x2 + ux, y2 + uy, x1 + ux, y1 + uy));
}

void QPainterDc::DrawText(std::string_view utf8, const DcRect& r) {
    if (r.right <= r.left || r.bottom <= r.top)
        return;
    const QString text = QString::fromUtf8(utf8.data(), qsizetype(utf8.size()));
    m_painter.setPen(ToQColor(m_textColor));
    m_painter.setBackgroundMode(m_bkMode == DcBkMode::Opaque ? Qt::OpaqueMode
                                                             : Qt::TransparentMode);
    m_painter.drawText(QRect(r.left, r.top, r.right - r.left, r.bottom - r.top),
                       Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine, text);
    ApplyPen();
}

DcPen QPainterDc::SelectPen(const DcPen& pen) {
    DcPen old = m_pen;
    m_pen = pen;
    ApplyPen();
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

void QPainterDc::ApplyPen() {
    QPen pen(ToQColor(m_pen.color));
    pen.setWidth(m_pen.width > 0 ? m_pen.width : 1);
    pen.setCapStyle(Qt::FlatCap);
    pen.setJoinStyle(Qt::MiterJoin);
    m_painter.setPen(pen);
}
