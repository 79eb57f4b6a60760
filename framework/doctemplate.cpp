#include "doctemplate.h"

#include "document.h"
#include "mdichildwnd.h"
#include "mdiframewnd.h"
#include "resources.h"
#include "view.h"
#include "winapp.h"

#include <QFileInfo>
#include <QMdiArea>
#include <QtDebug>
#include <algorithm>

CDocTemplate::CDocTemplate(int resourceId, Factories factories)
    : m_nResourceId(resourceId), m_factories(std::move(factories)) {}

CDocTemplate::~CDocTemplate() {
    // Documents still open at exit: their windows are gone with the main window.
    const auto docs = m_docs;
    for (CDocument* d : docs)
        delete d;
}

QString CDocTemplate::GetDocString(int index) const {
    return resources::DocStringPart(resources::String(m_nResourceId), index);
}

QString CDocTemplate::FilterString() const {
    const QString name = GetDocString(3);
    const QString ext = GetDocString(4);
    if (name.isEmpty())
        return QString();
    return name + QLatin1Char('|') + QLatin1Char('*') + ext + QLatin1Char('|');
}

void CDocTemplate::AddDocument(CDocument* doc) {
    m_docs.push_back(doc);
    doc->SetDocTemplate(this);
}

void CDocTemplate::RemoveDocument(CDocument* doc) {
    m_docs.erase(std::remove(m_docs.begin(), m_docs.end(), doc), m_docs.end());
}

CDocument* CDocTemplate::CreateNewDocument() {
    CDocument* doc = m_factories.document ? m_factories.document() : nullptr;
    if (doc)
        AddDocument(doc);
    return doc;
}

CMDIChildWnd* CDocTemplate::CreateNewFrame(CDocument* doc, CMDIChildWnd*) {
    CWinApp* app = FrameworkApp();
    CMDIFrameWnd* main = app ? app->m_pMainWnd : nullptr;
    if (!main || !doc || !m_factories.frame || !m_factories.view)
        return nullptr;
    CMDIChildWnd* frame = m_factories.frame();
    if (!frame)
        return nullptr;
    CView* view = m_factories.view();
    if (!view) {
        delete frame;
        return nullptr;
    }
    doc->AddView(view);
    frame->Attach(this, view);
    main->MdiArea()->addSubWindow(frame);
    frame->OnUpdateFrameTitle();
    return frame;
}

void CDocTemplate::InitialUpdateFrame(CMDIChildWnd* frame, CDocument* doc, bool makeVisible) {
    if (!frame)
        return;
    if (CView* v = frame->GetActiveView())
        v->OnInitialUpdate();
    frame->OnUpdateFrameTitle();
    if (makeVisible) {
        if (!frame->isVisible())
            frame->show();
        frame->MDIActivate();
        if (CView* v = frame->GetActiveView())
            v->setFocus();
    }
    (void)doc;
}

CDocument* CDocTemplate::OpenDocumentFile(const QString& path, bool makeVisible) {
    CDocument* doc = CreateNewDocument();
    if (!doc)
        return nullptr;
    // The document decides first, so a refused document never shows a window.
    const bool ok = path.isEmpty() ? doc->OnNewDocument() : doc->OnOpenDocument(path);
    if (!ok) {
        RemoveDocument(doc);
        delete doc;
        return nullptr;
    }
    if (path.isEmpty()) {
        if (doc->GetTitle().isEmpty())
            doc->SetTitle(GetDocString(2).isEmpty() ? QStringLiteral("无标题") : GetDocString(2));
    } else {
        doc->SetPathName(path);
        if (doc->GetTitle().isEmpty())
            doc->SetTitle(QFileInfo(path).fileName());
    }
    CWinApp* app = FrameworkApp();
    CMDIChildWnd* active = app && app->m_pMainWnd ? app->m_pMainWnd->MDIGetActive() : nullptr;
    CMDIChildWnd* frame = CreateNewFrame(doc, active);
    if (!frame) {
        qWarning("Warning: failed to create new frame");
        RemoveDocument(doc);
        delete doc;
        return nullptr;
    }
    InitialUpdateFrame(frame, doc, makeVisible);
    return doc;
}
