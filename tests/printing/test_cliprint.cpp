// vantrel-cli print: a real recording printed to a PDF file without printer
// or screen, read back with pdftotext and pdftoppm; and its refusals.

#include "tdafile.h"
#include "testsupport.h"
#include "timearith.h"

#include <QFile>
#include <QImage>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace {

struct ToolRun {
    int exitCode = -1;
    QString out;
    QString err;
};

ToolRun RunTool(const QString& program, const QStringList& args) {
    QProcess p;
    p.start(program, args);
    ToolRun r;
    if (!p.waitForFinished(60000))
        return r;
    r.exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.out = QString::fromUtf8(p.readAllStandardOutput());
    r.err = QString::fromUtf8(p.readAllStandardError());
    return r;
}

ToolRun Cli(const QStringList& args) {
    return RunTool(VANTREL_CLI, args);
}

using testsupport::Time;

// Three channels at 2 s, 20 minutes long, shown 10 minutes at a time; the
// second channel is named.
std::string WriteRecording(const QString& path, bool damageSum = false) {
    const int channels = 3;
    const int rows = 600;
    TdaHeader h = BeginTdaHeader(2, channels, Time(2025, 6, 30, 23, 55, 0));
    std::vector<int16_t> values;
    for (int i = 0; i < rows; ++i) {
        AccountForSample(h, Time(2025, 6, 30, 23, 55, 0));
        for (int c = 0; c < channels; ++c)
            values.push_back(int16_t(1000 + 600 * std::sin(i / 40.0 + c)));
    }
    if (damageSum)
        h.checksum += 1;
    CurveParameters p = MakeFreshCurveParameters();
    p.channelCount = channels;
    p.timeLength = 10;
    p.timeLengthInSeconds = 0;
    p.yMinTenths = 0;
    p.yMaxTenths = 2000;
    p.hasChannelNames = 1;
    ChannelNameTable names = MakeEmptyChannelNameTable();
    names.customNamesEnabled = 1;
    SetChannelNameUtf8(names, 1, "炉膛A");
    EXPECT_TRUE(WriteTdaFile(path.toStdString(), h, p, values, &names));
    return path.toStdString();
}

} // namespace

TEST(CliPrint, WritesTheFirstWindowOnALandscapeA4Page) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString tda = dir.filePath("run.tda");
    const QString pdf = dir.filePath("run.pdf");
    WriteRecording(tda);

    const ToolRun r = Cli({"print", tda, pdf});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();

    // The header's texts are in the PDF as text.
    const ToolRun text = RunTool("pdftotext", {"-layout", pdf, "-"});
    ASSERT_EQ(text.exitCode, 0);
    EXPECT_TRUE(text.out.contains("设备名称：总貌")) << text.out.toStdString();
    EXPECT_TRUE(text.out.contains("打印时间："));
    // 10 minutes at 2 s: 301 rows, from 23:55:00 to 0:05:00 of the next day.
    EXPECT_TRUE(text.out.contains("时间范围：2025-6-30 23:55:0 => 2025-7-1 0:5:0"))
        << text.out.toStdString();
    EXPECT_TRUE(text.out.contains("通道1:"));
    EXPECT_TRUE(text.out.contains("炉膛A"));
    EXPECT_TRUE(text.out.contains("通道3:"));

    const ToolRun info = RunTool("pdfinfo", {pdf});
    EXPECT_TRUE(info.out.contains(QRegularExpression("Pages:\\s+1\\n"))) << info.out.toStdString();
    EXPECT_TRUE(info.out.contains(QRegularExpression("Page size:\\s+842 x 595 pts")))
        << "landscape A4";

    const ToolRun raster =
        RunTool("pdftoppm", {"-r", "48", "-png", "-singlefile", pdf, dir.filePath("page")});
    ASSERT_EQ(raster.exitCode, 0);
    const QImage page(dir.filePath("page.png"));
    ASSERT_FALSE(page.isNull());
    EXPECT_GT(page.width(), page.height()); // landscape
    int red = 0;
    for (int y = page.height() / 4; y < page.height(); ++y)
        for (int x = 0; x < page.width(); ++x) {
            const QRgb p = page.pixel(x, y);
            red += qRed(p) > 200 && qGreen(p) < 90 && qBlue(p) < 90;
        }
    EXPECT_GT(red, 100) << "channel 1's curve";
}

TEST(CliPrint, RefusesWhatCannotBePrintedAndWritesNothing) {
    QTemporaryDir dir;
    const QString good = dir.filePath("good.tda");
    const QString damaged = dir.filePath("damaged.tda");
    WriteRecording(good);
    WriteRecording(damaged, true);
    const QString pdf = dir.filePath("out.pdf");

    const struct {
        QStringList args;
        int exitCode;
    } cases[] = {
        {{"print", dir.filePath("missing.tda"), pdf}, 1},
        {{"print", damaged, pdf}, 1},
        {{"print", good}, 2},
        {{"print", good, pdf, "--bogus"}, 2},
    };
    for (const auto& c : cases) {
        const ToolRun r = Cli(c.args);
        EXPECT_EQ(r.exitCode, c.exitCode) << c.args.join(' ').toStdString();
        EXPECT_FALSE(r.err.isEmpty());
        EXPECT_FALSE(QFile::exists(pdf)) << c.args.join(' ').toStdString();
    }

    const ToolRun r = Cli({"print", good, dir.filePath("no/such/folder/out.pdf")});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.err.contains("cannot write")) << r.err.toStdString();
}

TEST(CliRender, BmpHoldsTheSamePictureAsALosslessPng) {
    QTemporaryDir dir;
    const QString tda = dir.filePath("run.tda");
    WriteRecording(tda);
    const QString bmp = dir.filePath("shot.bmp");
    const QString png = dir.filePath("shot.png");
    ASSERT_EQ(Cli({"render", tda, bmp, "--size", "101x61", "--readout", "60"}).exitCode, 0);
    ASSERT_EQ(Cli({"render", tda, png, "--size", "101x61", "--readout", "60"}).exitCode, 0);

    QFile f(bmp);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QByteArray bytes = f.readAll();
    ASSERT_EQ(bytes.size(), 304 * 61 + 54);
    EXPECT_EQ(bytes.mid(28, 2), QByteArray("\x18\x00", 2)); // 24 bits per pixel
    EXPECT_EQ(bytes.mid(38, 16), QByteArray(16, '\0'));     // no resolution, no colour table

    const QImage fromBmp = QImage(bmp).convertToFormat(QImage::Format_RGB32);
    const QImage fromPng = QImage(png).convertToFormat(QImage::Format_RGB32);
    ASSERT_EQ(fromBmp.size(), QSize(101, 61));
    ASSERT_EQ(fromPng.size(), fromBmp.size());
    for (int y = 0; y < 61; ++y)
        for (int x = 0; x < 101; ++x)
            ASSERT_EQ(fromBmp.pixel(x, y), fromPng.pixel(x, y)) << x << "," << y;
}
