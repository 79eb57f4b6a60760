#include "vantrelview.h"

#include "document.h"
#include "mdichildwnd.h"

#include <QPainter>

void CVantrelView::OnInitialUpdate() {
    if (CMDIChildWnd* frame = GetParentFrame())
        frame->MDIMaximize();
    if (CDocument* doc = GetDocument())
        doc->SetTitle(QStringLiteral("历史趋势曲线[") + doc->GetPathName() + QStringLiteral("]"));
}

void CVantrelView::OnDraw(QPainter&, const QRect&) {}
