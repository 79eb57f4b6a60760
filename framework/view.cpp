#include "view.h"

#include "document.h"
#include "mdichildwnd.h"
#include "promptservice.h"
#include "winapp.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QTimer>
#include <QWheelEvent>

CView::CView(QWidget* parent) : QWidget(parent) {
    setMouseTracking(true);
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_OpaquePaintEvent);
}

CView::~CView() {
    for (auto& [id, timer] : m_timers)
        delete timer;
    if (m_pDocument)
        m_pDocument->RemoveView(this);
}

CMDIChildWnd* CView::GetParentFrame() const {
    for (QWidget* w = parentWidget(); w; w = w->parentWidget())
        if (auto* f = qobject_cast<CMDIChildWnd*>(w))
            return f;
    return nullptr;
}

void CView::Invalidate() {
    m_bDirty = true;
    update();
}

void CView::UpdateWindow() {
    if (m_bDirty && isVisible())
        repaint();
}

void CView::EnsureBacking() {
    const qreal dpr = devicePixelRatioF();
    const QSize want = size() * dpr;
    if (m_backing.size() != want) {
        m_backing = QImage(want.expandedTo(QSize(1, 1)), QImage::Format_RGB32);
        m_backing.setDevicePixelRatio(dpr);
        m_bDirty = true;
    }
}

void CView::RedrawBacking() {
    EnsureBacking();
    m_backing.fill(Qt::white);
    QPainter p(&m_backing);
    OnPrepareDC(p, nullptr);
    OnDraw(p, rect());
    m_bDirty = false;
}

void CView::DrawNow(const std::function<void(QPainter&, const QRect&)>& fn) {
    EnsureBacking();
    if (m_bDirty)
        RedrawBacking();
    {
        QPainter p(&m_backing);
        OnPrepareDC(p, nullptr);
        fn(p, rect());
    }
    update();
}

QImage CView::RenderClient() {
    QImage image(size().expandedTo(QSize(1, 1)), QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter p(&image);
    OnDraw(p, rect());
    return image;
}

void CView::paintEvent(QPaintEvent*) {
    EnsureBacking();
    if (m_bDirty)
        RedrawBacking();
    QPainter p(this);
    p.drawImage(0, 0, m_backing);
}

void CView::resizeEvent(QResizeEvent* e) {
    QWidget::resizeEvent(e);
    m_bDirty = true;
    OnSize(width(), height());
}

void CView::mousePressEvent(QMouseEvent* e) {
    if (e->button() == Qt::LeftButton)
        OnLButtonDown(e->position().toPoint(), e->modifiers());
    else if (e->button() == Qt::RightButton)
        OnRButtonDown(e->position().toPoint(), e->modifiers());
}

void CView::mouseReleaseEvent(QMouseEvent* e) {
    if (e->button() == Qt::LeftButton)
        OnLButtonUp(e->position().toPoint(), e->modifiers());
}

void CView::mouseDoubleClickEvent(QMouseEvent* e) {
    if (e->button() == Qt::LeftButton)
        OnLButtonDblClk(e->position().toPoint(), e->modifiers());
}

void CView::mouseMoveEvent(QMouseEvent* e) {
    OnMouseMove(e->position().toPoint(), e->buttons());
}

void CView::wheelEvent(QWheelEvent* e) {
    const int delta = e->angleDelta().y();
    if (delta != 0)
        OnMouseWheel(delta, e->position().toPoint());
    e->accept();
}

void CView::keyPressEvent(QKeyEvent* e) {
    if (!OnKeyDown(e->key(), e->modifiers()))
        QWidget::keyPressEvent(e);
}

bool CView::SetTimer(int id, int ms) {
    QTimer*& t = m_timers[id];
    if (!t) {
        t = new QTimer(this);
        connect(t, &QTimer::timeout, this, [this, id] { FireTimer(id); });
    }
    t->start(ms);
    return true;
}

bool CView::KillTimer(int id) {
    auto it = m_timers.find(id);
    if (it == m_timers.end())
        return false;
    delete it->second;
    m_timers.erase(it);
    return true;
}

void CView::FireTimer(int id) {
    if (m_bInTimer)
        return; // a modal loop inside OnTimer: drop the tick, never nest
    m_bInTimer = true;
    OnTimer(id);
    m_bInTimer = false;
}

// ---- printing ----

bool CView::OnPreparePrinting(CPrintInfo& info) {
    return DoPreparePrinting(info);
}

void CView::OnPrint(QPainter& painter, CPrintInfo& info) {
    OnDraw(painter, info.m_rectDraw);
}

bool CView::DoPreparePrinting(CPrintInfo& info) {
    if (info.m_bPreview || info.m_bDirect)
        return true;
    QPrintDialog dialog(info.m_pPrinter, window());
    return dialog.exec() == QDialog::Accepted;
}

int CView::RunPrintLoop(QPrinter& printer, CPrintInfo& info) {
    QPainter painter;
    if (!painter.begin(&printer)) {
        // No printer, or an output file that cannot be written.
        Prompt().MessageBox(QStringLiteral("打印失败！"), MB_OK | MB_ICONEXCLAMATION);
        return 0;
    }
    info.m_rectDraw = printer.pageLayout().paintRectPixels(printer.resolution());
    info.m_rectDraw.moveTo(0, 0);
    OnBeginPrinting(painter, info);
    int pages = 0;
    const int last = info.m_nMaxPage > 0 ? info.m_nMaxPage : 1;
    for (info.m_nCurPage = 1; info.m_nCurPage <= last && info.m_bContinuePrinting;
         ++info.m_nCurPage) {
        if (pages > 0)
            printer.newPage();
        painter.save();
        OnPrepareDC(painter, &info);
        if (!info.m_bContinuePrinting) {
            painter.restore();
            break;
        }
        OnPrint(painter, info);
        painter.restore();
        ++pages;
    }
    OnEndPrinting(painter, info);
    painter.end();
    return pages;
}

int CView::PrintTo(QPrinter& printer, bool preview) {
    CPrintInfo info;
    info.m_pPrinter = &printer;
    info.m_bPreview = preview;
    info.m_bDirect = true;
    return RunPrintLoop(printer, info);
}

void CView::DoFilePrint(bool direct) {
    QPrinter& printer = FrameworkApp()->GetPrinter();
    CPrintInfo info;
    info.m_pPrinter = &printer;
    info.m_bDirect = direct;
    if (!OnPreparePrinting(info))
        return;
    RunPrintLoop(printer, info);
}

void CView::DoFilePrintPreview() {
    QPrinter& printer = FrameworkApp()->GetPrinter();
    CPrintInfo prepare;
    prepare.m_pPrinter = &printer;
    prepare.m_bPreview = true;
    if (!OnPreparePrinting(prepare))
        return;
    QPrintPreviewDialog preview(&printer, window());
    preview.setWindowTitle(QStringLiteral("打印预览"));
    connect(&preview, &QPrintPreviewDialog::paintRequested, this, [this](QPrinter* p) {
        CPrintInfo info;
        info.m_pPrinter = p;
        info.m_bPreview = true;
        RunPrintLoop(*p, info);
    });
    preview.exec();
}
