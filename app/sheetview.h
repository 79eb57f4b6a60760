#pragma once
// The data list view (placeholder until the data list lands).

#include "view.h"

class CSheetView : public CView {
    Q_OBJECT
public:
    void OnInitialUpdate() override;
    void OnDraw(QPainter& painter, const QRect& client) override;
};
