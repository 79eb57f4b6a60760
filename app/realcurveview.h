#pragma once
// The real-time acquisition view (placeholder until the live view lands).

#include "view.h"

class CRealCurveView : public CView {
    Q_OBJECT
public:
    void OnInitialUpdate() override;
    void OnDraw(QPainter& painter, const QRect& client) override;
};
