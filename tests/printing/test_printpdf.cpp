// The printed page as a PDF file, rasterised with pdftoppm and looked at as
// a picture: landscape A4, the header table at the top, the curves below.

#include "testsupport.h"
#include "timearith.h"
#include "trendprinter.h"

#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPrinter>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

namespace {

using testsupport::Time;

// Eight channels of slow waves between 10 and 90 degrees.
struct SampleWindow {
    CurveParameters para = MakeFreshCurveParameters();
    ChannelNameTable names = MakeEmptyChannelNameTable();
    DisplayBuffer buffer{};

    SampleWindow() {
        para.channelCount = 8;
        para.visibleChannels[0] = 0xFF;
        para.yMinTenths = 0;
        para.yMaxTenths = 1000;
        para.startTime = Time(2024, 3, 5, 8, 0, 0);
        para.pointCount = 600;
        for (int c = 0; c < 8; ++c)
            for (int i = 0; i < 600; ++i)
                buffer[c][i] = int16_t(500 + 400 * std::sin(i / 60.0 + c * 0.8));
    }

    TrendPrintSource Source() {
        TrendPrintSource s;
        s.para = &para;
        s.names = &names;
        s.sampleInterval = 1;
        s.buffer = &buffer;
        s.drawable = 599;
        s.scale.points = 600;
        s.scale.secondsPerStep = 1;
        return s;
    }
};

QImage Rasterise(const QString& pdf, const QString& pngBase, int dpi) {
    QProcess p;
    p.start("pdftoppm", {"-r", QString::number(dpi), "-png", "-singlefile", pdf, pngBase});
    if (!p.waitForFinished(60000) || p.exitCode() != 0)
        return {};
    return QImage(pngBase + ".png").convertToFormat(QImage::Format_RGB32);
}

int CountColour(const QImage& img, const QRect& area, QRgb colour, int tolerance = 40) {
    int n = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x) {
            const QRgb p = img.pixel(x, y);
            if (std::abs(qRed(p) - qRed(colour)) <= tolerance &&
                std::abs(qGreen(p) - qGreen(colour)) <= tolerance &&
                std::abs(qBlue(p) - qBlue(colour)) <= tolerance)
                ++n;
        }
    return n;
}

} // namespace

TEST(PrintPdf, PageIsLandscapeA4WithHeaderAboveTheCurves) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    SampleWindow w;
    TrendPrintSource source = w.Source();
    const QString pdf = dir.filePath("page.pdf");
    ASSERT_TRUE(PrintTrendToPdf(pdf, source, Time(2026, 12, 11, 9, 3, 7)));
    EXPECT_EQ(CompareTime(w.para.endTime, Time(2024, 3, 5, 8, 9, 59)), 0);

    const QImage page = Rasterise(pdf, dir.filePath("page"), 96);
    ASSERT_FALSE(page.isNull()) << "pdftoppm failed";
    // A4 landscape at 96 dpi: 1123 x 794.
    EXPECT_NEAR(page.width(), 1123, 2);
    EXPECT_NEAR(page.height(), 794, 2);

    // At 96 dpi a unit is a pixel; the page's coordinates start at the
    // printable area's corner.
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    SetLandscapeA4(printer);
    const QRect printable = printer.pageLayout().paintRectPixels(96);
    const int left = printable.left() + 10;
    const int top = printable.top() + 10;
    const int right = printable.left() + printable.width() - 10;
    const QRgb grid =
        qRgb(GetRValue(w.para.gridColor), GetGValue(w.para.gridColor), GetBValue(w.para.gridColor));

    // The header table: 8 / 4 + 3 = 5 rows of 18 units, ruled in the grid colour.
    for (int k = 0; k <= 5; ++k) {
        const int y = top + 18 * k;
        const QRect band(left + 20, y - 1, right - left - 40, 3);
        EXPECT_GT(CountColour(page, band, grid), (right - left - 40) * 8 / 10) << "rule " << k;
    }
    // Black text in the two title rows.
    EXPECT_GT(CountColour(page, QRect(left, top, right - left, 36), qRgb(0, 0, 0), 90), 200);
    // Channel 1's legend line in red in its cell, and its curve below the header.
    const QRgb red = qRgb(255, 0, 0);
    const int legendY = top + 2 * 18 + 9;
    EXPECT_GT(CountColour(page, QRect(left + 100, legendY - 1, 120, 3), red), 100);
    const QRect trend(left, top + 5 * 18 + 1, right - left, printable.bottom() - top - 5 * 18 - 20);
    EXPECT_GT(CountColour(page, trend, red), 500);
    EXPECT_EQ(CountColour(page, QRect(left, top + 18, right - left, 18), red), 0)
        << "nothing red in the time range row";
}

TEST(PrintMapping, OneLogicalUnitIsANinetySixthOfAnInch) {
    QImage device(8, 8, QImage::Format_RGB32);
    QPainter painter(&device);

    PrepareTrendPrintPainter(painter, 600, 600);
    EXPECT_EQ(painter.combinedTransform().map(QPointF(800, 560)), QPointF(5000, 3500));
    // A printable width of 6814 pixels at 600 dpi is 1090 units.
    const DcRect page = PrintableAreaInUnits(painter, QRect(0, 0, 6814, 4760));
    EXPECT_EQ(page, (DcRect{0, 0, 1090, 762}));

    // Different horizontal and vertical resolutions keep an inch an inch.
    // (The viewport extent 560 x 200 / 96 is truncated to 1166.)
    PrepareTrendPrintPainter(painter, 300, 200);
    const QPointF inch = painter.combinedTransform().map(QPointF(96, 96));
    EXPECT_DOUBLE_EQ(inch.x(), 300);
    EXPECT_NEAR(inch.y(), 200, 0.2);
    painter.end();
}

int main(int argc, char** argv) {
    // Headless in every case, also when the test list is collected at build time.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
