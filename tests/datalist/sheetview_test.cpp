// The data list window on a real recording, offscreen: layout, paging by the
// scroll bars, the selected row in the edits, saving, and command 168.

#include "datalisttestutil.h"
#include "dialog.h"
#include "document.h"
#include "excelexport.h"
#include "scriptedpromptservice.h"
#include "sheetview.h"
#include "vantrel.h"

#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTableWidget>

using namespace dltest;

namespace {

struct OpenList {
    CDocument doc;
    CSheetView view;
    explicit OpenList(const std::string& path) {
        doc.SetPathName(QString::fromStdString(path));
        view.AttachDocument(&doc);
        view.resize(800, 600);
        view.OnInitialUpdate();
    }
    QTableWidget* List() { return static_cast<QTableWidget*>(view.Control(1500)); }
    QLineEdit* Edit(int id) { return static_cast<QLineEdit*>(view.Control(id)); }
    QString Caption(int id) { return static_cast<QLabel*>(view.Control(id))->text(); }
    QScrollBar* Bar(int id) { return static_cast<QScrollBar*>(view.Control(id)); }
};

} // namespace

TEST(SheetView, LaysOutPagesAndScrollsAFile) {
    TempDir dir;
    Recording r;
    r.rows = 250;
    WriteRecording(dir.File("a.tda"), r);
    theApp.m_nTempUnit = 0;
    OpenList w(dir.File("a.tda"));
    ASSERT_TRUE(w.view.IsReady());
    EXPECT_EQ(w.List()->geometry(), QRect(0, 50, 785, 535));
    EXPECT_EQ(w.Bar(1802)->geometry(), QRect(0, 585, 785, 15));
    EXPECT_EQ(w.Bar(1801)->geometry(), QRect(785, 50, 15, 535));

    QTableWidget* list = w.List();
    ASSERT_EQ(list->rowCount(), 100);
    ASSERT_EQ(list->columnCount(), 10);
    EXPECT_EQ(list->horizontalHeaderItem(0)->text(), "序号");
    EXPECT_EQ(list->horizontalHeaderItem(1)->text(), "时间");
    EXPECT_EQ(list->horizontalHeaderItem(2)->text(), "通道1:");
    EXPECT_EQ(list->columnWidth(0), 50);
    EXPECT_EQ(list->columnWidth(1), 130);
    EXPECT_EQ(list->columnWidth(2), 80);
    EXPECT_EQ(list->item(99, 0)->text(), "100");
    EXPECT_EQ(w.Edit(1401)->text(), "1"); // the first row counts as selected
    EXPECT_EQ(w.Edit(1406)->text(), "2007-5-10 8:30:15");
    EXPECT_EQ(w.Caption(1901), "通道1");

    EXPECT_EQ(w.Bar(1801)->maximum(), 249);
    w.Bar(1801)->triggerAction(QAbstractSlider::SliderPageStepAdd);
    EXPECT_EQ(list->item(0, 0)->text(), "21");
    EXPECT_EQ(list->item(99, 0)->text(), "120");
    w.Bar(1801)->setValue(249);
    EXPECT_EQ(list->rowCount(), 1);
    EXPECT_EQ(list->item(0, 0)->text(), "250");
    w.Bar(1801)->setValue(0);

    w.Bar(1802)->triggerAction(QAbstractSlider::SliderPageStepAdd);
    EXPECT_EQ(w.view.Page().FirstChannel(), 4);
    ASSERT_EQ(list->columnCount(), 6);
    EXPECT_EQ(list->horizontalHeaderItem(2)->text(), "通道5:");
    EXPECT_EQ(w.Caption(1901), "通道5");
    for (int id = 1413; id <= 1416; ++id) {
        EXPECT_FALSE(w.Edit(id)->isEnabled()) << id;
        EXPECT_TRUE(w.Edit(id)->text().isEmpty()) << id;
    }
}

TEST(SheetView, SavesTheSelectedRowAndRefusesBadTexts) {
    TempDir dir;
    Recording r;
    const std::string path = dir.File("a.tda");
    WriteRecording(path, r);
    theApp.m_nTempUnit = 1;
    OpenList w(path);
    CScriptedPromptService prompts;
    w.List()->selectRow(4);
    EXPECT_EQ(w.Edit(1401)->text(), "5");
    EXPECT_EQ(w.Edit(1409)->text(), " 39.2"); // raw 40: 4.0 ℃
    w.Edit(1410)->setText("77.0");
    static_cast<QPushButton*>(w.view.Control(1005))->click();
    EXPECT_TRUE(prompts.Messages().isEmpty());
    EXPECT_EQ(RawAt(path, 660 + 4 * 16 + 2), 250);
    EXPECT_EQ(RawAt(path, 660 + 4 * 16), 40); // untouched
    EXPECT_EQ(w.List()->item(4, 3)->text(), " 77.0");

    const std::string before = ReadFileBytes(path);
    w.Edit(1409)->setText("1.0");
    w.Edit(1411)->setText("x1");
    static_cast<QPushButton*>(w.view.Control(1005))->click();
    ASSERT_EQ(prompts.Messages().size(), 1);
    EXPECT_TRUE(prompts.Messages()[0].contains("通道3")) << prompts.Messages()[0].toStdString();
    EXPECT_EQ(ReadFileBytes(path), before);
    theApp.m_nTempUnit = 0;
}

TEST(SheetView, Command168OpensTheExportOnThisFile) {
    TempDir dir;
    Recording r;
    WriteRecording(dir.File("a.tda"), r);
    OpenList w(dir.File("a.tda"));
    QString title;
    CDialog::SetModalScript([&](CDialog& d) { title = d.windowTitle(); });
    EXPECT_TRUE(w.view.OnCmdMsg(cmd::ID_EXCEL_EXPORT));
    CDialog::SetModalScript(nullptr);
    EXPECT_EQ(title, "Excel 导出");
    EXPECT_EQ(theApp.m_strCurrentFile.toStdString(), dir.File("a.tda"));
}
