#pragma once
// A child window of the main window's MDI area: holds one view of one
// document. Created by a document template; closing the last window of a
// document asks the document (CanCloseFrame) and then closes it
// (OnCloseDocument).

#include "cmdtarget.h"

#include <QMdiSubWindow>

class CView;
class CDocument;
class CDocTemplate;

class CMDIChildWnd : public QMdiSubWindow, public CCmdTarget {
    Q_OBJECT
public:
    CMDIChildWnd();
    ~CMDIChildWnd() override;

    CView* GetActiveView() const { return m_pView; }
    CDocument* GetActiveDocument() const;
    CDocTemplate* GetDocTemplate() const { return m_pTemplate; }
    // Menu resource shown while this window is active (its template's id).
    int MenuResourceId() const;

    void MDIMaximize();
    void MDIActivate();
    // Refreshes the caption from the document title (":n" added when the
    // document has several windows).
    void OnUpdateFrameTitle();
    // Closes the window without asking (used by the document's close).
    void DestroyWindow();

    // Framework bookkeeping.
    void Attach(CDocTemplate* t, CView* view);

protected:
    void closeEvent(QCloseEvent* e) override;

private:
    CDocTemplate* m_pTemplate = nullptr;
    CView* m_pView = nullptr;
    bool m_bDestroying = false;
};
