#pragma once
// The history trend view: one saved recording shown as temperature curves.
// The view keeps its own copy of the file's header, curve parameters and
// channel names and the points of the current window (TrendWindow); the file
// is opened only to load a window or to write the parameters back.
//
// Mouse: five modes (normal cursor readout, zoom in, zoom out, head or
// tail, page) chosen by commands 32776, 32774, 32775, 32779, 32778; every
// change of window writes the parameters back and reloads (ReloadWindow).

#include "cursorreadout.h"
#include "trendnavigator.h"
#include "trendwindow.h"
#include "view.h"

#include <QString>

class CVantrelView : public CView {
    Q_OBJECT
public:
    CVantrelView();

    void OnInitialUpdate() override;
    void OnDraw(QPainter& painter, const QRect& client) override;

    void OnLButtonDown(QPoint p, Qt::KeyboardModifiers mods) override;
    void OnLButtonUp(QPoint p, Qt::KeyboardModifiers mods) override;
    void OnLButtonDblClk(QPoint p, Qt::KeyboardModifiers mods) override;
    void OnMouseMove(QPoint p, Qt::MouseButtons buttons) override;
    void OnMouseWheel(int delta, QPoint p) override;

    void OnNormalMode();
    void OnZoomInMode();
    void OnZoomOutMode();
    void OnHeadTailMode();
    void OnPageMode();
    void OnCurveParameters();
    void OnFileSaveAs();
    void OnExcelExport();

    // --- printing and bitmap export ---
    // Landscape A4 on the application's shared printer settings, then the
    // standard preparation (print dialog unless previewing or printing directly).
    bool OnPreparePrinting(CPrintInfo& info) override;
    // Printed and previewed pages: one logical unit is 1/96 inch. The screen
    // keeps one unit per pixel, as the mouse handlers and the bitmap do.
    void OnPrepareDC(QPainter& painter, CPrintInfo* pInfo) override;
    // The header table and the trend of the loaded window; no cursor readout.
    void OnPrint(QPainter& painter, CPrintInfo& info) override;
    // Command 151: the client area as a 24-bit .bmp file.
    void OnSaveBitmap();

    // Writes the parameters and names back into the file and loads the
    // window at m_curvePara.startTime; shows the two refusals.
    void ReloadWindow();

    // The loaded data (header, parameters, names, points) and the readout.
    TrendWindow& Window() { return m_window; }
    const TrendWindow& Window() const { return m_window; }
    CursorReadout& Readout() { return m_cursorReadout; }
    uint8_t MouseMode() const { return m_mouseMode; }
    // The plot rectangle of the current client area.
    DcRect PlotRectangle() const;

    static constexpr const char* kStartBeforeRecording = "起始时间小于采样的开始时间！";
    static constexpr const char* kStartAfterRecording = "起始时间大于采样的结束时间！";
    static constexpr const char* kSaveAsFilter = "*.tda|*.tda|所有文件(*.*)|*.*|";

private:
    void SetMouseMode(uint8_t mode);
    void Perform(TrendNavigator::Action action, int scrollDelta = 0);
    DcRect ClientRectangle() const;

    TrendWindow m_window;
    CursorReadout m_cursorReadout{};
    uint8_t m_mouseMode = MODE_NORMAL;
};
