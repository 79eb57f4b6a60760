#pragma once
// A device context that paints nothing and keeps a list of what was drawn,
// with the pen, font and colours in force at each call. Tests read the exact
// coordinates from it. No Qt dependency.

#include "devicecontext.h"

#include <string>
#include <vector>

class RecordingDc : public DeviceContext {
public:
    struct Fill {
        DcRect rect;
        DcColor color;
    };
    struct Line {
        int x1, y1, x2, y2;
        DcPen pen;
        friend bool operator==(const Line&, const Line&) = default;
    };
    struct Text {
        std::string text; // UTF-8
        DcRect rect;
        DcColor color;
        DcFont font;
        DcBkMode bkMode;
    };
    enum class Kind { Fill, Line, Text };

    void FillSolidRect(const DcRect& r, DcColor color) override;
    void MoveTo(int x, int y) override;
    void LineTo(int x, int y) override;
    void DrawText(std::string_view utf8, const DcRect& r) override;
    DcPen SelectPen(const DcPen& pen) override;
    DcFont SelectFont(const DcFont& font) override;
    DcColor SetTextColor(DcColor color) override;
    DcBkMode SetBkMode(DcBkMode mode) override;

    const std::vector<Fill>& Fills() const { return m_fills; }
    const std::vector<Line>& Lines() const { return m_lines; }
    const std::vector<Text>& Texts() const { return m_texts; }
    // The kinds of all calls in drawing order.
    const std::vector<Kind>& Order() const { return m_order; }
    // Lines drawn with a pen of this colour.
    std::vector<Line> LinesOfColor(DcColor color) const;
    // The first text with exactly this content, or nullptr.
    const Text* FindText(std::string_view utf8) const;
    void Clear();

    // The state in force now (to check that a routine restored it).
    const DcPen& Pen() const { return m_pen; }
    const DcFont& Font() const { return m_font; }
    DcColor TextColor() const { return m_textColor; }
    DcBkMode BkMode() const { return m_bkMode; }

private:
    std::vector<Fill> m_fills;
    std::vector<Line> m_lines;
    std::vector<Text> m_texts;
    std::vector<Kind> m_order;
    int m_x = 0;
    int m_y = 0;
    DcPen m_pen{0, 1};
    DcFont m_font{16, 0, "System"};
    DcColor m_textColor = 0;
    DcBkMode m_bkMode = DcBkMode::Opaque;
};
