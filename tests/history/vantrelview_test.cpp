// The history view on real files: first load, modes and clicks with their
// write-back, the parameter dialog path with its two messages, save as.

#include "curvepara.h"
#include "recordingdc.h"
#include "scriptedpromptservice.h"
#include "tdafixture.h"
#include "vantrel.h"
#include "vantreldoc.h"
#include "vantrelview.h"

#include <QDateEdit>
#include <QRadioButton>
#include <QTimeEdit>

#include <memory>

namespace {

class HistoryViewTest : public ::testing::Test {
protected:
    void SetUp() override {
        theApp.m_nTempUnit = 0;
        theApp.m_ChannelNames = MakeEmptyChannelNameTable();
        theApp.m_CurvePara = MakeFreshCurveParameters();
    }
    void TearDown() override {
        CDialog::SetModalScript(nullptr);
        view.reset();
        doc.reset();
    }

    void Open(const std::string& path) {
        doc = std::make_unique<CVantrelDoc>();
        doc->SetPathName(QString::fromStdString(path));
        view = std::make_unique<CVantrelView>();
        view->AttachDocument(doc.get());
        view->resize(800, 600);
        view->OnInitialUpdate();
    }
    void Click(int x, int y) { view->OnLButtonDown(QPoint(x, y), Qt::NoModifier); }

    TempDir tmp;
    CScriptedPromptService prompts;
    std::unique_ptr<CVantrelDoc> doc;
    std::unique_ptr<CVantrelView> view;
};

FixtureOptions Hour() {
    FixtureOptions s;
    s.rows = 3600;
    s.timeLength = 600;
    s.inSeconds = true;
    return s;
}

} // namespace

TEST_F(HistoryViewTest, OpensTheFirstWindowWithItsTitle) {
    const std::string path = tmp.File("a.tda");
    WriteFixture(path, Hour());
    Open(path);
    EXPECT_EQ(doc->GetTitle(), QString::fromStdString("历史趋势曲线[" + path + "]"));
    EXPECT_TRUE(view->Window().HasData());
    EXPECT_EQ(view->Window().m_pointsPerScreen, 601u);
    EXPECT_EQ(view->MouseMode(), MODE_NORMAL);
    EXPECT_EQ(view->PlotRectangle(), (DcRect{40, 30, 760, 570}));
    CCmdUI ui(cmd::ID_CURVEPARA);
    view->OnUpdateCmdMsg(ui);
    EXPECT_TRUE(ui.m_bEnabled);
}

TEST_F(HistoryViewTest, ARefusedFileShowsNothingAndOffersNothing) {
    const std::string path = tmp.File("bad.tda");
    WriteFixture(path, Hour());
    {
        std::fstream f(path, std::ios::in | std::ios::out | std::ios::binary);
        f.seekp(108);
        const int32_t wrong = 12345;
        f.write(reinterpret_cast<const char*>(&wrong), 4);
    }
    const auto before = ReadFileBytes(path);
    Open(path);
    EXPECT_FALSE(view->Window().HasData());
    EXPECT_EQ(view->Window().m_pointsPerScreen, 0u);
    RecordingDc dc;
    view->Window().Draw(dc, DcRect{0, 0, 800, 600}, view->Readout(), 0);
    EXPECT_TRUE(dc.Lines().empty());
    EXPECT_TRUE(dc.Texts().empty());
    EXPECT_EQ(dc.Fills().size(), 1u);

    view->OnCmdMsg(cmd::ID_ZOOM_IN);
    Click(400, 300);
    view->OnLButtonDblClk(QPoint(400, 300), Qt::NoModifier);
    CCmdUI ui(cmd::ID_CURVEPARA);
    view->OnUpdateCmdMsg(ui);
    EXPECT_FALSE(ui.m_bEnabled);
    view->OnCurveParameters();
    EXPECT_EQ(ReadFileBytes(path), before);
    EXPECT_TRUE(prompts.Messages().isEmpty());
}

TEST_F(HistoryViewTest, ModesChooseWhatAClickDoes) {
    const std::string path = tmp.File("m.tda");
    WriteFixture(path, Hour());
    Open(path);
    Click(220, 300); // normal: the cursor
    EXPECT_EQ(view->Readout().cursorState, 1);
    EXPECT_EQ(view->Readout().cursorX, 220);
    view->OnLButtonUp(QPoint(220, 300), Qt::NoModifier);

    view->OnCmdMsg(cmd::ID_ZOOM_IN);
    EXPECT_EQ(view->MouseMode(), MODE_ZOOM_IN);
    Click(220, 300);
    EXPECT_EQ(view->Window().m_curvePara.timeLength, 300);
    EXPECT_EQ(view->Window().m_pointsPerScreen, 301u);
    EXPECT_EQ(StoredParameters(path).timeLength, 300);
    EXPECT_EQ(StoredParameters(path).yMinTenths, 750);
    EXPECT_EQ(view->Readout().cursorState, 1); // a reload keeps the readout

    view->OnCmdMsg(cmd::ID_HEAD_TAIL);
    Click(700, 300);
    EXPECT_EQ(CompareTime(view->Window().m_curvePara.startTime, Time(2007, 5, 10, 10, 54, 59)), 0);
    view->OnCmdMsg(cmd::ID_PAGE_MODE);
    Click(100, 300);
    EXPECT_EQ(CompareTime(view->Window().m_curvePara.startTime, Time(2007, 5, 10, 10, 49, 59)), 0);
    view->OnCmdMsg(cmd::ID_ZOOM_OUT);
    Click(400, 300);
    EXPECT_EQ(view->Window().m_curvePara.timeLength, 600);
    view->OnCmdMsg(cmd::ID_NORMAL_MODE);
    EXPECT_EQ(view->MouseMode(), MODE_NORMAL);
    EXPECT_TRUE(prompts.Messages().isEmpty());
}

TEST_F(HistoryViewTest, TheParameterDialogReachesBothMessages) {
    const std::string path = tmp.File("p.tda");
    WriteFixture(path, Hour());
    Open(path);
    const int16_t shown = view->Window().m_displayBuffer[0][5];
    struct Case {
        QDate date;
        QTime time;
        const char* message;
    } cases[] = {
        {QDate(2007, 5, 10), QTime(9, 0, 0), "起始时间小于采样的开始时间！"},
        {QDate(2007, 5, 11), QTime(10, 0, 0), "起始时间大于采样的结束时间！"},
    };
    for (const auto& c : cases) {
        CScriptedPromptService local;
        CDialog::SetModalScript([&](CDialog& d) {
            d.Control<QDateEdit>(CCurvePara::IDC_START_DATE)->setDate(c.date);
            d.Control<QTimeEdit>(CCurvePara::IDC_START_TIME)->setTime(c.time);
            d.PressButton(CCurvePara::IDC_ACCEPT);
        });
        view->OnCmdMsg(cmd::ID_CURVEPARA);
        EXPECT_EQ(local.Messages(), QStringList{QString::fromUtf8(c.message)});
        EXPECT_EQ(view->Window().m_displayBuffer[0][5], shown); // old curves stay
        EXPECT_EQ(StoredParameters(path).startTime.wHour, c.time.hour());
    }

    // An accepted start inside the recording loads from there.
    CDialog::SetModalScript([&](CDialog& d) {
        d.Control<QTimeEdit>(CCurvePara::IDC_START_TIME)->setTime(QTime(10, 30, 0));
        d.Control<QDateEdit>(CCurvePara::IDC_START_DATE)->setDate(QDate(2007, 5, 10));
        d.SetDlgItemText(CCurvePara::IDC_Y_MAX, "250");
        d.PressButton(CCurvePara::IDC_ACCEPT);
    });
    view->OnCurveParameters();
    EXPECT_EQ(view->Window().m_displayBuffer[0][0], FixtureValue(1800, 0));
    EXPECT_EQ(view->Window().m_curvePara.yMaxTenths, 2500);

    // Cancel leaves the view alone, while the application's copy keeps the
    // edits made before the cancel.
    CDialog::SetModalScript([&](CDialog& d) {
        d.Control<QRadioButton>(CCurvePara::IDC_X_LONG)->click();
        d.PressButton(CCurvePara::IDC_CANCEL_BUTTON);
    });
    view->OnCurveParameters();
    EXPECT_EQ(view->Window().m_curvePara.xAxisLongTime, 0);
    EXPECT_EQ(theApp.m_CurvePara.xAxisLongTime, 1);
}

TEST_F(HistoryViewTest, SaveAsCopiesTheFileAndOverwritesWithoutAsking) {
    const std::string path = tmp.File("s.tda");
    WriteFixture(path, Hour());
    Open(path);
    const std::string dest = tmp.File("copy.tda");
    { std::ofstream(dest) << "old"; }
    prompts.AnswerSave(QString::fromStdString(dest));
    view->OnCmdMsg(cmd::ID_FILE_SAVE_AS);
    EXPECT_EQ(ReadFileBytes(dest), ReadFileBytes(path));
    EXPECT_EQ(prompts.SaveFilters(), QStringList{"*.tda|*.tda|所有文件(*.*)|*.*|"});
    EXPECT_EQ(prompts.SaveExtensions(), QStringList{"*.tda"});

    prompts.AnswerSave(QString::fromStdString(path)); // onto itself
    view->OnFileSaveAs();
    EXPECT_EQ(ReadFileBytes(path), ReadFileBytes(dest));

    prompts.AnswerSave(QString()); // cancelled
    view->OnFileSaveAs();
    prompts.AnswerSave(QString::fromStdString(tmp.File("no/such/folder/x.tda")));
    view->OnFileSaveAs();
    EXPECT_EQ(prompts.Messages(), QStringList{"文件保存错误!"});
}

TEST_F(HistoryViewTest, DoubleClickAndWheelRedrawTheReadout) {
    const std::string path = tmp.File("d.tda");
    FixtureOptions s = Hour();
    s.channels = 80;
    WriteFixture(path, s);
    Open(path);
    view->Window().m_curvePara.channelCount = 80;
    std::fill(std::begin(view->Window().m_curvePara.visibleChannels),
              std::end(view->Window().m_curvePara.visibleChannels), 0xFF);
    view->OnLButtonDblClk(QPoint(100, 100), Qt::NoModifier);
    EXPECT_EQ(view->Readout().cursorState, 1);
    view->OnMouseWheel(-120 * 3, QPoint(100, 100));
    EXPECT_EQ(view->Readout().legendScroll, 3);
    view->OnLButtonDblClk(QPoint(100, 100), Qt::NoModifier);
    EXPECT_EQ(view->Readout().cursorState, 2);
    view->OnMouseWheel(-120, QPoint(100, 100));
    EXPECT_EQ(view->Readout().legendScroll, 3);
    const QImage picture = view->RenderClient();
    EXPECT_EQ(picture.size(), QSize(800, 600));
}
