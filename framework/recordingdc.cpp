#include "recordingdc.h"

void RecordingDc::FillSolidRect(const DcRect& r, DcColor color) {
    m_fills.push_back({r, color});
    m_order.push_back(Kind::Fill);
}

void RecordingDc::MoveTo(int x, int y) {
    m_x = x;
    m_y = y;
}

void RecordingDc::LineTo(int x, int y) {
    m_lines.push_back({m_x, m_y, x, y, m_pen});
    m_order.push_back(Kind::Line);
    m_x = x;
    m_y = y;
}

void RecordingDc::DrawText(std::string_view utf8, const DcRect& r) {
    m_texts.push_back({std::string(utf8), r, m_textColor, m_font, m_bkMode});
    m_order.push_back(Kind::Text);
}

DcPen RecordingDc::SelectPen(const DcPen& pen) {
    DcPen old = m_pen;
    m_pen = pen;
    return old;
}

DcFont RecordingDc::SelectFont(const DcFont& font) {
    DcFont old = m_font;
    m_font = font;
    return old;
}

DcColor RecordingDc::SetTextColor(DcColor color) {
    DcColor old = m_textColor;
    m_textColor = color;
    return old;
}

DcBkMode RecordingDc::SetBkMode(DcBkMode mode) {
    DcBkMode old = m_bkMode;
    m_bkMode = mode;
    return old;
}

std::vector<RecordingDc::Line> RecordingDc::LinesOfColor(DcColor color) const {
    std::vector<Line> out;
    for (const Line& l : m_lines)
        if (l.pen.color == color)
            out.push_back(l);
    return out;
}

const RecordingDc::Text* RecordingDc::FindText(std::string_view utf8) const {
    for (const Text& t : m_texts)
        if (t.text == utf8)
            return &t;
    return nullptr;
}

void RecordingDc::Clear() {
    m_fills.clear();
    m_lines.clear();
    m_texts.clear();
    m_order.clear();
}
