#pragma once
// A push button that shows a colour swatch: the face shrunk by 4 pixels,
// filled with the colour, with a sunken edge (black top and left, white
// bottom and right). Focus and press states draw nothing extra.

#include "devicecontext.h"
#include "systemtime.h"

#include <QPushButton>

class CMyColorButton : public QPushButton {
    Q_OBJECT
public:
    explicit CMyColorButton(QWidget* parent = nullptr);

    // Stores the colour and redraws the button.
    void SetColor(COLORREF color);
    COLORREF GetColor() const { return m_color; }

    // The swatch of an item rectangle, as the button draws it.
    static void DrawSwatch(DeviceContext& dc, const DcRect& item, COLORREF color);

    COLORREF m_color = 0;

protected:
    void paintEvent(QPaintEvent* e) override;
};
