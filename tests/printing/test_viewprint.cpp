// The history view's print commands and "另存为位图..." in a started program,
// with scripted prompts, under Qt's offscreen platform.

#include "bitmapexport.h"
#include "commandids.h"
#include "document.h"
#include "scriptedpromptservice.h"
#include "tdafile.h"
#include "testsupport.h"
#include "timearith.h"
#include "vantrel.h"
#include "vantrelview.h"

#include <QApplication>
#include <QFile>
#include <QImageReader>
#include <QPageLayout>
#include <QPageSize>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QProcess>
#include <QRegularExpression>
#include <QSettings>
#include <QTemporaryDir>
#include <QTimer>
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <memory>
#include <vector>

namespace {

QByteArray ReadAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QString RunTool(const QString& program, const QStringList& args) {
    QProcess p;
    p.start(program, args);
    p.waitForFinished(60000);
    return QString::fromUtf8(p.readAllStandardOutput());
}

void Settle() {
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCoreApplication::processEvents();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

uint32_t U32At(const QByteArray& b, int at) {
    return uint8_t(b[at]) | (uint8_t(b[at + 1]) << 8) | (uint8_t(b[at + 2]) << 16) |
           (uint32_t(uint8_t(b[at + 3])) << 24);
}

// The scripted prompts, also noting whether each save dialog was asked to
// confirm overwriting an existing file.
class PromptsWithOverwriteFlag : public CScriptedPromptService {
public:
    QString SaveFileDialog(const QString& filter, const QString& defaultExt,
                           bool overwritePrompt) override {
        m_overwritePrompts.push_back(overwritePrompt);
        return CScriptedPromptService::SaveFileDialog(filter, defaultExt, overwritePrompt);
    }
    std::vector<bool> m_overwritePrompts;
};

class ViewPrintTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_dir.isValid());
        qputenv("VANTREL_DATA_DIR", m_dir.filePath("data").toLocal8Bit());
        qputenv("XDG_CONFIG_HOME", m_dir.filePath("config").toLocal8Bit());
        QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, m_dir.filePath("config"));
        theApp.m_nTempUnit = 0;
        m_prompts = std::make_unique<PromptsWithOverwriteFlag>();
        ASSERT_TRUE(theApp.InitInstance());
        Settle();
    }

    void TearDown() override {
        theApp.ExitInstance();
        Settle();
        m_prompts.reset();
    }

    // Two channels, 5 minutes at 1 s, shown whole.
    QString WriteRecording(const char* name) {
        const SYSTEMTIME start = testsupport::Time(2025, 1, 2, 10, 0, 0);
        TdaHeader h = BeginTdaHeader(1, 2, start);
        std::vector<int16_t> values;
        for (int i = 0; i < 301; ++i) {
            AccountForSample(h, start);
            values.push_back(int16_t(300 + 200 * std::sin(i / 30.0)));
            values.push_back(int16_t(500 + i));
        }
        CurveParameters p = MakeFreshCurveParameters();
        p.channelCount = 2;
        p.timeLength = 5;
        p.yMinTenths = 0;
        p.yMaxTenths = 1000;
        const QString path = m_dir.filePath(name);
        EXPECT_TRUE(WriteTdaFile(path.toStdString(), h, p, values, nullptr));
        return path;
    }

    CVantrelView* Open(const QString& path) {
        CDocument* doc = theApp.OpenDocumentFile(path);
        Settle();
        return doc ? dynamic_cast<CVantrelView*>(doc->GetFirstView()) : nullptr;
    }

    QTemporaryDir m_dir;
    std::unique_ptr<PromptsWithOverwriteFlag> m_prompts;
};

} // namespace

TEST_F(ViewPrintTest, SavedBitmapOfA101PixelWideClientIsTheScreenPicture) {
    CVantrelView* view = Open(WriteRecording("run.tda"));
    ASSERT_NE(view, nullptr);
    ASSERT_TRUE(view->Window().HasData());
    view->resize(101, 93);
    const QString bmp = m_dir.filePath("shot.bmp");
    m_prompts->AnswerSave(bmp);
    ASSERT_TRUE(view->OnCmdMsg(cmd::ID_SAVE_BITMAP));

    EXPECT_EQ(m_prompts->SaveFilters(), QStringList{"位图文件(*.bmp)||"});
    EXPECT_EQ(m_prompts->SaveExtensions(), QStringList{"bmp"});
    EXPECT_EQ(m_prompts->m_overwritePrompts, std::vector<bool>{true}) << "asks before overwriting";
    EXPECT_TRUE(m_prompts->Messages().isEmpty());

    const QByteArray bytes = ReadAll(bmp);
    ASSERT_EQ(bytes.size(), 304 * 93 + 54); // rows of 303 bytes padded to 304
    EXPECT_EQ(bytes.left(2), "BM");
    EXPECT_EQ(U32At(bytes, 18), 101u);
    EXPECT_EQ(U32At(bytes, 22), 93u);
    EXPECT_EQ(U32At(bytes, 34), 304u * 93);

    const QImage screen = view->RenderClient().convertToFormat(QImage::Format_RGB32);
    QImageReader reader(bmp);
    const QImage back = reader.read();
    ASSERT_FALSE(back.isNull()) << reader.errorString().toStdString();
    ASSERT_EQ(back.size(), screen.size());
    for (int y = 0; y < screen.height(); ++y)
        for (int x = 0; x < screen.width(); ++x)
            ASSERT_EQ(back.pixel(x, y), screen.pixel(x, y)) << "pixel " << x << "," << y;
}

TEST_F(ViewPrintTest, BitmapShowsTheCursorReadoutWhenItIsShown) {
    CVantrelView* view = Open(WriteRecording("run.tda"));
    ASSERT_NE(view, nullptr);
    view->resize(500, 300);
    view->Readout().cursorState = kCursorShown;
    view->Readout().cursorX = 150;
    const QString bmp = m_dir.filePath("cursor.bmp");
    m_prompts->AnswerSave(bmp);
    view->OnCmdMsg(cmd::ID_SAVE_BITMAP);
    const QImage back(bmp);
    ASSERT_EQ(back.size(), QSize(500, 300));
    // The red cursor line runs down the plot (margins 30 top and bottom).
    int red = 0;
    for (int y = 31; y < 270; ++y)
        red += back.pixel(150, y) == qRgb(255, 0, 0);
    EXPECT_GT(red, 200);
    // The readout box stands on the side opposite the cursor.
    EXPECT_EQ(back.pixel(262, 40), qRgb(245, 245, 245));
    EXPECT_NE(back.pixel(60, 40), qRgb(245, 245, 245));
}

TEST_F(ViewPrintTest, BitmapCancelledOrUncreatableWritesNothing) {
    CVantrelView* view = Open(WriteRecording("run.tda"));
    ASSERT_NE(view, nullptr);
    m_prompts->AnswerSave(QString()); // cancel
    view->OnCmdMsg(cmd::ID_SAVE_BITMAP);
    EXPECT_TRUE(m_prompts->Messages().isEmpty());

    const QString bad = m_dir.filePath("no/such/folder/x.bmp");
    m_prompts->AnswerSave(bad);
    view->OnCmdMsg(cmd::ID_SAVE_BITMAP);
    EXPECT_EQ(m_prompts->Messages(), QStringList{"图片保存失败！"});
    EXPECT_FALSE(QFile::exists(bad));
}

TEST_F(ViewPrintTest, DirectPrintMakesOneLandscapeA4PageAndKeepsThatSetting) {
    CVantrelView* view = Open(WriteRecording("run.tda"));
    ASSERT_NE(view, nullptr);
    QPrinter& printer = theApp.GetPrinter();
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setPageSize(QPageSize(QPageSize::Letter));
    printer.setPageOrientation(QPageLayout::Portrait);

    for (const char* name : {"first.pdf", "second.pdf"}) {
        const QString pdf = m_dir.filePath(name);
        printer.setOutputFileName(pdf);
        ASSERT_TRUE(view->OnCmdMsg(cmd::ID_FILE_PRINT_DIRECT));
        // The shared settings stay landscape A4 for every later dialog.
        EXPECT_EQ(printer.pageLayout().orientation(), QPageLayout::Landscape);
        EXPECT_EQ(printer.pageLayout().pageSize().id(), QPageSize::A4);

        const QString info = RunTool("pdfinfo", {pdf});
        EXPECT_TRUE(info.contains(QRegularExpression("Pages:\\s+1\\n"))) << info.toStdString();
        EXPECT_TRUE(info.contains(QRegularExpression("Page size:\\s+842 x 595 pts")));
        const QString text = RunTool("pdftotext", {"-layout", pdf, "-"});
        EXPECT_TRUE(text.contains("设备名称：总貌")) << text.toStdString();
        EXPECT_TRUE(text.contains("时间范围：2025-1-2 10:0:0 => 2025-1-2 10:5:0"));
        EXPECT_TRUE(text.contains("通道2:"));
    }
    // The window's end was stored in the view's parameters.
    SYSTEMTIME end = view->Window().m_curvePara.endTime;
    EXPECT_EQ(end.wMinute, 5);
    EXPECT_EQ(end.wHour, 10);
}

TEST_F(ViewPrintTest, PreviewDrawsThePageOnLandscapeA4) {
    CVantrelView* view = Open(WriteRecording("run.tda"));
    ASSERT_NE(view, nullptr);
    QPrinter& printer = theApp.GetPrinter();
    printer.setPageOrientation(QPageLayout::Portrait);
    view->Window().m_curvePara.endTime = SYSTEMTIME{};

    // Close the modal preview once it is up and has drawn its page.
    bool seen = false;
    QTimer closer;
    QObject::connect(&closer, &QTimer::timeout, [&] {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (auto* dlg = qobject_cast<QPrintPreviewDialog*>(w); dlg && dlg->isVisible()) {
                seen = true;
                dlg->reject();
            }
    });
    closer.start(50);
    ASSERT_TRUE(view->OnCmdMsg(cmd::ID_FILE_PRINT_PREVIEW));
    closer.stop();

    EXPECT_TRUE(seen);
    EXPECT_EQ(printer.pageLayout().orientation(), QPageLayout::Landscape);
    EXPECT_EQ(printer.pageLayout().pageSize().id(), QPageSize::A4);
    EXPECT_EQ(view->Window().m_curvePara.endTime.wMinute, 5) << "the page was drawn";
}

TEST_F(ViewPrintTest, AWindowWithoutDataPrintsABlankPage) {
    const QString missing = m_dir.filePath("missing.tda");
    CDocument* doc = theApp.OpenDocumentFile(missing);
    Settle();
    if (!doc)
        GTEST_SKIP() << "a missing file opens no window";
    auto* view = dynamic_cast<CVantrelView*>(doc->GetFirstView());
    ASSERT_NE(view, nullptr);
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    const QString pdf = m_dir.filePath("blank.pdf");
    printer.setOutputFileName(pdf);
    EXPECT_EQ(view->PrintTo(printer), 1);
    EXPECT_TRUE(RunTool("pdftotext", {pdf, "-"}).trimmed().isEmpty());
}

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
