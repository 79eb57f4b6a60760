#pragma once
// CRealCurveView: the view of the real-time window. It drives an acquisition
// run (start, the one-second timer, stop, save) through CAcquisitionRun and
// shows the live curves of CLiveDisplay with the shared trend routines:
// a fixed time window that fills one column per display step, drawing only
// the newest segment, and starts again at the left when it is full.

#include "acquisitionrun.h"
#include "cursorreadout.h"
#include "curveparameters.h"
#include "devicecontext.h"
#include "livedisplay.h"
#include "tdaheader.h"
#include "trendrenderer.h"
#include "view.h"

#include <functional>

class CRealCurveView : public CView {
    Q_OBJECT
public:
    static constexpr int kTimerId = 1;
    static constexpr int kTimerPeriodMs = 1000;

    explicit CRealCurveView(QWidget* parent = nullptr);
    ~CRealCurveView() override;

    void OnInitialUpdate() override;
    void OnDraw(QPainter& painter, const QRect& client) override;
    void OnTimer(int id) override;
    void OnLButtonDown(QPoint p, Qt::KeyboardModifiers mods) override;
    void OnLButtonUp(QPoint p, Qt::KeyboardModifiers mods) override;
    void OnLButtonDblClk(QPoint p, Qt::KeyboardModifiers mods) override;
    void OnMouseMove(QPoint p, Qt::MouseButtons buttons) override;
    void OnMouseWheel(int delta, QPoint p) override;

    // ---- commands ----
    void OnStartAcquire(); // 166
    void OnStopAcquire();  // 167
    void OnSave();         // 57604 (Ctrl+S reaches it through the document)
    void OnComSetting();   // 162
    void OnCurvePara();    // 165
    void OnDevicePara();   // 170

    // The full picture (draw hook) on any device context.
    void DrawView(DeviceContext& dc, const DcRect& r);

    // Tests: draw what the view draws outside a repaint (newest segment,
    // cursor readout) into dc instead of the window. nullptr restores it.
    void SetDrawTarget(DeviceContext* dc) { m_drawTarget = dc; }

    const CAcquisitionRun& Run() const { return m_run; }
    const CLiveDisplay& Display() const { return m_display; }
    const TdaHeader& Header() const { return m_header; }
    const CurveParameters& CurvePara() const { return m_curvePara; }
    const ChannelNameTable& ChannelTable() const { return m_channelTable; }
    const CursorReadout& Readout() const { return m_cursorReadout; }

private:
    void RegisterCommands();
    void LoadCurveParaFile();
    bool SaveCurveParaFile();
    void LayOutDisplay();
    bool AskAboutUnsavedRun();
    bool SaveRecordingAs(const QString& path);
    void DiscardRecording();
    void MarkRecoveryPending(const std::string& path);
    void ClearRecovery();
    void StopRun(bool writeFailed);
    void AddDisplayColumn();
    TrendEnv Env() const;
    TimeScale Scale() const;
    DcRect ClientRect() const;
    bool InPlot(QPoint p) const;
    // Draws fn on the draw target or straight into the window.
    void DrawOnClient(const std::function<void(DeviceContext&, const DcRect&)>& fn);
    void RedrawWithReadout();
    void RedrawWithoutReadout();

    DcFont m_logFont;
    TdaHeader m_header{};
    CurveParameters m_curvePara{};
    CursorReadout m_cursorReadout{};
    ChannelNameTable m_channelTable{};
    CLiveDisplay m_display;
    CAcquisitionRun m_run;
    DeviceContext* m_drawTarget = nullptr;
};
