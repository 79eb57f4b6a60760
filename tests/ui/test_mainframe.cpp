// Start-up recovery, the exit question, the real-time window's close and the
// main frame's commands, driven through the scripted prompt service.

#include "doctemplate.h"
#include "document.h"
#include "mdichildwnd.h"
#include "realcurvedoc.h"
#include "setunit.h"
#include "shellfixture.h"
#include "view.h"

#include <QComboBox>
#include <QFileInfo>
#include <QShortcut>

namespace {

const QString kRecoveryQuestion =
    QStringLiteral("由于非法退出程序，上次实时采集的数据还没保存，要保存吗？");
const QString kRunningQuestion = QStringLiteral("正在实时采集数据，退出数据会丢失，要退出吗？");
const QString kUnsavedQuestion = QStringLiteral("上次实时采集的数据未保存，要保存吗？");
const QString kTdaFilter = QStringLiteral("*.tda|*.tda|所有文件(*.*)|*.*|");

std::vector<CDocument*> RealTimeDocs() {
    return theApp.m_pRealTimeTemplate->Documents();
}

CMDIChildWnd* RealTimeWindow() {
    const auto docs = RealTimeDocs();
    if (docs.empty() || !docs.front()->GetFirstView())
        return nullptr;
    return docs.front()->GetFirstView()->GetParentFrame();
}

} // namespace

// ---- start-up recovery ----

TEST_F(ShellTest, RecoveryYesCopiesTheRunAndClearsTheRecord) {
    const QByteArray content(4000, '\x33');
    const QString run = LeavePendingRun(content);
    const QString target = TempPath("saved.tda");
    m_prompts->AnswerMessage(IDYES);
    m_prompts->AnswerSave(target);

    ASSERT_TRUE(Start());
    EXPECT_EQ(m_prompts->Messages(), QStringList{kRecoveryQuestion});
    EXPECT_EQ(m_prompts->MessageFlags().front(), MB_YESNO | MB_ICONQUESTION);
    EXPECT_EQ(m_prompts->SaveFilters(), QStringList{kTdaFilter});
    EXPECT_EQ(ReadAll(target), content);
    EXPECT_FALSE(QFileInfo::exists(run));
    EXPECT_EQ(ReadAll(DataFile("TempInfo.DAT")), QByteArray(261, '\0'));
    ASSERT_NE(Frame(), nullptr);
    EXPECT_TRUE(Frame()->isVisible());
}

TEST_F(ShellTest, RecoveryYesThenCancelEndsTheStartAndKeepsTheRecord) {
    const QString run = LeavePendingRun();
    const QByteArray record = ReadAll(DataFile("TempInfo.DAT"));
    m_prompts->AnswerMessage(IDYES);
    m_prompts->AnswerSave(QString()); // cancel

    EXPECT_FALSE(Start());
    EXPECT_EQ(Frame(), nullptr);
    EXPECT_TRUE(QFileInfo::exists(run));
    EXPECT_EQ(ReadAll(DataFile("TempInfo.DAT")), record);
}

TEST_F(ShellTest, RecoveryNoDeletesTheRunAndClearsTheRecord) {
    const QString run = LeavePendingRun();
    m_prompts->AnswerMessage(IDNO);

    ASSERT_TRUE(Start());
    EXPECT_FALSE(QFileInfo::exists(run));
    EXPECT_EQ(ReadAll(DataFile("TempInfo.DAT")), QByteArray(261, '\0'));
    EXPECT_TRUE(m_prompts->SaveFilters().isEmpty());
}

TEST_F(ShellTest, RecoveryCopyThatFailsKeepsTheRunAndTheRecord) {
    const QString run = LeavePendingRun();
    const QByteArray record = ReadAll(DataFile("TempInfo.DAT"));
    m_prompts->AnswerMessage(IDYES);
    m_prompts->AnswerSave(TempPath("no/such/folder/saved.tda"));

    ASSERT_TRUE(Start());
    ASSERT_EQ(m_prompts->Messages().size(), 2);
    EXPECT_TRUE(m_prompts->Messages()[1].contains(QStringLiteral("no/such/folder/saved.tda")));
    EXPECT_TRUE(QFileInfo::exists(run));
    EXPECT_EQ(ReadAll(DataFile("TempInfo.DAT")), record);
}

TEST_F(ShellTest, RecoveryOfAFileThatIsGoneAsksNothing) {
    const QString run = LeavePendingRun();
    QFile::remove(run);
    ASSERT_TRUE(Start());
    EXPECT_TRUE(m_prompts->Messages().isEmpty());
    EXPECT_EQ(ReadAll(DataFile("TempInfo.DAT")), QByteArray(261, '\0'));
}

TEST_F(ShellTest, PlainStartShowsTheMainWindowWithoutDocuments) {
    ASSERT_TRUE(Start());
    EXPECT_TRUE(Frame()->isVisible());
    EXPECT_TRUE(Frame()->ChildWindows().empty());
    EXPECT_EQ(Frame()->CurrentMenuId(), 151);
    EXPECT_EQ(Frame()->windowTitle(), QStringLiteral("Vantrel"));
    EXPECT_TRUE(m_prompts->Messages().isEmpty());
    // File > New is refused by the history document: still no window.
    EXPECT_TRUE(Frame()->SendCommand(cmd::ID_FILE_NEW));
    EXPECT_TRUE(Frame()->ChildWindows().empty());
}

TEST_F(ShellTest, CommandLineFileOpensAHistoryWindow) {
    const QString file = TempPath("run.tda");
    WriteAll(file, QByteArray(10, '\0'));
    theApp.m_cmdInfo.m_strFileName = file;
    ASSERT_TRUE(Start());
    ASSERT_EQ(Frame()->ChildWindows().size(), 1u);
    CDocument* doc = Frame()->GetActiveDocument();
    ASSERT_NE(doc, nullptr);
    EXPECT_EQ(doc->GetPathName(), QFileInfo(file).absoluteFilePath());
    EXPECT_EQ(Frame()->CurrentMenuId(), 152);
    EXPECT_EQ(theApp.RecentFiles().Files().value(0), QFileInfo(file).absoluteFilePath());
}

// ---- exit and the real-time window ----

class RunTest : public ShellTest {
protected:
    void SetUp() override {
        ShellTest::SetUp();
        ASSERT_TRUE(Start());
        ASSERT_TRUE(Frame()->SendCommand(cmd::ID_REALTIME));
        Settle();
        ASSERT_NE(RealTimeWindow(), nullptr);
        m_run = DataFile("TRC00F1.tmp");
        WriteAll(m_run, QByteArray(3685, '\x11'));
        theApp.m_strTempFile = m_run;
        theApp.SetTempInfoPath(m_run.toStdString());
        theApp.m_TempInfo.bPending = 1;
        theApp.SaveTempInfo();
        m_record = ReadAll(DataFile("TempInfo.DAT"));
    }

    void SetRun(bool acquiring, bool unsaved) {
        theApp.m_bAcquiring = acquiring;
        theApp.m_bUnsaved = unsaved;
    }

    QString m_run;
    QByteArray m_record;
};

TEST_F(RunTest, ExitDuringARunAnsweredCancelKeepsRunning) {
    SetRun(true, true);
    m_prompts->AnswerMessage(IDCANCEL);
    EXPECT_FALSE(Frame()->close());
    EXPECT_EQ(m_prompts->Messages(), QStringList{kRunningQuestion});
    EXPECT_EQ(m_prompts->MessageFlags().front(), MB_OKCANCEL | MB_ICONQUESTION);
    EXPECT_TRUE(theApp.m_bAcquiring);
    EXPECT_TRUE(QFileInfo::exists(m_run));
    EXPECT_EQ(theApp.m_nExitAnswer, 0);
    EXPECT_NE(RealTimeWindow(), nullptr);
}

TEST_F(RunTest, ExitDuringARunAnsweredOkDiscardsWithoutAFurtherQuestion) {
    SetRun(true, true);
    theApp.m_ComPara.bOpen = 1;
    bool ownerTold = false;
    theApp.m_onDiscardRun = [&] { ownerTold = true; };
    m_prompts->AnswerMessage(IDOK);
    EXPECT_TRUE(Frame()->close());
    Settle();
    EXPECT_EQ(m_prompts->Messages(), QStringList{kRunningQuestion});
    EXPECT_TRUE(ownerTold);
    EXPECT_FALSE(theApp.m_bAcquiring || theApp.m_bUnsaved || theApp.m_bRealTimeOpen);
    EXPECT_EQ(theApp.m_ComPara.bOpen, 0);
    EXPECT_EQ(theApp.m_nExitAnswer, 0xFF);
    EXPECT_FALSE(QFileInfo::exists(m_run));
    EXPECT_EQ(ReadAll(DataFile("TempInfo.DAT")).at(0), '\0');
    EXPECT_TRUE(RealTimeDocs().empty());
}

TEST_F(RunTest, ClosingAfterAnUnsavedRunAnsweredNoDeletesTheFile) {
    SetRun(false, true);
    m_prompts->AnswerMessage(IDNO);
    RealTimeWindow()->close();
    Settle();
    EXPECT_EQ(m_prompts->Messages(), QStringList{kUnsavedQuestion});
    EXPECT_EQ(m_prompts->MessageFlags().front(), MB_YESNOCANCEL | MB_ICONQUESTION);
    EXPECT_EQ(theApp.m_nSaveAnswer, IDNO);
    EXPECT_FALSE(QFileInfo::exists(m_run));
    EXPECT_FALSE(theApp.m_bUnsaved || theApp.m_bRealTimeOpen);
    EXPECT_EQ(ReadAll(DataFile("TempInfo.DAT")).at(0), '\0');
    EXPECT_TRUE(RealTimeDocs().empty());
    EXPECT_EQ(Frame()->CurrentMenuId(), 151);
}

TEST_F(RunTest, ClosingAfterAnUnsavedRunYesThenCancelKeepsTheWindow) {
    SetRun(false, true);
    m_prompts->AnswerMessage(IDYES);
    m_prompts->AnswerSave(QString());
    RealTimeWindow()->close();
    Settle();
    EXPECT_NE(RealTimeWindow(), nullptr);
    EXPECT_TRUE(theApp.m_bUnsaved && theApp.m_bRealTimeOpen);
    EXPECT_TRUE(QFileInfo::exists(m_run));
    EXPECT_EQ(ReadAll(DataFile("TempInfo.DAT")), m_record);
}

TEST_F(RunTest, ClosingAfterAnUnsavedRunYesWithAPathSavesIt) {
    SetRun(false, true);
    const QString target = TempPath("kept.tda");
    m_prompts->AnswerMessage(IDYES);
    m_prompts->AnswerSave(TempPath("kept")); // the default extension is added
    RealTimeWindow()->close();
    Settle();
    EXPECT_EQ(m_prompts->SaveExtensions(), QStringList{QStringLiteral("*.tda")});
    EXPECT_EQ(ReadAll(target), QByteArray(3685, '\x11'));
    EXPECT_FALSE(QFileInfo::exists(m_run));
    EXPECT_EQ(ReadAll(DataFile("TempInfo.DAT")).at(0), '\0');
    EXPECT_TRUE(RealTimeDocs().empty());
}

TEST_F(RunTest, ClosingTheWindowDuringARunAsksFirst) {
    SetRun(true, true);
    m_prompts->AnswerMessage(IDCANCEL);
    RealTimeWindow()->close();
    Settle();
    EXPECT_NE(RealTimeWindow(), nullptr);
    EXPECT_TRUE(theApp.m_bAcquiring);

    m_prompts->AnswerMessage(IDOK);
    RealTimeWindow()->close();
    Settle();
    EXPECT_EQ(RealTimeWindow(), nullptr);
    EXPECT_FALSE(theApp.m_bAcquiring || theApp.m_bRealTimeOpen);
    EXPECT_FALSE(QFileInfo::exists(m_run));
    EXPECT_EQ(m_prompts->Messages().size(), 2); // no save question after the discard
}

TEST_F(RunTest, CancelWhileTheProgramExitsKeepsTheFileForTheNextStart) {
    SetRun(false, true);
    m_prompts->AnswerMessage(IDCANCEL);
    EXPECT_TRUE(Frame()->close());
    Settle();
    EXPECT_TRUE(QFileInfo::exists(m_run));
    EXPECT_EQ(ReadAll(DataFile("TempInfo.DAT")), m_record);
    EXPECT_EQ(RealTimeWindow(), nullptr); // the window went with the program
}

TEST_F(RunTest, SecondRealTimeCommandIsIgnoredUntilTheWindowCloses) {
    EXPECT_TRUE(Frame()->SendCommand(cmd::ID_REALTIME));
    Settle();
    EXPECT_EQ(RealTimeDocs().size(), 1u);
    EXPECT_EQ(Frame()->ChildWindows().size(), 1u);
    EXPECT_EQ(Frame()->CurrentMenuId(), 155);

    RealTimeWindow()->close(); // idle: no question
    Settle();
    EXPECT_TRUE(m_prompts->Messages().isEmpty());
    EXPECT_FALSE(theApp.m_bRealTimeOpen);
    EXPECT_TRUE(Frame()->SendCommand(cmd::ID_REALTIME));
    Settle();
    EXPECT_EQ(RealTimeDocs().size(), 1u);
    EXPECT_EQ(RealTimeWindow()->windowTitle(), QStringLiteral("实时数据采集"));
    EXPECT_EQ(Frame()->windowTitle(), QStringLiteral("Vantrel - [实时数据采集]"));
}

TEST_F(ShellTest, RealTimeWindowThatCannotBeCreatedLeavesTheCommandUsable) {
    ASSERT_TRUE(Start());
    theApp.m_pRealTimeTemplate->SetFrameFactory([]() -> CMDIChildWnd* { return nullptr; });
    Frame()->SendCommand(cmd::ID_REALTIME);
    EXPECT_FALSE(theApp.m_bRealTimeOpen);
    EXPECT_EQ(m_prompts->Messages().size(), 1);
    EXPECT_TRUE(RealTimeDocs().empty());
}

TEST_F(ShellTest, DataListOpensASecondWindowOnTheActiveDocument) {
    ASSERT_TRUE(Start());
    Frame()->SendCommand(cmd::ID_DATA_LIST); // nothing active
    EXPECT_EQ(m_prompts->Messages().size(), 1);
    EXPECT_TRUE(Frame()->ChildWindows().empty());

    const QString file = TempPath("list.tda");
    WriteAll(file, QByteArray(10, '\0'));
    CDocument* doc = theApp.OpenDocumentFile(file);
    ASSERT_NE(doc, nullptr);
    Settle();
    EXPECT_TRUE(Frame()->SendCommand(cmd::ID_DATA_LIST));
    Settle();
    EXPECT_EQ(doc->Views().size(), 2u);
    EXPECT_EQ(Frame()->ChildWindows().size(), 2u);
    EXPECT_EQ(Frame()->CurrentMenuId(), 154);
}

TEST_F(ShellTest, OpenExcelHandsTheFixedFileToTheDesktop) {
    ASSERT_TRUE(Start());
    EXPECT_TRUE(Frame()->QueryCommandUI(cmd::ID_OPEN_EXCEL).m_bEnabled);
    EXPECT_TRUE(Frame()->SendCommand(cmd::ID_OPEN_EXCEL));
    ASSERT_EQ(m_openedUrls.size(), 1);
    EXPECT_EQ(m_openedUrls[0].toLocalFile(),
              QDir::current().absoluteFilePath(QStringLiteral("Microsoft Excel 工作表.xls")));
    EXPECT_TRUE(m_prompts->Messages().isEmpty());
}

TEST_F(ShellTest, TemperatureUnitCommandRunsTheUnitDialog) {
    ASSERT_TRUE(Start());
    int shown = 0;
    CDialog::SetModalScript([&](CDialog& dlg) {
        ++shown;
        EXPECT_EQ(dlg.windowTitle(), QStringLiteral("设置温度单位"));
        dlg.Control<QComboBox>(CSetUnit::IDC_UNIT)->setCurrentIndex(1);
        dlg.PressButton(IDOK);
    });
    EXPECT_TRUE(Frame()->SendCommand(cmd::ID_TEMP_UNIT));
    EXPECT_EQ(shown, 1);
    EXPECT_EQ(theApp.m_nTempUnit, 1);
    EXPECT_EQ(ReadAll(DataFile("COMPARA.DAT")).at(168), '\1');
}

namespace {
// Fires the main window's accelerator for key, as pressing it does.
bool PressAccelerator(CMainFrame* frame, const QKeySequence& key) {
    for (QShortcut* sc : frame->findChildren<QShortcut*>()) {
        if (sc->key() == key) {
            emit sc->activated();
            return true;
        }
    }
    return false;
}
} // namespace

TEST_F(ShellTest, CtrlOAsksForAFileOfTheHistoryType) {
    ASSERT_TRUE(Start());
    ASSERT_TRUE(PressAccelerator(Frame(), QKeySequence(Qt::CTRL | Qt::Key_O)));
    EXPECT_EQ(m_prompts->OpenFilters(),
              QStringList{QStringLiteral("Vantrel Files (*.tda)|*.tda|所有文件 (*.*)|*.*|")});
    EXPECT_TRUE(Frame()->ChildWindows().empty()); // cancelled
}

TEST_F(RunTest, CtrlSSavesTheRunOnlyWhenSaveIsEnabled) {
    SetRun(true, true); // acquiring: save disabled
    EXPECT_FALSE(Frame()->QueryCommandUI(cmd::ID_FILE_SAVE).m_bEnabled);
    ASSERT_TRUE(PressAccelerator(Frame(), QKeySequence(Qt::CTRL | Qt::Key_S)));
    EXPECT_TRUE(m_prompts->SaveFilters().isEmpty());

    SetRun(false, true); // stopped, unsaved
    EXPECT_TRUE(Frame()->QueryCommandUI(cmd::ID_FILE_SAVE).m_bEnabled);
    m_prompts->AnswerSave(TempPath("ctrl-s.tda"));
    ASSERT_TRUE(PressAccelerator(Frame(), QKeySequence(Qt::CTRL | Qt::Key_S)));
    EXPECT_EQ(m_prompts->SaveFilters(), QStringList{kTdaFilter});
    EXPECT_EQ(ReadAll(TempPath("ctrl-s.tda")), QByteArray(3685, '\x11'));
    EXPECT_FALSE(theApp.m_bUnsaved);
}
