#pragma once
// The base of every view. A view is the widget inside a child window; it is
// created by a document template, attached to its document, and gets:
//
//  - OnInitialUpdate() once, after the window exists and before it is shown;
//  - OnDraw(painter, client) on every repaint. The picture is kept in a
//    backing image, so what a view draws stays until the next repaint;
//  - DrawNow(fn): draw straight into the window outside a repaint (a new
//    curve segment, a cursor line). fn gets a painter on the backing image
//    (already prepared by OnPrepareDC) and the client rectangle; the result
//    is shown at once and stays until the next Invalidate();
//  - Invalidate() / UpdateWindow(): schedule a full repaint through OnDraw /
//    perform a pending one now;
//  - mouse, wheel, double-click, key and size hooks in client coordinates;
//  - window timers: SetTimer(id, ms) / KillTimer(id) and OnTimer(id). Ticks
//    arrive on the GUI thread, never nested (a tick that comes while OnTimer
//    of this view still runs, e.g. inside a message box, is dropped), late
//    ticks merge, and the timers end with the view;
//  - commands: register handlers in the constructor with OnCommand /
//    OnUpdateCommand (cmdtarget.h); the view is first on the route;
//  - printing: OnPreparePrinting / OnBeginPrinting / OnPrepareDC / OnPrint /
//    OnEndPrinting, driven by DoFilePrint(), DoFilePrintPreview() or
//    PrintTo(printer). A view that prints registers ID_FILE_PRINT etc. to
//    those helpers itself.
//
// A form-like view (child widgets filling the client area) simply creates
// its widgets with this view as parent and lays them out in OnSize().

#include "cmdtarget.h"

#include <QImage>
#include <QRect>
#include <QWidget>
#include <functional>
#include <map>

class CDocument;
class CMDIChildWnd;
class QPainter;
class QPrinter;
class QTimer;

// What the print loop passes to the print hooks.
struct CPrintInfo {
    QPrinter* m_pPrinter = nullptr;
    bool m_bPreview = false; // drawing for print preview
    bool m_bDirect = false;  // printing without the print dialog
    int m_nCurPage = 1;      // page being printed, from 1
    int m_nMaxPage = 0;      // 0: not set, the loop prints page 1 only
    QRect m_rectDraw;        // the printable area in device pixels
    bool m_bContinuePrinting = true;
};

class CView : public QWidget, public CCmdTarget {
    Q_OBJECT
public:
    explicit CView(QWidget* parent = nullptr);
    ~CView() override;

    CDocument* GetDocument() const { return m_pDocument; }
    // The child window holding this view (nullptr for a free-standing view).
    CMDIChildWnd* GetParentFrame() const;
    QRect GetClientRect() const { return rect(); }

    void Invalidate();
    void UpdateWindow();
    void DrawNow(const std::function<void(QPainter&, const QRect&)>& fn);
    // Renders OnDraw into a fresh image of the client size (no OnPrepareDC):
    // the screen picture, for saving as a bitmap.
    QImage RenderClient();

    bool SetTimer(int id, int ms);
    bool KillTimer(int id);
    bool HasTimer(int id) const { return m_timers.count(id) != 0; }

    // --- hooks ---
    virtual void OnInitialUpdate() {}
    virtual void OnDraw(QPainter& painter, const QRect& client) = 0;
    // Prepares a painter for drawing this view: on screen (pInfo == nullptr)
    // and on every printed or previewed page. Default: nothing.
    virtual void OnPrepareDC(QPainter& painter, CPrintInfo* pInfo) {
        (void)painter;
        (void)pInfo;
    }
    virtual void OnLButtonDown(QPoint p, Qt::KeyboardModifiers mods) {
        (void)p;
        (void)mods;
    }
    virtual void OnLButtonUp(QPoint p, Qt::KeyboardModifiers mods) {
        (void)p;
        (void)mods;
    }
    virtual void OnLButtonDblClk(QPoint p, Qt::KeyboardModifiers mods) {
        (void)p;
        (void)mods;
    }
    virtual void OnRButtonDown(QPoint p, Qt::KeyboardModifiers mods) {
        (void)p;
        (void)mods;
    }
    // Called for every move (buttons pressed or not).
    virtual void OnMouseMove(QPoint p, Qt::MouseButtons buttons) {
        (void)p;
        (void)buttons;
    }
    // delta: signed, 120 per notch; positive away from the user.
    virtual void OnMouseWheel(int delta, QPoint p) {
        (void)delta;
        (void)p;
    }
    // Qt::Key value; return true when handled.
    virtual bool OnKeyDown(int key, Qt::KeyboardModifiers mods) {
        (void)key;
        (void)mods;
        return false;
    }
    virtual void OnSize(int cx, int cy) {
        (void)cx;
        (void)cy;
    }
    virtual void OnTimer(int id) { (void)id; }
    // Called when this view's child window becomes (or stops being) active.
    virtual void OnActivateView(bool active) { (void)active; }

    // --- printing ---
    // Default: DoPreparePrinting(info).
    virtual bool OnPreparePrinting(CPrintInfo& info);
    virtual void OnBeginPrinting(QPainter& painter, CPrintInfo& info) {
        (void)painter;
        (void)info;
    }
    // Draws one page. Default: OnDraw with info.m_rectDraw.
    virtual void OnPrint(QPainter& painter, CPrintInfo& info);
    virtual void OnEndPrinting(QPainter& painter, CPrintInfo& info) {
        (void)painter;
        (void)info;
    }
    // Shows the print dialog on the application's shared printer settings
    // (skipped for preview and direct printing). False when cancelled.
    bool DoPreparePrinting(CPrintInfo& info);
    // The print commands: print with the dialog, print directly, preview.
    void DoFilePrint(bool direct = false);
    void DoFilePrintPreview();
    // Runs the print loop on printer without the print dialog (tests, PDF
    // output). Returns the number of pages printed; a printer that cannot
    // start is reported with a message box and gives 0.
    int PrintTo(QPrinter& printer, bool preview = false);

    // Framework bookkeeping.
    void AttachDocument(CDocument* doc) { m_pDocument = doc; }

protected:
    void paintEvent(QPaintEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;
    void mouseDoubleClickEvent(QMouseEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void wheelEvent(QWheelEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;

private:
    void EnsureBacking();
    void RedrawBacking();
    void FireTimer(int id);
    int RunPrintLoop(QPrinter& printer, CPrintInfo& info);

    CDocument* m_pDocument = nullptr;
    QImage m_backing;
    bool m_bDirty = true;
    std::map<int, QTimer*> m_timers;
    bool m_bInTimer = false;
};
