#pragma once
// The drawing surface of the trend routines: exactly the few GDI-style
// primitives they use, so the same routine draws into a window, a memory
// bitmap, a printer page or a PDF (QPainterDc) and into a recorder that
// tests inspect call by call (RecordingDc).
//
// Coordinates are integer logical units. Colours are 0x00BBGGRR, the same
// layout as the stored COLORREF values of the curve parameters.
//
// Selecting a pen or font or setting a colour returns what was in force
// before, so a routine restores the context exactly as it found it.

#include <cstdint>
#include <string>
#include <string_view>

using DcColor = uint32_t; // 0x00BBGGRR

struct DcRect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;

    int Width() const { return right - left; }
    int Height() const { return bottom - top; }
    friend bool operator==(const DcRect&, const DcRect&) = default;
};

// A solid pen.
struct DcPen {
    DcColor color = 0;
    int width = 1;
    friend bool operator==(const DcPen&, const DcPen&) = default;
};

// A font described as a character cell: height and average character width
// in logical units, and the face asked for. An 8 x 12 cell makes one byte of
// GBK text 8 units wide (a Chinese character 16).
struct DcFont {
    int height = 12;
    int width = 8;
    std::string face;
    friend bool operator==(const DcFont&, const DcFont&) = default;
};

enum class DcBkMode { Transparent = 1, Opaque = 2 };

class DeviceContext {
public:
    virtual ~DeviceContext() = default;

    // Fills the rectangle with a solid colour. As with GDI, the right and
    // bottom edges are not part of the rectangle.
    virtual void FillSolidRect(const DcRect& r, DcColor color) = 0;
    // Sets the current position.
    virtual void MoveTo(int x, int y) = 0;
    // Draws with the selected pen from the current position to (x, y), which
    // becomes the current position. The end point itself is not painted.
    virtual void LineTo(int x, int y) = 0;
    // Draws one line of UTF-8 text at the top left of the rectangle, clipped
    // to it, in the text colour and the selected font.
    virtual void DrawText(std::string_view utf8, const DcRect& r) = 0;

    virtual DcPen SelectPen(const DcPen& pen) = 0;
    virtual DcFont SelectFont(const DcFont& font) = 0;
    virtual DcColor SetTextColor(DcColor color) = 0;
    virtual DcBkMode SetBkMode(DcBkMode mode) = 0;
};

// Selects a font, a pen, a text colour and a background mode for the
// lifetime of the object and puts the previous ones back on destruction.
class DcSelection {
public:
    DcSelection(DeviceContext& dc, const DcFont& font, const DcPen& pen, DcColor textColor,
                DcBkMode mode = DcBkMode::Transparent)
        : m_dc(dc), m_font(dc.SelectFont(font)), m_pen(dc.SelectPen(pen)),
          m_textColor(dc.SetTextColor(textColor)), m_bkMode(dc.SetBkMode(mode)) {}
    ~DcSelection() {
        m_dc.SetBkMode(m_bkMode);
        m_dc.SetTextColor(m_textColor);
        m_dc.SelectPen(m_pen);
        m_dc.SelectFont(m_font);
    }
    DcSelection(const DcSelection&) = delete;
    DcSelection& operator=(const DcSelection&) = delete;

private:
    DeviceContext& m_dc;
    DcFont m_font;
    DcPen m_pen;
    DcColor m_textColor;
    DcBkMode m_bkMode;
};
