// The framework layer: filters, recent files, command routing, window timers
// and drawing outside a repaint.

#include "doctemplate.h"
#include "document.h"
#include "mdichildwnd.h"
#include "promptservice.h"
#include "qtpromptservice.h"
#include "recentfilelist.h"
#include "scriptedpromptservice.h"
#include "shellfixture.h"
#include "view.h"

#include <QAbstractButton>
#include <QApplication>
#include <QEventLoop>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QMessageBox>
#include <QPainter>
#include <QPrinter>
#include <QTimer>

TEST(PromptFilterTest, BarFiltersBecomeQtFilters) {
    const struct {
        const char* bars;
        const char* qt;
    } cases[] = {
        {"*.tda|*.tda|所有文件(*.*)|*.*|", "*.tda (*.tda);;所有文件(*.*) (*)"},
        {"*.xls|*.xls|所有文件(*.*)|*.*|", "*.xls (*.xls);;所有文件(*.*) (*)"},
        {"位图文件(*.bmp)||", "位图文件(*.bmp) (*.bmp)"},
        {"Vantrel Files (*.tda)|*.tda|", "Vantrel Files (*.tda) (*.tda)"},
        {"Text|*.txt;*.csv|", "Text (*.txt *.csv)"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(QtFilterFromBars(QString::fromUtf8(c.bars)), QString::fromUtf8(c.qt)) << c.bars;
}

TEST(PromptFilterTest, DefaultExtensionOnlyWhenTheNameHasNone) {
    EXPECT_EQ(ApplyDefaultExtension("/tmp/a", "*.tda"), QStringLiteral("/tmp/a.tda"));
    EXPECT_EQ(ApplyDefaultExtension("/tmp/a.dat", "*.tda"), QStringLiteral("/tmp/a.dat"));
    EXPECT_EQ(ApplyDefaultExtension("/tmp/b", "bmp"), QStringLiteral("/tmp/b.bmp"));
    EXPECT_EQ(ApplyDefaultExtension("/tmp/x.y/b", ".xls"), QStringLiteral("/tmp/x.y/b.xls"));
    EXPECT_EQ(ApplyDefaultExtension("", "*.tda"), QString());
    EXPECT_EQ(ApplyDefaultExtension("/tmp/c.", "bmp"), QStringLiteral("/tmp/c.")); // as Qt does
}

namespace {

// Runs the Qt save dialog, typing name into it once it is up. Returns the
// dialog's result; asked tells whether an overwrite question came up (it is
// answered "no", and the dialog is then cancelled).
struct SaveDialogRun {
    QString result;
    QString suffix;
    bool asked = false;
};

SaveDialogRun TypeIntoSaveDialog(const QString& folder, const QString& name, bool overwritePrompt) {
    SaveDialogRun run;
    QObject scope; // drops a pending step when the run is over
    QTimer::singleShot(0, &scope, [&] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        run.suffix = dialog->defaultSuffix();
        QTimer::singleShot(0, &scope, [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (box) {
                run.asked = true;
                box->button(QMessageBox::No)->click();
            }
        });
        dialog->setDirectory(folder);
        dialog->selectFile(name);
        static_cast<QDialog*>(dialog)->accept(); // as the Save button does
        if (dialog->isVisible())
            dialog->reject();
    });
    CQtPromptService qt;
    run.result = qt.SaveFileDialog(QStringLiteral("位图文件(*.bmp)||"), QStringLiteral("bmp"),
                                   overwritePrompt);
    return run;
}

} // namespace

TEST(QtPromptTest, SaveDialogAsksAboutTheNameWithItsDefaultExtension) {
    QTemporaryDir dir;
    const QString shot = dir.filePath(QStringLiteral("shot.bmp"));
    QFile(shot).open(QIODevice::WriteOnly);

    SaveDialogRun run = TypeIntoSaveDialog(dir.path(), QStringLiteral("shot"), true);
    EXPECT_EQ(run.suffix, QStringLiteral("bmp"));
    EXPECT_TRUE(run.asked) << "typing \"shot\" would replace shot.bmp";
    EXPECT_EQ(run.result, QString());

    // Without the question (the .tda copies) the completed name comes back.
    run = TypeIntoSaveDialog(dir.path(), QStringLiteral("shot"), false);
    EXPECT_FALSE(run.asked);
    EXPECT_EQ(run.result, shot);

    run = TypeIntoSaveDialog(dir.path(), QStringLiteral("fresh"), true);
    EXPECT_FALSE(run.asked);
    EXPECT_EQ(run.result, dir.filePath(QStringLiteral("fresh.bmp")));
}

TEST(RecentFileListTest, KeepsFourMostRecentFirstAndPersists) {
    QTemporaryDir dir;
    const QString ini = dir.filePath(QStringLiteral("profile.ini"));
    CRecentFileList list;
    list.Configure(QStringLiteral("test"), 4, ini);
    for (const char* f : {"/a.tda", "/b.tda", "/c.tda", "/d.tda", "/e.tda", "/c.tda"})
        list.Add(QString::fromUtf8(f));
    const QStringList expected = {"/c.tda", "/e.tda", "/d.tda", "/b.tda"};
    EXPECT_EQ(list.Files(), expected);
    list.Save();

    CRecentFileList again;
    again.Configure(QStringLiteral("test"), 4, ini);
    again.Load();
    EXPECT_EQ(again.Files(), expected);
    EXPECT_EQ(again.MenuText(0), QStringLiteral("&1 /c.tda"));
}

namespace {

class TestDoc : public CDocument {
public:
    TestDoc() {
        OnCommand(500, [this] { ++docHits; });
        OnCommand(501, [this] { ++docHits; });
    }
    int docHits = 0;
};

class TestView : public CView {
public:
    TestView() {
        OnCommand(501, [this] { ++viewHits; });
        OnCommand(502, [this] { ++viewHits; });
        OnUpdateCommand(502, [this](CCmdUI& ui) { ui.Enable(enabled502); });
        OnUpdateCommand(503, [](CCmdUI& ui) { ui.SetCheck(1); });
    }
    void OnInitialUpdate() override { ++initialUpdates; }
    void OnDraw(QPainter& p, const QRect& r) override {
        ++draws;
        p.fillRect(r, Qt::white);
    }
    void OnTimer(int id) override {
        ++ticks;
        lastTimer = id;
        if (nestLoop) {
            ++depth;
            maxDepth = std::max(maxDepth, depth);
            QEventLoop loop; // a modal loop inside the tick (a message box)
            QTimer::singleShot(120, &loop, &QEventLoop::quit);
            loop.exec();
            --depth;
        }
    }
    int viewHits = 0, initialUpdates = 0, draws = 0, ticks = 0, lastTimer = 0;
    bool enabled502 = true, nestLoop = false;
    int depth = 0, maxDepth = 0;
};

class FrameworkTest : public ShellTest {
protected:
    void SetUp() override {
        ShellTest::SetUp();
        ASSERT_TRUE(Start());
        m_template =
            new CDocTemplate(152, CDocTemplate::Factories::Of<TestDoc, CMDIChildWnd, TestView>());
        theApp.AdoptTemplate(m_template);
        m_doc = static_cast<TestDoc*>(m_template->OpenDocumentFile(QString()));
        ASSERT_NE(m_doc, nullptr);
        m_view = static_cast<TestView*>(m_doc->GetFirstView());
        Settle();
    }
    CDocTemplate* m_template = nullptr;
    TestDoc* m_doc = nullptr;
    TestView* m_view = nullptr;
};

} // namespace

TEST_F(FrameworkTest, CommandsGoToTheFirstHandlerOnTheRoute) {
    EXPECT_EQ(m_view->initialUpdates, 1);
    EXPECT_TRUE(Frame()->SendCommand(500)); // document only
    EXPECT_EQ(m_doc->docHits, 1);
    EXPECT_TRUE(Frame()->SendCommand(501)); // view before document
    EXPECT_EQ(m_view->viewHits, 1);
    EXPECT_EQ(m_doc->docHits, 1);
    EXPECT_FALSE(Frame()->SendCommand(599)); // nobody
    EXPECT_FALSE(Frame()->QueryCommandUI(599).m_bEnabled);

    m_view->enabled502 = false; // a disabled command does not run
    EXPECT_FALSE(Frame()->QueryCommandUI(502).m_bEnabled);
    EXPECT_FALSE(Frame()->SendCommand(502));
    EXPECT_EQ(m_view->viewHits, 1);
    m_view->enabled502 = true;
    EXPECT_TRUE(Frame()->SendCommand(502));
    EXPECT_EQ(m_view->viewHits, 2);

    const CCmdUI checked = Frame()->QueryCommandUI(503);
    EXPECT_TRUE(checked.m_bCheckable);
    EXPECT_EQ(checked.m_nCheck, 1);
    // The frame's close command applies to the active document.
    EXPECT_TRUE(Frame()->QueryCommandUI(cmd::ID_FILE_CLOSE).m_bEnabled);
    EXPECT_TRUE(Frame()->SendCommand(cmd::ID_FILE_CLOSE));
    Settle();
    EXPECT_TRUE(m_template->Documents().empty());
}

TEST_F(FrameworkTest, NewWindowShowsTheSameDocumentTwice) {
    EXPECT_TRUE(Frame()->SendCommand(cmd::ID_WINDOW_NEW));
    Settle();
    ASSERT_EQ(m_doc->Views().size(), 2u);
    EXPECT_EQ(m_doc->Views()[1]->GetParentFrame()->windowTitle(), m_doc->GetTitle() + ":2");
    // Closing one window keeps the document; closing the last closes it.
    m_doc->Views()[1]->GetParentFrame()->close();
    Settle();
    EXPECT_EQ(m_doc->Views().size(), 1u);
    EXPECT_EQ(m_template->Documents().size(), 1u);
    m_view->GetParentFrame()->close();
    Settle();
    EXPECT_TRUE(m_template->Documents().empty());
}

TEST_F(FrameworkTest, TimerTicksAreNeverNested) {
    m_view->nestLoop = true;
    ASSERT_TRUE(m_view->SetTimer(1, 20));
    QEventLoop loop;
    QTimer::singleShot(400, &loop, &QEventLoop::quit);
    loop.exec();
    EXPECT_GE(m_view->ticks, 1);
    EXPECT_EQ(m_view->maxDepth, 1);
    EXPECT_EQ(m_view->lastTimer, 1);
    EXPECT_TRUE(m_view->KillTimer(1));
    EXPECT_FALSE(m_view->KillTimer(1));
}

TEST_F(FrameworkTest, DrawingOutsideARepaintStaysUntilInvalidated) {
    m_view->resize(200, 100);
    QImage before = m_view->grab().toImage();
    EXPECT_EQ(before.pixelColor(10, 10), QColor(Qt::white));
    const int draws = m_view->draws;
    m_view->DrawNow([](QPainter& p, const QRect&) { p.fillRect(QRect(5, 5, 20, 20), Qt::red); });
    EXPECT_EQ(m_view->grab().toImage().pixelColor(10, 10), QColor(Qt::red));
    EXPECT_EQ(m_view->draws, draws); // no full repaint for the segment
    m_view->Invalidate();
    EXPECT_EQ(m_view->grab().toImage().pixelColor(10, 10), QColor(Qt::white));
    EXPECT_GT(m_view->draws, draws);
    // The bitmap picture is the plain screen drawing.
    EXPECT_EQ(m_view->RenderClient().size(), QSize(200, 100));
}

namespace {

class PrintView : public TestView {
public:
    void OnPrepareDC(QPainter& p, CPrintInfo* info) override {
        if (info)
            ++prepared;
        (void)p;
    }
    void OnPrint(QPainter& p, CPrintInfo& info) override {
        ++pages;
        page = info.m_rectDraw;
        p.drawRect(info.m_rectDraw.adjusted(10, 10, -10, -10));
    }
    int prepared = 0, pages = 0;
    QRect page;
};

} // namespace

TEST(PrintLoopTest, PrintsOnePageWithTheHooks) {
    QTemporaryDir dir;
    PrintView view;
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(dir.filePath(QStringLiteral("page.pdf")));
    printer.setPageOrientation(QPageLayout::Landscape);
    EXPECT_EQ(view.PrintTo(printer), 1);
    EXPECT_EQ(view.pages, 1);
    EXPECT_EQ(view.prepared, 1);
    EXPECT_GT(view.page.width(), view.page.height()); // landscape
    EXPECT_GT(QFileInfo(dir.filePath(QStringLiteral("page.pdf"))).size(), 0);
}

TEST(PrintLoopTest, APrinterThatCannotStartIsReported) {
    QTemporaryDir dir;
    CScriptedPromptService prompts;
    PrintView view;
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    const QString pdf = dir.filePath(QStringLiteral("no/such/folder/page.pdf"));
    printer.setOutputFileName(pdf);
    EXPECT_EQ(view.PrintTo(printer), 0);
    EXPECT_EQ(view.pages, 0);
    EXPECT_EQ(prompts.Messages(), QStringList{QStringLiteral("打印失败！")});
    EXPECT_FALSE(QFileInfo::exists(pdf));
}

TEST_F(ShellTest, DroppedFilesOpenAsHistoryWindows) {
    ASSERT_TRUE(Start());
    const QString file = TempPath("dropped.tda");
    WriteAll(file, QByteArray(10, '\0'));
    EXPECT_TRUE(Frame()->acceptDrops());
    EXPECT_EQ(
        Frame()->OpenDroppedFiles({QUrl::fromLocalFile(file), QUrl("http://example.org/x.tda")}),
        1);
    Settle();
    ASSERT_EQ(Frame()->ChildWindows().size(), 1u);
    EXPECT_EQ(Frame()->GetActiveDocument()->GetPathName(), QFileInfo(file).absoluteFilePath());
}

TEST_F(ShellTest, AboutDialog) {
    ASSERT_TRUE(Start());
    QString title, text;
    CDialog::SetModalScript([&](CDialog& d) {
        title = d.windowTitle();
        for (QLabel* l : d.findChildren<QLabel*>())
            text += l->text();
        EXPECT_EQ(d.GetDlgItemText(IDOK), QStringLiteral("确定"));
        d.PressButton(IDOK);
    });
    EXPECT_TRUE(Frame()->SendCommand(cmd::ID_APP_ABOUT));
    EXPECT_EQ(title, QStringLiteral("关于 Vantrel"));
    EXPECT_EQ(text, QStringLiteral("Vantrel 1.0 版"));
}
