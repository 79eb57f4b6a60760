// The real-time view and the device parameters dialog, offscreen, against
// the simulator; the view's timer is driven directly.

#include "acquisitionfixture.h"

#include "alarmsetdlg.h"
#include "commandids.h"
#include "realcurveview.h"
#include "recordingdc.h"
#include "scriptedpromptservice.h"
#include "vantrel.h"

#include <QApplication>
#include <QLineEdit>
#include <csignal>
#include <sys/resource.h>

using namespace acqtest;

namespace {

int g_argc = 1;
char g_arg0[] = "acquisition_ui_tests";
char* g_argv[] = {g_arg0, nullptr};

class RealCurveViewTest : public AcquisitionTest {
protected:
    void SetUp() override {
        AcquisitionTest::SetUp();
        if (!QApplication::instance())
            new QApplication(g_argc, g_argv);
        theApp.m_ComPara.SetDefaults();
        theApp.m_ComPara.nPort = kTestPort - 1;
        theApp.m_ComPara.bOpen = 0;
        theApp.m_bAcquiring = theApp.m_bUnsaved = false;
        theApp.m_nTempUnit = 0;
        theApp.m_TempInfo = TempInfo{};
    }

    std::unique_ptr<CRealCurveView> MakeView() {
        auto v = std::make_unique<CRealCurveView>();
        v->resize(800, 600);
        v->OnInitialUpdate();
        v->SetDrawTarget(&m_dc);
        return v;
    }

    static bool Enabled(CRealCurveView& v, int id) {
        CCmdUI ui(id);
        v.OnUpdateCmdMsg(ui);
        return ui.m_bEnabled;
    }

    CScriptedPromptService m_prompts;
    RecordingDc m_dc;
};

} // namespace

TEST_F(RealCurveViewTest, RunFromStartToSavedFileWithCommandStates) {
    sim::SimulatorOptions o;
    o.channels = 8;
    o.course = sim::Course::Counter;
    o.recordReads = true;
    auto& s = StartSimulator(o);
    auto v = MakeView();
    EXPECT_EQ(v->Display().PointsPerScreen(), 601u);
    EXPECT_TRUE(fs::exists(m_folder / "CURVEPARA.DAT")); // written fresh
    EXPECT_TRUE(Enabled(*v, cmd::ID_START_ACQUIRE));
    EXPECT_FALSE(Enabled(*v, cmd::ID_STOP_ACQUIRE));
    EXPECT_FALSE(Enabled(*v, cmd::ID_FILE_SAVE_AS));

    v->OnCmdMsg(cmd::ID_START_ACQUIRE);
    ASSERT_TRUE(theApp.m_bAcquiring);
    EXPECT_TRUE(theApp.m_bUnsaved);
    EXPECT_EQ(theApp.m_ComPara.bOpen, 1);
    EXPECT_EQ(theApp.m_TempInfo.bPending, 1);
    const std::string temp = theApp.m_strTempFile.toStdString();
    EXPECT_EQ(std::string(theApp.m_TempInfo.szPath), temp);
    EXPECT_FALSE(Enabled(*v, cmd::ID_START_ACQUIRE));
    EXPECT_TRUE(Enabled(*v, cmd::ID_STOP_ACQUIRE));
    EXPECT_FALSE(Enabled(*v, cmd::ID_FILE_SAVE_AS));
    EXPECT_FALSE(Enabled(*v, cmd::ID_COM_SETTING));
    EXPECT_TRUE(Enabled(*v, cmd::ID_REALTIME_CURVEPARA));
    EXPECT_TRUE(Enabled(*v, cmd::ID_DEVICE_PARA));

    // Tick 1: nothing; tick 2: first sample and first column (no segment);
    // tick 3: second column, one segment per visible channel (the fresh
    // parameters show channels 1 to 8), and nothing else.
    v->OnTimer(1);
    v->OnTimer(1);
    EXPECT_EQ(v->Display().DisplayPos(), 1u);
    EXPECT_TRUE(m_dc.Lines().empty());
    v->OnTimer(1);
    EXPECT_EQ(v->Display().DisplayPos(), 2u);
    const auto& para = v->CurvePara();
    ASSERT_EQ(m_dc.Lines().size(), 8u);
    EXPECT_TRUE(m_dc.Fills().empty());
    EXPECT_TRUE(m_dc.Texts().empty());
    for (int c = 0; c < 8; ++c) {
        auto lines = m_dc.LinesOfColor(para.channelColors[c]);
        ASSERT_EQ(lines.size(), 1u) << c;
        EXPECT_EQ(lines[0].x1, 40 + 720 * 0 / 601);
        EXPECT_EQ(lines[0].x2, 40 + 720 * 1 / 601);
    }
    // Range 0..300.0: a counter value v in tenths maps to 570 - v * 540 / 3000.
    const int16_t* buf1 = v->Display().Buffer()[0];
    EXPECT_EQ(m_dc.LinesOfColor(para.channelColors[0])[0].y2, 570 - buf1[1] * 540 / 3000);

    m_dc.Clear();
    v->OnTimer(1);
    EXPECT_EQ(m_dc.Lines().size(), 8u);

    v->OnCmdMsg(cmd::ID_STOP_ACQUIRE);
    EXPECT_FALSE(theApp.m_bAcquiring);
    EXPECT_TRUE(theApp.m_bUnsaved);
    EXPECT_EQ(theApp.m_ComPara.bOpen, 0);
    EXPECT_TRUE(Enabled(*v, cmd::ID_FILE_SAVE_AS));

    const std::string saved = m_folder / "saved.tda";
    m_prompts.AnswerSave(QString::fromStdString(saved));
    v->OnCmdMsg(cmd::ID_FILE_SAVE_AS);
    EXPECT_FALSE(theApp.m_bUnsaved);
    EXPECT_EQ(theApp.m_TempInfo.bPending, 0);
    EXPECT_FALSE(fs::exists(temp));
    EXPECT_FALSE(Enabled(*v, cmd::ID_FILE_SAVE_AS));

    CTdaFile f;
    ASSERT_EQ(f.Open(saved), TdaError::None);
    EXPECT_TRUE(f.ChecksumValid());
    ASSERT_EQ(f.RowCount(), 3);
    auto reads = s.ServedReads();
    std::vector<sim::ServedRead> samples;
    for (auto& r : reads)
        if (r.start == 0)
            samples.push_back(r);
    ASSERT_EQ(samples.size(), 3u);
    int16_t row[kMaxChannels];
    ASSERT_TRUE(f.ReadRow(1, row));
    EXPECT_EQ(uint16_t(row[7]), samples[1].values[7]);
    EXPECT_TRUE(m_prompts.Messages().isEmpty());
}

TEST_F(RealCurveViewTest, StoredParametersAreUsedAndHiddenChannelsGetNoSegment) {
    CurveParameters p = MakeFreshCurveParameters();
    p.visibleChannels[0] = 0x05; // channels 1 and 3
    p.timeLength = 60;
    p.timeLengthInSeconds = 1; // 21 columns of 3 s
    ChannelNameTable names = MakeEmptyChannelNameTable();
    ASSERT_TRUE(CVantrelApp::WriteCurveParaFile(p, names));
    StartSimulator();
    auto v = MakeView();
    EXPECT_EQ(v->Display().PointsPerScreen(), 21u);
    EXPECT_EQ(v->Display().DisplayStep(), 3u);
    v->OnCmdMsg(cmd::ID_START_ACQUIRE);
    ASSERT_TRUE(theApp.m_bAcquiring);
    for (int t = 0; t < 7; ++t) // columns at ticks 4 and 7
        v->OnTimer(1);
    EXPECT_EQ(v->Display().DisplayPos(), 2u);
    ASSERT_EQ(m_dc.Lines().size(), 2u);
    EXPECT_EQ(m_dc.LinesOfColor(p.channelColors[0]).size(), 1u);
    EXPECT_EQ(m_dc.LinesOfColor(p.channelColors[2]).size(), 1u);
    EXPECT_EQ(m_dc.Lines()[0].x2, 40 + 720 * 1 / 21);
    v->OnCmdMsg(cmd::ID_STOP_ACQUIRE);
    CTdaFile f;
    ASSERT_EQ(f.Open(theApp.m_strTempFile.toStdString()), TdaError::None);
    EXPECT_EQ(f.ChannelCount(), 8); // every channel recorded
    EXPECT_EQ(f.RowCount(), 6);
}

TEST_F(RealCurveViewTest, FullWindowWrapsToAnEmptyPlotWithNewTimes) {
    CurveParameters p = MakeFreshCurveParameters();
    p.timeLength = 60;
    p.timeLengthInSeconds = 1; // 21 columns of 3 s
    ChannelNameTable names = MakeEmptyChannelNameTable();
    ASSERT_TRUE(CVantrelApp::WriteCurveParaFile(p, names));
    StartSimulator();
    auto v = MakeView();
    v->OnCmdMsg(cmd::ID_START_ACQUIRE);
    ASSERT_TRUE(theApp.m_bAcquiring);
    // Columns are filled at ticks 4, 7, ..., the 21st at tick 64 (the
    // timer runs back to back here, so the window times do not advance).
    for (int t = 0; t < 63; ++t)
        v->OnTimer(1);
    EXPECT_EQ(v->Display().DisplayPos(), 20u);
    v->OnTimer(1);
    EXPECT_EQ(v->Display().DisplayPos(), 0u);
    EXPECT_EQ(DiffSeconds(v->CurvePara().endTime, v->CurvePara().startTime), 60);
    // The repaint after the wrap: axes with the new times, no curves yet.
    RecordingDc repaint;
    v->DrawView(repaint, DcRect{0, 0, 800, 600});
    EXPECT_TRUE(repaint.LinesOfColor(p.channelColors[0]).empty());
    const SYSTEMTIME start = v->CurvePara().startTime;
    char label[32];
    std::snprintf(label, sizeof label, "%d:%d:%d", start.wHour, start.wMinute, start.wSecond);
    EXPECT_NE(repaint.FindText(label), nullptr) << label;
    v->OnCmdMsg(cmd::ID_STOP_ACQUIRE);
}

TEST_F(RealCurveViewTest, StartAnswersTheSaveQuestionAndReportsFailures) {
    StartSimulator();
    auto v = MakeView();
    v->OnCmdMsg(cmd::ID_START_ACQUIRE);
    v->OnCmdMsg(cmd::ID_STOP_ACQUIRE);
    const std::string first = theApp.m_strTempFile.toStdString();

    // Cancel: nothing changes.
    m_prompts.AnswerMessage(IDCANCEL);
    v->OnCmdMsg(cmd::ID_START_ACQUIRE);
    EXPECT_FALSE(theApp.m_bAcquiring);
    EXPECT_TRUE(theApp.m_bUnsaved);
    EXPECT_TRUE(fs::exists(first));
    EXPECT_EQ(theApp.m_nSaveAnswer, IDCANCEL);

    // No: the old data goes, the new run starts.
    m_prompts.AnswerMessage(IDNO);
    v->OnCmdMsg(cmd::ID_START_ACQUIRE);
    EXPECT_FALSE(fs::exists(first));
    EXPECT_TRUE(theApp.m_bAcquiring);
    v->OnCmdMsg(cmd::ID_STOP_ACQUIRE);

    // A device with another identity.
    m_prompts.AnswerMessage(IDNO);
    m_prompts.AnswerMessage(IDOK);
    m_sim->SetIdentity("vqx7306a");
    v->OnCmdMsg(cmd::ID_START_ACQUIRE);
    EXPECT_FALSE(theApp.m_bAcquiring);
    EXPECT_EQ(theApp.m_ComPara.bOpen, 0);
    EXPECT_EQ(m_prompts.Messages().back(), QStringLiteral("连接设备失败！"));
    EXPECT_EQ(m_prompts.Unanswered(), 0);
}

TEST_F(RealCurveViewTest, AFailedWriteStopsTheRunAndSaysSo) {
    StartSimulator();
    auto v = MakeView();
    v->OnCmdMsg(cmd::ID_START_ACQUIRE);
    ASSERT_TRUE(theApp.m_bAcquiring);
    v->OnTimer(1);
    v->OnTimer(1); // one row
    const std::string temp = theApp.m_strTempFile.toStdString();
    auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit old{};
    getrlimit(RLIMIT_FSIZE, &old);
    rlimit full = old;
    full.rlim_cur = rlim_t(FileSize(temp)); // the disk is full
    setrlimit(RLIMIT_FSIZE, &full);
    m_prompts.AnswerMessage(IDOK);
    v->OnTimer(1);
    setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldHandler);
    EXPECT_EQ(m_prompts.Messages(), (QStringList{QStringLiteral("文件保存错误!")}));
    EXPECT_FALSE(theApp.m_bAcquiring);
    EXPECT_TRUE(theApp.m_bUnsaved); // what was recorded can still be saved
    EXPECT_EQ(theApp.m_ComPara.bOpen, 0);
    EXPECT_EQ(ReadHeaderBytes(temp).sampleCount, 1);
    EXPECT_EQ(FileSize(temp), 660 + 16);
}

TEST_F(RealCurveViewTest, DiscardingARunClosesItsFileAndPort) {
    StartSimulator();
    auto v = MakeView();
    v->OnCmdMsg(cmd::ID_START_ACQUIRE);
    ASSERT_TRUE(theApp.m_bAcquiring);
    v->OnTimer(1);
    v->OnTimer(1);
    const std::string temp = theApp.m_strTempFile.toStdString();
    theApp.DiscardRun(); // what a confirmed close during the run does
    EXPECT_FALSE(v->Run().IsActive());
    EXPECT_FALSE(fs::exists(temp));
    EXPECT_EQ(theApp.m_TempInfo.bPending, 0);
    EXPECT_EQ(theApp.m_ComPara.bOpen, 0);
    v->OnTimer(1); // nothing more happens
    EXPECT_FALSE(fs::exists(temp));
    // The port is free again.
    EXPECT_EQ(StartRun(), CAcquisitionRun::StartResult::Started);
    m_run.Abandon();
}

TEST_F(RealCurveViewTest, CursorClicksDoubleClicksAndWheel) {
    auto v = MakeView();
    m_dc.Clear();
    v->OnLButtonDown(QPoint(20, 300), {}); // left of the plot
    EXPECT_EQ(v->Readout().cursorState, 0);
    EXPECT_TRUE(m_dc.Lines().empty());

    v->OnLButtonDown(QPoint(200, 300), {});
    EXPECT_EQ(v->Readout().cursorState, 1);
    EXPECT_EQ(v->Readout().dragging, 1);
    auto red = m_dc.LinesOfColor(RGB(255, 0, 0));
    ASSERT_EQ(red.size(), 1u);
    EXPECT_EQ(red[0].x1, 200);
    EXPECT_NE(m_dc.FindText("总貌"), nullptr);
    // The cursor is on the left half: the box stands at the right end.
    EXPECT_NE(m_dc.FindText("通道1:   0.0℃"), nullptr);

    v->OnMouseMove(QPoint(300, 300), Qt::LeftButton);
    EXPECT_EQ(v->Readout().cursorX, 300);
    v->OnLButtonUp(QPoint(300, 300), {});
    EXPECT_EQ(v->Readout().dragging, 0);
    m_dc.Clear();
    v->OnMouseMove(QPoint(350, 300), Qt::NoButton); // not dragging: nothing
    EXPECT_TRUE(m_dc.Lines().empty());

    v->OnMouseWheel(-120, QPoint(300, 300));
    EXPECT_TRUE(m_dc.Fills().size() == 1u); // only the readout box is drawn again

    v->OnLButtonDblClk(QPoint(300, 300), {});
    EXPECT_EQ(v->Readout().cursorState, 2);
    m_dc.Clear();
    v->OnLButtonDown(QPoint(300, 300), {}); // hidden: a click does nothing
    EXPECT_TRUE(m_dc.Lines().empty());
    v->OnLButtonDblClk(QPoint(250, 300), {});
    EXPECT_EQ(v->Readout().cursorState, 1);
    EXPECT_EQ(v->Readout().cursorX, 250);
}

TEST_F(RealCurveViewTest, CurveParameterCommandWritesTheSettingsAndLaysOutAgain) {
    auto v = MakeView();
    ASSERT_EQ(v->Display().PointsPerScreen(), 601u);
    const std::string file = m_folder / "CURVEPARA.DAT";
    // Cancelled: nothing changes.
    CDialog::SetModalScript([](CDialog& d) { d.EndDialog(CDialog::IDCANCEL_RESULT); });
    v->OnCmdMsg(cmd::ID_REALTIME_CURVEPARA);
    EXPECT_EQ(v->Display().PointsPerScreen(), 601u);
    // Accepted with a 60-second window.
    CDialog::SetModalScript([](CDialog& d) {
        theApp.m_CurvePara.timeLength = 60;
        theApp.m_CurvePara.timeLengthInSeconds = 1;
        d.EndDialog(CDialog::IDOK_RESULT);
    });
    v->OnCmdMsg(cmd::ID_REALTIME_CURVEPARA);
    CDialog::SetModalScript(nullptr);
    EXPECT_EQ(v->Display().PointsPerScreen(), 21u);
    EXPECT_EQ(v->CurvePara().timeLength, 60);
    CurveParameters stored{};
    FILE* f = std::fopen(file.c_str(), "rb");
    ASSERT_NE(f, nullptr);
    ASSERT_EQ(std::fread(&stored, sizeof stored, 1, f), 1u);
    std::fclose(f);
    EXPECT_EQ(stored.timeLength, 60);
    EXPECT_EQ(stored.timeLengthInSeconds, 1);
    EXPECT_EQ(FileSize(file), 3513);
}

TEST_F(RealCurveViewTest, DeviceDialogReadsAndWritesRegisters80To82) {
    auto& s = StartSimulator(); // 8 channels, limits 300 and 10
    std::vector<QString> shown;
    CDialog::SetModalScript([&](CDialog& d) {
        shown = {d.GetDlgItemText(1401), d.GetDlgItemText(1402), d.GetDlgItemText(1407)};
        d.SetDlgItemText(1407, "-10");
        d.PressButton(1002);
        d.PressButton(1001);
        shown.push_back(d.GetDlgItemText(1407));
    });
    {
        CAlarmSetDlg dlg;
        dlg.DoModal();
    }
    CDialog::SetModalScript(nullptr);
    EXPECT_EQ(shown, (std::vector<QString>{"8", "300", "10", "65526"}));
    EXPECT_EQ(s.Register(82), 0xFFF6);
    EXPECT_EQ(m_prompts.Messages(), (QStringList{QStringLiteral("写数据成功!")}));
    EXPECT_EQ(theApp.m_ComPara.bOpen, 0); // closed again: no run needs it
}

TEST_F(RealCurveViewTest, DeviceDialogWithASilentDevice) {
    auto& s = StartSimulator();
    s.QueueFaults({sim::Fault::NoReply, sim::Fault::NoReply});
    std::vector<QString> shown;
    CDialog::SetModalScript([&](CDialog& d) {
        shown = {d.GetDlgItemText(1401), d.GetDlgItemText(1402), d.GetDlgItemText(1407)};
        d.SetDlgItemText(1401, "5");
        d.PressButton(1001); // fails: the edits stay as they are
        shown.push_back(d.GetDlgItemText(1401));
    });
    {
        CAlarmSetDlg dlg;
        dlg.DoModal();
    }
    CDialog::SetModalScript(nullptr);
    EXPECT_EQ(shown, (std::vector<QString>{"0", "0", "0", "5"}));
    EXPECT_EQ(m_prompts.Messages(), (QStringList{QStringLiteral("读数据失败!")}));
    EXPECT_EQ(theApp.m_ComPara.bOpen, 0);
    EXPECT_EQ(s.Register(80), 8); // nothing written
}

TEST_F(RealCurveViewTest, DeviceDialogDuringARunLeavesThePortOpen) {
    StartSimulator();
    auto v = MakeView();
    v->OnCmdMsg(cmd::ID_START_ACQUIRE);
    ASSERT_TRUE(theApp.m_bAcquiring);
    CDialog::SetModalScript([](CDialog& d) { d.PressButton(1001); });
    v->OnCmdMsg(cmd::ID_DEVICE_PARA);
    CDialog::SetModalScript(nullptr);
    EXPECT_EQ(theApp.m_ComPara.bOpen, 1);
    v->OnTimer(1);
    v->OnTimer(1);
    EXPECT_EQ(v->Run().Header().sampleCount, 1);
    EXPECT_EQ(v->Run().ReadFailures(), 0);
    v->OnCmdMsg(cmd::ID_STOP_ACQUIRE);
    EXPECT_TRUE(m_prompts.Messages().isEmpty());
}
