#pragma once
// The history trend view (placeholder until the trend view lands): shows the
// document's file name in its title and an empty plot.

#include "view.h"

class CVantrelView : public CView {
    Q_OBJECT
public:
    void OnInitialUpdate() override;
    void OnDraw(QPainter& painter, const QRect& client) override;
};
