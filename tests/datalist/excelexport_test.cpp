// The export dialog offscreen: pickers, refusals before anything starts, the
// worker with its progress, closing refused while it runs, cancel, and the
// writer's failure reported instead of success.

#include "datalisttestutil.h"
#include "dialog.h"
#include "excelexport.h"
#include "scriptedpromptservice.h"
#include "timearith.h"
#include "vantrel.h"

#include <QDateEdit>
#include <QProgressBar>
#include <QTimeEdit>

using namespace dltest;

namespace {

// Runs the dialog modally with script in place of the user.
void RunDialog(const std::function<void(CExcelExport&)>& script) {
    CDialog::SetModalScript([&](CDialog& d) { script(static_cast<CExcelExport&>(d)); });
    {
        CExcelExport dlg;
        dlg.DoModal();
    }
    CDialog::SetModalScript(nullptr);
}

SYSTEMTIME Pickers(CExcelExport& d, int dateId, int timeId) {
    QDate date = d.Control<QDateEdit>(dateId)->date();
    QTime time = d.Control<QTimeEdit>(timeId)->time();
    return Time(date.year(), date.month(), date.day(), time.hour(), time.minute(), time.second());
}

} // namespace

TEST(ExcelExportDialog, ExportsOnItsWorkerAndCannotBeClosedMeanwhile) {
    TempDir dir;
    Recording r;
    r.rows = 200;
    WriteRecording(dir.File("a.tda"), r);
    theApp.m_strCurrentFile = QString::fromStdString(dir.File("a.tda"));
    theApp.m_nTempUnit = 0;
    CScriptedPromptService prompts;
    prompts.AnswerSave(QString::fromStdString(dir.File("out.xls")));
    RunDialog([&](CExcelExport& d) {
        EXPECT_EQ(d.GetDlgItemText(1401), "1");
        EXPECT_EQ(CompareTime(Pickers(d, 1301, 1302), r.start), 0);
        EXPECT_EQ(CompareTime(Pickers(d, 1303, 1304), AddSeconds(r.start, 200)), 0);
        // A start before the file is moved to its start.
        d.Control<QDateEdit>(1301)->setDate(QDate(2007, 5, 1));
        d.SetDlgItemText(1401, "10");
        d.PressButton(1003);
        ASSERT_TRUE(d.IsExporting());
        EXPECT_EQ(CompareTime(Pickers(d, 1301, 1302), r.start), 0);
        EXPECT_FALSE(d.GetDlgItem(1003)->isEnabled());
        d.OnCancel(); // Escape or the close box
        d.OnOK();     // Enter
        EXPECT_FALSE(d.IsEnded());
        ASSERT_TRUE(d.WaitForExport(30000));
        EXPECT_TRUE(d.GetDlgItem(1003)->isEnabled());
        EXPECT_EQ(d.ProgressBar()->value(), d.ProgressBar()->maximum());
        d.OnCancel();
        EXPECT_TRUE(d.IsEnded());
    });
    EXPECT_EQ(prompts.Messages(),
              (QStringList{"请先停止Excel导出！", "请先停止Excel导出！", "导出Excel成功！"}));
    EXPECT_EQ(prompts.SaveFilters(), QStringList{"*.xls|*.xls|所有文件(*.*)|*.*|"});
    Workbook w = ReadWorkbook(dir.File("out.xls"), dir);
    ASSERT_EQ(w.rows.size(), 21u);
    EXPECT_EQ(w.rows[2][1], "2007-5-10 8:30:25");
}

TEST(ExcelExportDialog, RefusesBadRequestsBeforeAskingForAFile) {
    TempDir dir;
    Recording r;
    WriteRecording(dir.File("a.tda"), r);
    theApp.m_strCurrentFile = QString::fromStdString(dir.File("a.tda"));
    CScriptedPromptService prompts;
    RunDialog([&](CExcelExport& d) {
        for (const char* step : {"0", "-1", "abc"}) {
            d.SetDlgItemText(1401, step);
            d.PressButton(1003);
        }
        d.SetDlgItemText(1401, "1");
        d.Control<QDateEdit>(1303)->setDate(QDate(2007, 5, 9));
        d.PressButton(1003);
        d.PressButton(1002); // "—>|" puts the file's end back
        EXPECT_EQ(CompareTime(Pickers(d, 1303, 1304), AddSeconds(r.start, 10)), 0);
        EXPECT_FALSE(d.IsExporting());
    });
    ASSERT_EQ(prompts.Messages().size(), 4);
    EXPECT_TRUE(prompts.Messages()[0].contains("记录间隔"));
    EXPECT_EQ(prompts.Messages()[3], "结束时间要大于开始时间！");
    EXPECT_TRUE(prompts.SaveFilters().isEmpty());

    theApp.m_strCurrentFile = QString::fromStdString(dir.File("missing.tda"));
    RunDialog([&](CExcelExport& d) { d.PressButton(1003); });
    ASSERT_EQ(prompts.Messages().size(), 5);
    EXPECT_TRUE(prompts.Messages()[4].contains("无法打开数据文件"));
}

TEST(ExcelExportDialog, CancelStopsTheWorkerAndAFailedWriteIsNoSuccess) {
    TempDir dir;
    Recording r;
    r.rows = 60000;
    r.withNames = false;
    WriteRecording(dir.File("a.tda"), r);
    theApp.m_strCurrentFile = QString::fromStdString(dir.File("a.tda"));
    CScriptedPromptService prompts;
    prompts.AnswerSave(QString::fromStdString(dir.File("big.xls")));
    prompts.AnswerSave(QString::fromStdString(dir.File("no/such/dir/out.xls")));
    RunDialog([&](CExcelExport& d) {
        d.PressButton(1003);
        ASSERT_TRUE(d.IsExporting());
        d.PressButton(1017);
        ASSERT_TRUE(d.WaitForExport(30000));
        EXPECT_EQ(d.ProgressBar()->value(), d.ProgressBar()->minimum());

        d.SetDlgItemText(1401, "1000");
        d.PressButton(1003);
        ASSERT_TRUE(d.WaitForExport(30000));
        d.OnCancel();
        EXPECT_TRUE(d.IsEnded());
    });
    EXPECT_FALSE(std::filesystem::exists(dir.File("big.xls")));
    ASSERT_EQ(prompts.Messages().size(), 1);
    EXPECT_TRUE(prompts.Messages()[0].startsWith("导出Excel失败"))
        << prompts.Messages()[0].toStdString();
}
