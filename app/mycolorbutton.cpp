#include "mycolorbutton.h"

#include "qpainterdc.h"

#include <QPainter>
#include <QStyleOptionButton>
#include <QStylePainter>

CMyColorButton::CMyColorButton(QWidget* parent) : QPushButton(parent) {
    setMinimumSize(40, 20);
}

void CMyColorButton::SetColor(COLORREF color) {
    m_color = color;
    update();
}

void CMyColorButton::DrawSwatch(DeviceContext& dc, const DcRect& item, COLORREF color) {
    const DcRect r{item.left + 4, item.top + 4, item.right - 4, item.bottom - 4};
    const DcPen previous = dc.SelectPen(DcPen{color, 1});
    // A rectangle drawn with a pen and a brush of the same colour covers
    // left .. right - 1 and top .. bottom - 1.
    dc.FillSolidRect(r, color);
    dc.SelectPen(DcPen{RGB(0, 0, 0), 1});
    dc.MoveTo(r.left, r.top);
    dc.LineTo(r.right, r.top);
    dc.MoveTo(r.left, r.top);
    dc.LineTo(r.left, r.bottom);
    dc.SelectPen(DcPen{RGB(255, 255, 255), 1});
    dc.MoveTo(r.left, r.bottom);
    dc.LineTo(r.right, r.bottom);
    dc.LineTo(r.right, r.top);
    dc.SelectPen(previous);
}

void CMyColorButton::paintEvent(QPaintEvent*) {
    QStylePainter painter(this);
    QStyleOptionButton option;
    initStyleOption(&option);
    option.text.clear();
    painter.drawControl(QStyle::CE_PushButton, option);
    QPainterDc dc(painter);
    const QRect r = rect();
    DrawSwatch(dc, DcRect{r.left(), r.top(), r.right() + 1, r.bottom() + 1}, m_color);
}
