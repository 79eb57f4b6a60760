#include "mdiframewnd.h"

#include "commandids.h"
#include "doctemplate.h"
#include "document.h"
#include "mdichildwnd.h"
#include "promptservice.h"
#include "resources.h"
#include "view.h"
#include "winapp.h"

#include <QCloseEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QLabel>
#include <QMdiArea>
#include <QMenuBar>
#include <QMimeData>
#include <QShortcut>
#include <QStatusBar>
#include <QTimer>

namespace {
constexpr const char* kCommandId = "commandId";
constexpr const char* kResourceText = "resourceText";
} // namespace

// ---- CToolBar ----

CToolBar::CToolBar(QWidget* parent) : QToolBar(parent) {
    setObjectName(QStringLiteral("MainToolBar"));
    setMovable(true);
    setIconSize(QSize(16, 16));
    setToolButtonStyle(Qt::ToolButtonIconOnly);
}

QAction* CToolBar::AddButton(int id, const QIcon& icon, const QString& tip) {
    if (id == 0)
        return addSeparator();
    QAction* a = addAction(icon, tip);
    a->setToolTip(tip);
    a->setStatusTip(tip);
    a->setProperty(kCommandId, id);
    return a;
}

QAction* CToolBar::Button(int id) const {
    for (QAction* a : actions())
        if (!a->isSeparator() && a->property(kCommandId).toInt() == id)
            return a;
    return nullptr;
}

int CToolBar::CommandToIndex(int id) const {
    const auto list = actions();
    for (int i = 0; i < list.size(); ++i)
        if (!list[i]->isSeparator() && list[i]->property(kCommandId).toInt() == id)
            return i;
    return -1;
}

void CToolBar::SetButtonChecked(int id, bool pressed) {
    if (QAction* a = Button(id)) {
        a->setCheckable(true);
        a->setChecked(pressed);
    }
}

bool CToolBar::IsButtonChecked(int id) const {
    QAction* a = Button(id);
    return a && a->isCheckable() && a->isChecked();
}

// ---- CMDIFrameWnd ----

CMDIFrameWnd::CMDIFrameWnd() {
    m_pMdiArea = new QMdiArea(this);
    m_pMdiArea->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    m_pMdiArea->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    m_pMdiArea->setBackground(QBrush(QColor(171, 171, 171)));
    setCentralWidget(m_pMdiArea);
    connect(m_pMdiArea, &QMdiArea::subWindowActivated, this,
            [this](QMdiSubWindow* w) { OnSubWindowActivated(w); });
    setAcceptDrops(true);
    RegisterFrameCommands();
}

CMDIFrameWnd::~CMDIFrameWnd() {
    // The MDI area reports activations while its windows go with it.
    disconnect(m_pMdiArea, nullptr, this, nullptr);
    if (m_pIdleTimer)
        m_pIdleTimer->stop();
    if (PromptParent() == this)
        SetPromptParent(nullptr);
    if (CWinApp* app = FrameworkApp(); app && app->m_pMainWnd == this)
        app->m_pMainWnd = nullptr;
}

bool CMDIFrameWnd::LoadFrame(int resourceId) {
    m_nResourceId = resourceId;
    const QString title = resources::DocStringPart(resources::String(resourceId), 0);
    setWindowTitle(title.isEmpty() ? QStringLiteral("Vantrel") : title);
    const QIcon icon = resources::Icon(resourceId);
    if (!icon.isNull())
        setWindowIcon(icon);
    InstallAccelerators(resourceId);
    RebuildMenuBar();
    m_pIdleTimer = new QTimer(this);
    connect(m_pIdleTimer, &QTimer::timeout, this, [this] {
        UpdateToolBarStates();
        const CMDIChildWnd* active = MDIGetActive();
        const int want = active ? active->MenuResourceId() : m_nResourceId;
        if (want != m_nCurrentMenuId)
            RebuildMenuBar();
    });
    m_pIdleTimer->start(250);
    SetPromptParent(this);
    if (!OnCreate())
        return false;
    UpdateToolBarStates();
    return true;
}

CMDIChildWnd* CMDIFrameWnd::MDIGetActive() const {
    if (auto* w = qobject_cast<CMDIChildWnd*>(m_pMdiArea->currentSubWindow()))
        return w;
    if (auto* w = qobject_cast<CMDIChildWnd*>(m_pMdiArea->activeSubWindow()))
        return w;
    const auto children = ChildWindows();
    for (CMDIChildWnd* c : children)
        if (c == m_pLastActive)
            return c;
    return nullptr;
}

CView* CMDIFrameWnd::GetActiveView() const {
    CMDIChildWnd* w = MDIGetActive();
    return w ? w->GetActiveView() : nullptr;
}

CDocument* CMDIFrameWnd::GetActiveDocument() const {
    CMDIChildWnd* w = MDIGetActive();
    return w ? w->GetActiveDocument() : nullptr;
}

std::vector<CMDIChildWnd*> CMDIFrameWnd::ChildWindows() const {
    std::vector<CMDIChildWnd*> out;
    for (QMdiSubWindow* w : m_pMdiArea->subWindowList())
        if (auto* c = qobject_cast<CMDIChildWnd*>(w))
            out.push_back(c);
    return out;
}

// ---- routing ----

namespace {
std::vector<CCmdTarget*> RouteOf(const CMDIFrameWnd* frame, CMDIChildWnd* child) {
    std::vector<CCmdTarget*> route;
    if (child) {
        if (CView* v = child->GetActiveView())
            route.push_back(v);
        if (CDocument* d = child->GetActiveDocument())
            route.push_back(d);
        route.push_back(child);
    }
    route.push_back(const_cast<CMDIFrameWnd*>(frame));
    if (CWinApp* app = FrameworkApp())
        route.push_back(app);
    return route;
}
} // namespace

CCmdUI CMDIFrameWnd::QueryCommandUI(int id) const {
    CCmdUI ui(id);
    bool found = false;
    for (CCmdTarget* t : RouteOf(this, MDIGetActive())) {
        if (t->OnUpdateCmdMsg(ui)) {
            found = true;
            break;
        }
    }
    if (!found)
        ui.Enable(false);
    return ui;
}

bool CMDIFrameWnd::SendCommand(int id) {
    if (!QueryCommandUI(id).m_bEnabled)
        return false;
    for (CCmdTarget* t : RouteOf(this, MDIGetActive())) {
        if (t->OnCmdMsg(id)) {
            UpdateToolBarStates();
            return true;
        }
    }
    return false;
}

void CMDIFrameWnd::UpdateToolBarStates() {
    if (!m_pToolBar)
        return;
    for (QAction* a : m_pToolBar->actions()) {
        const int id = a->property(kCommandId).toInt();
        if (a->isSeparator() || id == 0)
            continue;
        const CCmdUI ui = QueryCommandUI(id);
        a->setEnabled(ui.m_bEnabled);
        if (ui.m_bCheckable) {
            a->setCheckable(true);
            a->setChecked(ui.m_nCheck == 1);
        }
    }
}

void CMDIFrameWnd::UpdateMenuStates(QMenu* menu) {
    for (QAction* a : menu->actions()) {
        const int id = a->property(kCommandId).toInt();
        if (a->isSeparator() || id == 0 || a->menu())
            continue;
        if (id >= cmd::ID_FILE_MRU_FILE1 && id <= cmd::ID_FILE_MRU_LAST) {
            a->setEnabled(!FrameworkApp() || !FrameworkApp()->RecentFiles().Files().isEmpty());
            continue;
        }
        const CCmdUI ui = QueryCommandUI(id);
        a->setEnabled(ui.m_bEnabled);
        a->setCheckable(ui.m_bCheckable);
        if (ui.m_bCheckable)
            a->setChecked(ui.m_nCheck == 1);
    }
}

// ---- menus ----

void CMDIFrameWnd::AddRecentFileItems(QMenu* into) {
    CWinApp* app = FrameworkApp();
    const QStringList files = app ? app->RecentFiles().Files() : QStringList();
    if (files.isEmpty()) {
        QAction* a = into->addAction(QStringLiteral("最近的文件"));
        a->setProperty(kCommandId, cmd::ID_FILE_MRU_FILE1);
        a->setEnabled(false);
        return;
    }
    for (int i = 0; i < files.size(); ++i) {
        QAction* a = into->addAction(app->RecentFiles().MenuText(i));
        a->setProperty(kCommandId, cmd::ID_FILE_MRU_FILE1 + i);
        a->setToolTip(files[i]);
        const int id = cmd::ID_FILE_MRU_FILE1 + i;
        connect(a, &QAction::triggered, this, [this, id] { SendCommand(id); });
    }
}

void CMDIFrameWnd::BuildMenu(QMenu* into, const std::vector<MenuItemDef>& items) {
    for (const MenuItemDef& item : items) {
        if (item.IsSeparator()) {
            into->addSeparator();
        } else if (item.IsPopup()) {
            QMenu* sub = into->addMenu(resources::DisplayText(item.text));
            sub->menuAction()->setProperty(kResourceText, item.text);
            BuildMenu(sub, item.items);
            connect(sub, &QMenu::aboutToShow, this, [this, sub] { UpdateMenuStates(sub); });
        } else if (item.id == cmd::ID_FILE_MRU_FILE1) {
            AddRecentFileItems(into);
        } else {
            QAction* a = into->addAction(resources::DisplayText(item.text));
            a->setProperty(kCommandId, item.id);
            a->setProperty(kResourceText, item.text);
            const int id = item.id;
            connect(a, &QAction::triggered, this, [this, id] { SendCommand(id); });
        }
    }
}

void CMDIFrameWnd::RebuildMenuBar() {
    const CMDIChildWnd* active = MDIGetActive();
    int id = active ? active->MenuResourceId() : m_nResourceId;
    if (!resources::Menu(id))
        id = m_nResourceId;
    m_nCurrentMenuId = id;
    QMenuBar* bar = menuBar();
    bar->clear();
    if (const MenuDef* def = resources::Menu(id)) {
        for (const MenuItemDef& popup : *def) {
            QMenu* m = bar->addMenu(resources::DisplayText(popup.text));
            m->menuAction()->setProperty(kResourceText, popup.text);
            BuildMenu(m, popup.items);
            connect(m, &QMenu::aboutToShow, this, [this, m] { UpdateMenuStates(m); });
        }
    }
    UpdateTitle();
}

void CMDIFrameWnd::InstallAccelerators(int resourceId) {
    const auto* table = resources::Accelerators(resourceId);
    if (!table)
        return;
    for (const AcceleratorDef& acc : *table) {
        auto* sc = new QShortcut(acc.key, this);
        sc->setContext(Qt::WindowShortcut);
        const int id = acc.id;
        connect(sc, &QShortcut::activated, this, [this, id] { SendCommand(id); });
    }
}

void CMDIFrameWnd::OnSubWindowActivated(QMdiSubWindow* w) {
    if (auto* c = qobject_cast<CMDIChildWnd*>(w)) {
        if (c != m_pLastActive) {
            if (m_pLastActive && m_pLastActive->GetActiveView())
                m_pLastActive->GetActiveView()->OnActivateView(false);
            m_pLastActive = c;
            if (c->GetActiveView())
                c->GetActiveView()->OnActivateView(true);
        }
    } else if (w == nullptr && m_pMdiArea->currentSubWindow()) {
        return; // the main window lost focus (a dialog); the child stays current
    }
    const CMDIChildWnd* active = MDIGetActive();
    const int want = active ? active->MenuResourceId() : m_nResourceId;
    if (want != m_nCurrentMenuId)
        RebuildMenuBar();
    else
        UpdateTitle();
    UpdateToolBarStates();
}

void CMDIFrameWnd::UpdateTitle() {
    // A maximised child adds " - [its caption]" to the title itself.
    for (CMDIChildWnd* c : ChildWindows())
        if (c->isMaximized())
            return;
    QString title = resources::DocStringPart(resources::String(m_nResourceId), 0);
    setWindowTitle(title.isEmpty() ? QStringLiteral("Vantrel") : title);
}

// ---- bars ----

void CMDIFrameWnd::SetToolBar(CToolBar* bar) {
    m_pToolBar = bar;
    addToolBar(Qt::TopToolBarArea, bar);
    connect(bar, &QToolBar::actionTriggered, this, [this](QAction* a) {
        if (const int id = a->property(kCommandId).toInt())
            SendCommand(id);
    });
}

void CMDIFrameWnd::CreateStatusBar(const QStringList& indicators) {
    QStatusBar* bar = statusBar();
    m_pMessagePane = new QLabel(QStringLiteral("就绪"), bar);
    bar->addWidget(m_pMessagePane, 1);
    for (const QString& text : indicators) {
        auto* pane = new QLabel(text, bar);
        pane->setObjectName(text);
        pane->setAlignment(Qt::AlignCenter);
        pane->setMinimumWidth(pane->fontMetrics().horizontalAdvance(text) + 12);
        pane->setFrameShape(QFrame::Panel);
        pane->setFrameShadow(QFrame::Sunken);
        // Lock key states are not reported to the program on every desktop;
        // the panes show their names greyed, as when the lock is off.
        pane->setEnabled(false);
        bar->addPermanentWidget(pane);
    }
}

void CMDIFrameWnd::SetMessageText(const QString& text) {
    if (m_pMessagePane)
        m_pMessagePane->setText(text);
}

// ---- frame commands ----

void CMDIFrameWnd::RegisterFrameCommands() {
    OnCommand(cmd::ID_APP_EXIT, [this] { close(); });
    OnCommand(cmd::ID_WINDOW_CASCADE, [this] { m_pMdiArea->cascadeSubWindows(); });
    OnCommand(cmd::ID_WINDOW_TILE_HORZ, [this] { m_pMdiArea->tileSubWindows(); });
    OnCommand(cmd::ID_WINDOW_ARRANGE, [this] {
        for (CMDIChildWnd* c : ChildWindows())
            if (c->isMinimized())
                c->showMinimized();
    });
    OnCommand(cmd::ID_WINDOW_NEW, [this] {
        CMDIChildWnd* active = MDIGetActive();
        CDocument* doc = active ? active->GetActiveDocument() : nullptr;
        CDocTemplate* t = active ? active->GetDocTemplate() : nullptr;
        if (!doc || !t)
            return;
        if (CMDIChildWnd* f = t->CreateNewFrame(doc, active)) {
            t->InitialUpdateFrame(f, doc);
            for (CView* v : doc->Views())
                if (CMDIChildWnd* pf = v->GetParentFrame())
                    pf->OnUpdateFrameTitle();
        }
    });
    OnUpdateCommand(cmd::ID_WINDOW_NEW,
                    [this](CCmdUI& ui) { ui.Enable(MDIGetActive() != nullptr); });
    OnCommand(cmd::ID_FILE_CLOSE, [this] {
        CMDIChildWnd* active = MDIGetActive();
        CDocument* doc = active ? active->GetActiveDocument() : nullptr;
        if (doc && doc->CanCloseFrame(active))
            doc->OnCloseDocument();
    });
    OnUpdateCommand(cmd::ID_FILE_CLOSE,
                    [this](CCmdUI& ui) { ui.Enable(GetActiveDocument() != nullptr); });
    OnCommand(cmd::ID_VIEW_TOOLBAR, [this] {
        if (m_pToolBar)
            m_pToolBar->setVisible(!m_pToolBar->isVisible());
    });
    OnUpdateCommand(cmd::ID_VIEW_TOOLBAR, [this](CCmdUI& ui) {
        ui.Enable(m_pToolBar != nullptr);
        ui.SetCheck(m_pToolBar && !m_pToolBar->isHidden());
    });
    OnCommand(cmd::ID_VIEW_STATUS_BAR,
              [this] { statusBar()->setVisible(statusBar()->isHidden()); });
    OnUpdateCommand(cmd::ID_VIEW_STATUS_BAR,
                    [this](CCmdUI& ui) { ui.SetCheck(!statusBar()->isHidden()); });
}

void CMDIFrameWnd::CloseAllDocuments() {
    if (CWinApp* app = FrameworkApp())
        for (CDocument* doc : app->AllDocuments())
            doc->OnCloseDocument();
    // Whatever a document kept open goes with the main window.
    for (CMDIChildWnd* c : ChildWindows())
        c->DestroyWindow();
}

bool CMDIFrameWnd::OnClose() {
    CloseAllDocuments();
    return true;
}

void CMDIFrameWnd::closeEvent(QCloseEvent* e) {
    if (OnClose()) {
        if (m_pIdleTimer)
            m_pIdleTimer->stop();
        e->accept();
    } else {
        e->ignore();
    }
}

void CMDIFrameWnd::dragEnterEvent(QDragEnterEvent* e) {
    if (e->mimeData()->hasUrls())
        e->acceptProposedAction();
}

void CMDIFrameWnd::dropEvent(QDropEvent* e) {
    OpenDroppedFiles(e->mimeData()->urls());
    e->acceptProposedAction();
}

int CMDIFrameWnd::OpenDroppedFiles(const QList<QUrl>& urls) {
    CWinApp* app = FrameworkApp();
    int opened = 0;
    for (const QUrl& url : urls)
        if (app && url.isLocalFile() && app->OpenDocumentFile(url.toLocalFile()))
            ++opened;
    return opened;
}
