#include "mdichildwnd.h"

#include "doctemplate.h"
#include "document.h"
#include "resources.h"
#include "view.h"

#include <QCloseEvent>
#include <QMdiArea>

CMDIChildWnd::CMDIChildWnd() {
    setAttribute(Qt::WA_DeleteOnClose);
}

CMDIChildWnd::~CMDIChildWnd() {
    // A view still attached (window destroyed with the main window) leaves
    // its document without calling back into it.
    if (m_pView && m_pView->GetDocument()) {
        CDocument* doc = m_pView->GetDocument();
        doc->RemoveView(m_pView);
        m_pView->AttachDocument(nullptr);
    }
}

CDocument* CMDIChildWnd::GetActiveDocument() const {
    return m_pView ? m_pView->GetDocument() : nullptr;
}

int CMDIChildWnd::MenuResourceId() const {
    return m_pTemplate ? m_pTemplate->ResourceId() : 0;
}

void CMDIChildWnd::Attach(CDocTemplate* t, CView* view) {
    m_pTemplate = t;
    m_pView = view;
    setWidget(view);
    const QIcon icon = resources::Icon(MenuResourceId());
    if (!icon.isNull())
        setWindowIcon(icon);
}

void CMDIChildWnd::MDIMaximize() {
    showMaximized();
}

void CMDIChildWnd::MDIActivate() {
    if (QMdiArea* area = mdiArea())
        area->setActiveSubWindow(this);
}

void CMDIChildWnd::OnUpdateFrameTitle() {
    CDocument* doc = GetActiveDocument();
    if (!doc)
        return;
    QString title = doc->GetTitle();
    const auto& views = doc->Views();
    if (views.size() > 1) {
        int n = 1;
        for (CView* v : views) {
            if (v == m_pView)
                break;
            ++n;
        }
        title += QStringLiteral(":%1").arg(n);
    }
    setWindowTitle(title);
}

void CMDIChildWnd::DestroyWindow() {
    if (m_bDestroying)
        return;
    m_bDestroying = true;
    if (m_pView) {
        for (int id = 0; id < 64; ++id)
            m_pView->KillTimer(id);
        if (CDocument* doc = m_pView->GetDocument()) {
            doc->RemoveView(m_pView);
            m_pView->AttachDocument(nullptr);
        }
    }
    hide();
    if (QMdiArea* area = mdiArea())
        area->removeSubWindow(this);
    deleteLater();
}

void CMDIChildWnd::closeEvent(QCloseEvent* e) {
    if (m_bDestroying) {
        e->accept();
        return;
    }
    e->ignore();
    CDocument* doc = GetActiveDocument();
    if (!doc) {
        DestroyWindow();
        return;
    }
    if (doc->Views().size() > 1) {
        // Not the document's last window: only this window goes.
        DestroyWindow();
        for (CView* v : doc->Views())
            if (CMDIChildWnd* f = v->GetParentFrame())
                f->OnUpdateFrameTitle();
        return;
    }
    if (!doc->CanCloseFrame(this))
        return;
    doc->OnCloseDocument();
}
