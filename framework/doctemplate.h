#pragma once
// A document template ties a resource id (menu, icon, document string) to
// the classes of a document, its child window and its view, and creates them
// together:
//
//     auto* t = new CDocTemplate(152, CDocTemplate::Factories::Of<CVantrelDoc, CChildFrame,
//     CVantrelView>()); theApp.AddDocTemplate(t);          // registered: File Open, command line
//     theApp.AdoptTemplate(t2);          // owned but not registered
//
//     CDocument* doc = t->OpenDocumentFile(path);    // or "" for a new document
//     CMDIChildWnd* f = t->CreateNewFrame(doc, active);  // a further window
//     t->InitialUpdateFrame(f, doc);                 // OnInitialUpdate, show
//
// The template owns its documents until they close.

#include <QString>
#include <functional>
#include <vector>

class CDocument;
class CMDIChildWnd;
class CView;

class CDocTemplate {
public:
    struct Factories {
        std::function<CDocument*()> document;
        std::function<CMDIChildWnd*()> frame;
        std::function<CView*()> view;

        template <class Doc, class Frame, class View> static Factories Of() {
            return {[] { return new Doc; }, [] { return new Frame; }, [] { return new View; }};
        }
    };

    CDocTemplate(int resourceId, Factories factories);
    ~CDocTemplate();
    CDocTemplate(const CDocTemplate&) = delete;
    CDocTemplate& operator=(const CDocTemplate&) = delete;

    int ResourceId() const { return m_nResourceId; }
    // Part of the document string (resources::DocStringPart index).
    QString GetDocString(int index) const;
    // "Vantrel Files (*.tda)|*.tda|" for the open dialog.
    QString FilterString() const;

    // Opens path (empty: a new document) in a new window. Returns nullptr when
    // the document refuses (OnOpenDocument/OnNewDocument false) or the window
    // cannot be created; nothing is left behind then.
    CDocument* OpenDocumentFile(const QString& path, bool makeVisible = true);
    CDocument* CreateNewDocument();
    // A new child window with a new view on doc, in the main window's MDI area.
    // other: the window active before (may be nullptr). nullptr on failure.
    CMDIChildWnd* CreateNewFrame(CDocument* doc, CMDIChildWnd* other);
    // Calls the view's OnInitialUpdate and shows and activates the window.
    void InitialUpdateFrame(CMDIChildWnd* frame, CDocument* doc, bool makeVisible = true);

    const std::vector<CDocument*>& Documents() const { return m_docs; }
    void AddDocument(CDocument* doc);
    void RemoveDocument(CDocument* doc);
    // Replaces the frame factory (tests simulate a window that cannot be created).
    void SetFrameFactory(std::function<CMDIChildWnd*()> f) { m_factories.frame = std::move(f); }

private:
    int m_nResourceId;
    Factories m_factories;
    std::vector<CDocument*> m_docs;
};
