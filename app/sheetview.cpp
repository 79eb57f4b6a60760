#include "sheetview.h"

#include "mdichildwnd.h"

void CSheetView::OnInitialUpdate() {
    if (CMDIChildWnd* frame = GetParentFrame())
        frame->MDIMaximize();
}

void CSheetView::OnDraw(QPainter&, const QRect&) {}
