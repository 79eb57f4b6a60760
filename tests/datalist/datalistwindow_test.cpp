// The data list in the running program: opened by command 160 from a history
// window on a real recording, answering command 168 through the main frame.

#include "datalisttestutil.h"
#include "document.h"
#include "excelexport.h"
#include "sheetview.h"
#include "shellfixture.h"

#include <QTableWidget>

using DataListWindow = ShellTest;

TEST_F(DataListWindow, OpensFromAHistoryWindowAndExportsItsFile) {
    ASSERT_TRUE(Start());
    dltest::Recording r;
    r.rows = 150;
    const QString file = TempPath("run.tda");
    dltest::WriteRecording(file.toStdString(), r);
    CDocument* doc = theApp.OpenDocumentFile(file);
    ASSERT_NE(doc, nullptr);
    Settle();
    ASSERT_TRUE(Frame()->SendCommand(cmd::ID_DATA_LIST));
    Settle();
    CSheetView* list = nullptr;
    for (CView* v : doc->Views())
        if (auto* s = dynamic_cast<CSheetView*>(v))
            list = s;
    ASSERT_NE(list, nullptr);
    ASSERT_TRUE(list->IsReady());
    auto* table = static_cast<QTableWidget*>(list->Control(CSheetView::IDC_LIST));
    EXPECT_EQ(table->rowCount(), 100);
    EXPECT_EQ(table->item(0, 1)->text(), "2007-5-10 8:30:15");
    EXPECT_EQ(Frame()->CurrentMenuId(), res::IDR_LIST);

    bool shown = false;
    CDialog::SetModalScript([&](CDialog& d) {
        shown = d.windowTitle() == "Excel 导出";
        EXPECT_EQ(d.GetDlgItemText(CExcelExport::IDC_STEP), "1");
    });
    EXPECT_TRUE(Frame()->SendCommand(cmd::ID_EXCEL_EXPORT));
    CDialog::SetModalScript(nullptr);
    EXPECT_TRUE(shown);
    EXPECT_EQ(theApp.m_strCurrentFile, file);
}
