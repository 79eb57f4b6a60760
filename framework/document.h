#pragma once
// A document: the object a document template creates for a file (or for a
// new, unnamed window) and that one or more views show. Documents of this
// program hold no data; views read their file through GetPathName().

#include "cmdtarget.h"

#include <QString>
#include <vector>

class CView;
class CDocTemplate;
class CMDIChildWnd;

class CDocument : public CCmdTarget {
public:
    CDocument() = default;
    ~CDocument() override;

    // Called for a new, unnamed document; false refuses it (no window opens).
    virtual bool OnNewDocument() { return true; }
    // Called for a file; false refuses it (no window opens).
    virtual bool OnOpenDocument(const QString& path) {
        (void)path;
        return true;
    }
    // Called when the last window of the document is about to close (its
    // close box, "关闭(&C)"). False keeps the window open.
    virtual bool CanCloseFrame(CMDIChildWnd* frame);
    // Closes every window of the document and deletes it. Also called for
    // every open document when the main window closes; an override that
    // returns without calling the base keeps the document's windows open
    // (the main window's close then destroys them anyway).
    virtual void OnCloseDocument();

    const QString& GetTitle() const { return m_strTitle; }
    // Sets the title and shows it in the document's window captions.
    virtual void SetTitle(const QString& title);
    const QString& GetPathName() const { return m_strPathName; }
    void SetPathName(const QString& path) { m_strPathName = path; }
    CDocTemplate* GetDocTemplate() const { return m_pDocTemplate; }

    const std::vector<CView*>& Views() const { return m_views; }
    CView* GetFirstView() const { return m_views.empty() ? nullptr : m_views.front(); }
    // Invalidates every view except sender.
    void UpdateAllViews(CView* sender);

    // Framework bookkeeping.
    void AddView(CView* view);
    void RemoveView(CView* view);
    void SetDocTemplate(CDocTemplate* t) { m_pDocTemplate = t; }
    bool IsClosing() const { return m_bClosing; }

private:
    QString m_strTitle;
    QString m_strPathName;
    CDocTemplate* m_pDocTemplate = nullptr;
    std::vector<CView*> m_views;
    bool m_bClosing = false;
};
