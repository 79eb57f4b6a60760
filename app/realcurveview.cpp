#include "realcurveview.h"

#include "alarmsetdlg.h"
#include "commandids.h"
#include "comsettingdlg.h"
#include "curvepara.h"
#include "datafolder.h"
#include "document.h"
#include "mdichildwnd.h"
#include "promptservice.h"
#include "qpainterdc.h"
#include "realcurvedoc.h"
#include "timearith.h"
#include "vantrel.h"

#include <QPainter>
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>

namespace {

const QString kFileSaveError = QStringLiteral("文件保存错误!");

} // namespace

CRealCurveView::CRealCurveView(QWidget* parent)
    : CView(parent), m_run(theApp.m_ComPara.m_RxBuf, theApp.m_ComPara.bOpen) {
    RegisterCommands();
    // A close confirmed during a run discards it: let go of file and port first.
    theApp.m_onDiscardRun = [this] { m_run.Abandon(); };
}

CRealCurveView::~CRealCurveView() {
    theApp.m_onDiscardRun = nullptr;
    // The window closes only after the run was stopped or discarded; a run
    // still open here (the process is going down) keeps its file for recovery.
    if (m_run.IsActive())
        m_run.Abandon();
}

void CRealCurveView::RegisterCommands() {
    OnCommand(cmd::ID_START_ACQUIRE, [this] { OnStartAcquire(); });
    OnUpdateCommand(cmd::ID_START_ACQUIRE, [](CCmdUI& ui) { ui.Enable(!theApp.m_bAcquiring); });
    OnCommand(cmd::ID_STOP_ACQUIRE, [this] { OnStopAcquire(); });
    OnUpdateCommand(cmd::ID_STOP_ACQUIRE, [](CCmdUI& ui) { ui.Enable(theApp.m_bAcquiring); });
    auto saveEnabled = [](CCmdUI& ui) { ui.Enable(theApp.m_bUnsaved && !theApp.m_bAcquiring); };
    OnCommand(cmd::ID_FILE_SAVE_AS, [this] { OnSave(); });
    OnUpdateCommand(cmd::ID_FILE_SAVE_AS, saveEnabled);
    OnCommand(cmd::ID_COM_SETTING, [this] { OnComSetting(); });
    OnUpdateCommand(cmd::ID_COM_SETTING, [](CCmdUI& ui) { ui.Enable(!theApp.m_bAcquiring); });
    OnCommand(cmd::ID_REALTIME_CURVEPARA, [this] { OnCurvePara(); });
    OnUpdateCommand(cmd::ID_REALTIME_CURVEPARA, [](CCmdUI&) {});
    OnCommand(cmd::ID_DEVICE_PARA, [this] { OnDevicePara(); });
}

// ---- initialisation and settings ----

void CRealCurveView::OnInitialUpdate() {
    if (CMDIChildWnd* frame = GetParentFrame())
        frame->MDIMaximize();
    if (CDocument* doc = GetDocument())
        doc->SetTitle(QStringLiteral("实时数据采集"));
    m_logFont = TrendLabelFont();
    std::memset(&m_header, 0, sizeof m_header);
    std::memset(&m_cursorReadout, 0, sizeof m_cursorReadout);
    LoadCurveParaFile();
    m_curvePara.startTime = CurrentLocalTime();
    m_header.sampleInterval = theApp.m_ComPara.nSampleSec;
    m_curvePara.channelCount = std::clamp(m_curvePara.channelCount, 0, kMaxChannels);
    m_header.channelCount = m_curvePara.channelCount;
    m_display.Layout(m_curvePara, m_header.sampleInterval, CurrentLocalTime());
    SetTimer(kTimerId, kTimerPeriodMs);
}

void CRealCurveView::LoadCurveParaFile() {
    CurveParameters p{};
    ChannelNameTable t{};
    if (CVantrelApp::ReadCurveParaFile(p, t) == kCurveParaFileBytes) {
        m_curvePara = p;
        m_channelTable = t;
        TerminateChannelNames(m_channelTable);
        return;
    }
    m_curvePara = MakeFreshCurveParameters();
    m_channelTable = MakeEmptyChannelNameTable();
    if (!SaveCurveParaFile())
        Prompt().MessageBox(kFileSaveError);
}

bool CRealCurveView::SaveCurveParaFile() {
    return CVantrelApp::WriteCurveParaFile(m_curvePara, m_channelTable);
}

void CRealCurveView::LayOutDisplay() {
    const int32_t interval =
        m_run.IsActive() ? m_run.Header().sampleInterval : m_header.sampleInterval;
    m_display.Layout(m_curvePara, interval, CurrentLocalTime());
    Invalidate();
}

// ---- the run ----

// The save question of a start; false when the start must end here.
bool CRealCurveView::AskAboutUnsavedRun() {
    if (!theApp.m_bUnsaved)
        return true;
    int answer = Prompt().MessageBox(QStringLiteral("上次实时采集的数据未保存，要保存吗？"),
                                     MB_YESNOCANCEL | MB_ICONQUESTION);
    theApp.m_nSaveAnswer = uint8_t(answer);
    if (answer == IDYES) {
        QString path =
            Prompt().SaveFileDialog(CRealCurveDoc::kTdaFilter, CRealCurveDoc::kTdaExtension);
        return !path.isEmpty() && SaveRecordingAs(path);
    }
    if (answer == IDNO) {
        DiscardRecording();
        return true;
    }
    return false;
}

// Copies the finished run to path; a failed copy keeps the temporary file
// and the recovery record, and says so.
bool CRealCurveView::SaveRecordingAs(const QString& path) {
    return CRealCurveDoc::SaveRunTo(path);
}

void CRealCurveView::DiscardRecording() {
    std::error_code ec;
    std::filesystem::remove(theApp.m_strTempFile.toStdString(), ec);
    theApp.m_bUnsaved = false;
    ClearRecovery();
}

void CRealCurveView::MarkRecoveryPending(const std::string& path) {
    std::memset(&theApp.m_TempInfo, 0, sizeof theApp.m_TempInfo);
    theApp.m_TempInfo.bPending = 1;
    std::memcpy(theApp.m_TempInfo.szPath, path.data(),
                std::min(path.size(), sizeof theApp.m_TempInfo.szPath));
    theApp.SaveTempInfo();
}

void CRealCurveView::ClearRecovery() {
    theApp.m_TempInfo.bPending = 0;
    theApp.SaveTempInfo();
}

void CRealCurveView::OnStartAcquire() {
    if (theApp.m_bAcquiring || !AskAboutUnsavedRun())
        return;
    const SYSTEMTIME now = CurrentLocalTime();
    auto result = m_run.Start(ComParaLine(theApp.m_ComPara), theApp.m_ComPara.nSampleSec,
                              m_curvePara, vantrel::DataFolder(), now);
    switch (result) {
    case CAcquisitionRun::StartResult::Started:
        break;
    case CAcquisitionRun::StartResult::PortFailed:
        return; // the serial library has said why
    case CAcquisitionRun::StartResult::ConnectFailed:
        Prompt().MessageBox(QStringLiteral("连接设备失败！"));
        return;
    case CAcquisitionRun::StartResult::FileFailed:
        Prompt().MessageBox(kFileSaveError);
        return;
    }
    m_header = m_run.Header();
    theApp.m_strTempFile = QString::fromStdString(m_run.TempPath());
    theApp.m_pTempFile = nullptr; // the run keeps its own handle
    theApp.m_bAcquiring = true;
    theApp.m_bUnsaved = true;
    MarkRecoveryPending(m_run.TempPath());
    m_display.Rewind();
    LayOutDisplay();
}

void CRealCurveView::StopRun(bool writeFailed) {
    bool complete = m_run.Stop(m_channelTable);
    m_header = m_run.Header();
    theApp.m_bAcquiring = false;
    theApp.m_ComPara.bOpen = 0;
    if (writeFailed || !complete)
        Prompt().MessageBox(kFileSaveError);
}

void CRealCurveView::OnStopAcquire() {
    if (theApp.m_bAcquiring)
        StopRun(false);
}

void CRealCurveView::OnSave() {
    if (!theApp.m_bUnsaved || theApp.m_bAcquiring)
        return;
    QString path = Prompt().SaveFileDialog(CRealCurveDoc::kTdaFilter, CRealCurveDoc::kTdaExtension);
    if (!path.isEmpty())
        SaveRecordingAs(path);
}

void CRealCurveView::OnTimer(int id) {
    if (id != kTimerId)
        return;
    if (!theApp.m_bAcquiring) {
        // The run was discarded by a close confirmation: let go of the file.
        if (m_run.IsActive())
            m_run.Abandon();
        return;
    }
    auto result = m_run.Tick(CurrentLocalTime());
    m_header = m_run.Header();
    if (result == CAcquisitionRun::TickResult::WriteFailed) {
        StopRun(true);
        return;
    }
    AddDisplayColumn();
}

void CRealCurveView::AddDisplayColumn() {
    auto column = m_display.Tick(m_run.CurrentRow(), m_curvePara, CurrentLocalTime());
    if (!column.added)
        return;
    if (column.index > 0) {
        const uint32_t i = column.index;
        DrawOnClient([&](DeviceContext& dc, const DcRect& r) {
            DrawCurveSegments(dc, r, m_curvePara, Env(), m_display.Buffer(),
                              m_display.PointsPerScreen(), i - 1, i + 1);
        });
    }
    if (column.wrapped)
        Invalidate();
}

// ---- drawing ----

TrendEnv CRealCurveView::Env() const {
    TrendEnv env;
    env.labelFont = m_logFont;
    env.tempUnit = theApp.m_nTempUnit;
    env.valueScale = m_header.valueScale;
    return env;
}

TimeScale CRealCurveView::Scale() const {
    TimeScale s;
    s.points = m_display.PointsPerScreen();
    s.secondsPerStep = int32_t(m_display.DisplayStep());
    s.stepFactor = 1.0;
    return s;
}

DcRect CRealCurveView::ClientRect() const {
    QRect c = GetClientRect();
    return DcRect{c.left(), c.top(), c.left() + c.width(), c.top() + c.height()};
}

void CRealCurveView::DrawView(DeviceContext& dc, const DcRect& r) {
    DrawAxes(dc, r, m_curvePara, Env(), Scale());
    DrawCurves(dc, r, m_curvePara, Env(), m_display.Buffer(), m_display.PointsPerScreen(),
               m_display.DisplayPos());
    if (m_cursorReadout.cursorState == kCursorShown)
        DrawCursorReadout(dc, r, m_curvePara, Env(), m_display.Buffer(), Scale(),
                          m_display.DisplayPos(), m_channelTable, m_cursorReadout.cursorX, 0,
                          m_cursorReadout);
}

void CRealCurveView::OnDraw(QPainter& painter, const QRect& client) {
    QPainterDc dc(painter);
    DrawView(dc, DcRect{client.left(), client.top(), client.left() + client.width(),
                        client.top() + client.height()});
}

void CRealCurveView::DrawOnClient(const std::function<void(DeviceContext&, const DcRect&)>& fn) {
    if (m_drawTarget) {
        fn(*m_drawTarget, ClientRect());
        return;
    }
    DrawNow([&](QPainter& painter, const QRect&) {
        QPainterDc dc(painter);
        fn(dc, ClientRect());
    });
}

void CRealCurveView::RedrawWithReadout() {
    DrawOnClient([&](DeviceContext& dc, const DcRect& r) {
        DrawAxes(dc, r, m_curvePara, Env(), Scale());
        DrawCurves(dc, r, m_curvePara, Env(), m_display.Buffer(), m_display.PointsPerScreen(),
                   m_display.DisplayPos());
        DrawCursorReadout(dc, r, m_curvePara, Env(), m_display.Buffer(), Scale(),
                          m_display.DisplayPos(), m_channelTable, m_cursorReadout.cursorX, 0,
                          m_cursorReadout);
    });
}

void CRealCurveView::RedrawWithoutReadout() {
    DrawOnClient([&](DeviceContext& dc, const DcRect& r) {
        DrawAxes(dc, r, m_curvePara, Env(), Scale());
        DrawCurves(dc, r, m_curvePara, Env(), m_display.Buffer(), m_display.PointsPerScreen(),
                   m_display.DisplayPos());
    });
}

// ---- cursor ----

bool CRealCurveView::InPlot(QPoint p) const {
    const DcRect plot = PlotRect(ClientRect(), m_curvePara);
    return p.x() >= plot.left && p.x() <= plot.right && p.y() >= plot.top && p.y() <= plot.bottom;
}

void CRealCurveView::OnLButtonDown(QPoint p, Qt::KeyboardModifiers) {
    if (!InPlot(p) || m_cursorReadout.cursorState == kCursorHidden)
        return;
    if (m_cursorReadout.cursorState == kCursorNeverPlaced)
        m_cursorReadout.cursorState = kCursorShown;
    m_cursorReadout.cursorX = p.x();
    m_cursorReadout.cursorY = p.y();
    m_cursorReadout.dragging = 1;
    RedrawWithReadout();
}

void CRealCurveView::OnMouseMove(QPoint p, Qt::MouseButtons) {
    if (m_cursorReadout.cursorState != kCursorShown || m_cursorReadout.dragging != 1)
        return;
    m_cursorReadout.cursorX = p.x();
    m_cursorReadout.cursorY = p.y();
    RedrawWithReadout();
}

void CRealCurveView::OnLButtonUp(QPoint, Qt::KeyboardModifiers) {
    m_cursorReadout.dragging = 0;
}

void CRealCurveView::OnLButtonDblClk(QPoint p, Qt::KeyboardModifiers) {
    if (!InPlot(p))
        return;
    switch (m_cursorReadout.cursorState) {
    case kCursorShown:
        m_cursorReadout.cursorState = kCursorHidden;
        m_cursorReadout.dragging = 0;
        RedrawWithoutReadout();
        break;
    case kCursorNeverPlaced:
    case kCursorHidden:
        m_cursorReadout.cursorX = p.x();
        m_cursorReadout.cursorY = p.y();
        m_cursorReadout.cursorState = kCursorShown;
        m_cursorReadout.dragging = 1;
        RedrawWithReadout();
        break;
    default:
        m_cursorReadout.cursorState = kCursorNeverPlaced;
        break;
    }
}

void CRealCurveView::OnMouseWheel(int delta, QPoint) {
    if (m_cursorReadout.cursorState != kCursorShown)
        return;
    DrawOnClient([&](DeviceContext& dc, const DcRect& r) {
        DrawCursorReadout(dc, r, m_curvePara, Env(), m_display.Buffer(), Scale(),
                          m_display.DisplayPos(), m_channelTable, m_cursorReadout.cursorX,
                          -delta / 120, m_cursorReadout);
    });
}

// ---- dialogs ----

void CRealCurveView::OnComSetting() {
    if (theApp.m_bAcquiring)
        return;
    CComSettingDlg dlg(this);
    dlg.DoModal();
}

void CRealCurveView::OnCurvePara() {
    theApp.m_CurvePara = m_curvePara;
    theApp.m_ChannelNames = m_channelTable;
    CCurvePara dlg(this);
    if (dlg.DoModal() != IDOK)
        return;
    m_curvePara = theApp.m_CurvePara;
    m_channelTable = theApp.m_ChannelNames;
    if (!SaveCurveParaFile())
        Prompt().MessageBox(kFileSaveError);
    if (!m_run.IsActive())
        m_header.sampleInterval = theApp.m_ComPara.nSampleSec;
    LayOutDisplay();
}

void CRealCurveView::OnDevicePara() {
    CAlarmSetDlg dlg(this);
    dlg.DoModal();
}
