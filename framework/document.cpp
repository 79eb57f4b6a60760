#include "document.h"

#include "doctemplate.h"
#include "mdichildwnd.h"
#include "view.h"

#include <algorithm>

CDocument::~CDocument() = default;

bool CDocument::CanCloseFrame(CMDIChildWnd*) {
    return true;
}

void CDocument::OnCloseDocument() {
    if (m_bClosing)
        return;
    m_bClosing = true;
    // Copy: destroying a window removes its view from m_views.
    const std::vector<CView*> views = m_views;
    for (CView* v : views)
        if (CMDIChildWnd* f = v->GetParentFrame())
            f->DestroyWindow();
    if (m_pDocTemplate)
        m_pDocTemplate->RemoveDocument(this);
    delete this;
}

void CDocument::SetTitle(const QString& title) {
    m_strTitle = title;
    for (CView* v : m_views)
        if (CMDIChildWnd* f = v->GetParentFrame())
            f->OnUpdateFrameTitle();
}

void CDocument::UpdateAllViews(CView* sender) {
    for (CView* v : m_views)
        if (v != sender)
            v->Invalidate();
}

void CDocument::AddView(CView* view) {
    m_views.push_back(view);
    view->AttachDocument(this);
}

void CDocument::RemoveView(CView* view) {
    m_views.erase(std::remove(m_views.begin(), m_views.end(), view), m_views.end());
}
