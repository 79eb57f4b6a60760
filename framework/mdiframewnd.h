#pragma once
// The main window: an MDI area for the child windows, a menu bar that
// follows the active child's menu resource, the accelerators, an optional
// toolbar and status bar, command routing and the refresh of enable/check
// states, and dropped files.
//
// Route of a command: active view -> its document -> active child window ->
// main window -> application.

#include "cmdtarget.h"
#include "resources.h"

#include <QMainWindow>
#include <QPointer>
#include <QToolBar>
#include <QUrl>

class QMdiArea;
class QMdiSubWindow;
class QLabel;
class QStatusBar;
class QTimer;
class CMDIChildWnd;
class CView;
class CDocument;

// A toolbar whose buttons carry command ids.
class CToolBar : public QToolBar {
    Q_OBJECT
public:
    explicit CToolBar(QWidget* parent = nullptr);
    // id 0 adds a separator.
    QAction* AddButton(int id, const QIcon& icon, const QString& tip);
    QAction* Button(int id) const;
    // Index of a button among all items, separators counted (as in a toolbar
    // resource); -1 when absent.
    int CommandToIndex(int id) const;
    // Shows a button pressed or released.
    void SetButtonChecked(int id, bool pressed);
    bool IsButtonChecked(int id) const;
};

class CMDIFrameWnd : public QMainWindow, public CCmdTarget {
    Q_OBJECT
public:
    CMDIFrameWnd();
    ~CMDIFrameWnd() override;

    // Builds the window for resource id (menu, accelerators, icon, title from
    // string id) and calls OnCreate(). False when OnCreate() fails; the window
    // is then unusable and should be deleted.
    bool LoadFrame(int resourceId);
    // Hook for the derived frame: bars, start-up work. False fails the creation.
    virtual bool OnCreate() { return true; }

    QMdiArea* MdiArea() const { return m_pMdiArea; }
    CMDIChildWnd* MDIGetActive() const;
    CView* GetActiveView() const;
    CDocument* GetActiveDocument() const;
    std::vector<CMDIChildWnd*> ChildWindows() const;

    // Routes a command (see above). False when nobody handles it.
    bool SendCommand(int id);
    // Asks the route for the state of id.
    CCmdUI QueryCommandUI(int id) const;
    // Refreshes the toolbar buttons' enable/check states (also done on a timer).
    void UpdateToolBarStates();
    // The menu bar currently shown: the active child's menu resource, or the
    // frame's own when no child is active.
    int CurrentMenuId() const { return m_nCurrentMenuId; }
    // Rebuilds the menu bar (also after the recent-file list changed).
    void RebuildMenuBar();
    // The program's title; while a child window is maximised Qt shows
    // "Vantrel - [caption]".
    void UpdateTitle();

    CToolBar* ToolBar() const { return m_pToolBar; }
    void SetToolBar(CToolBar* bar);
    // Creates the status bar with a message pane and the given indicator texts.
    void CreateStatusBar(const QStringList& indicators);
    void SetMessageText(const QString& text);

    // Opens local files dropped on the window as documents; returns how many opened.
    int OpenDroppedFiles(const QList<QUrl>& urls);

    // Closes every document then the window, without any question.
    void CloseAllDocuments();

protected:
    void closeEvent(QCloseEvent* e) override;
    // The close request of the window (close box, "退出(&X)"). Default: close
    // every document and accept. Return false to keep the window open.
    virtual bool OnClose();
    void dragEnterEvent(QDragEnterEvent* e) override;
    void dropEvent(QDropEvent* e) override;

private:
    void OnSubWindowActivated(QMdiSubWindow* w);
    void BuildMenu(QMenu* into, const std::vector<MenuItemDef>& items);
    void AddRecentFileItems(QMenu* into);
    void UpdateMenuStates(QMenu* menu);
    void InstallAccelerators(int resourceId);
    void RegisterFrameCommands();

    int m_nResourceId = 0;
    int m_nCurrentMenuId = 0;
    QMdiArea* m_pMdiArea = nullptr;
    CToolBar* m_pToolBar = nullptr;
    QLabel* m_pMessagePane = nullptr;
    QTimer* m_pIdleTimer = nullptr;
    QPointer<CMDIChildWnd> m_pLastActive; // cleared when that window is deleted
};
