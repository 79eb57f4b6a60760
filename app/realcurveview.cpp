#include "realcurveview.h"

#include "document.h"
#include "mdichildwnd.h"

void CRealCurveView::OnInitialUpdate() {
    if (CMDIChildWnd* frame = GetParentFrame())
        frame->MDIMaximize();
    if (CDocument* doc = GetDocument())
        doc->SetTitle(QStringLiteral("实时数据采集"));
}

void CRealCurveView::OnDraw(QPainter&, const QRect&) {}
