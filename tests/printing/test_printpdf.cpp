// The printed page as a PDF file, rasterised with pdftoppm and looked at as
// a picture: landscape A4, the header table at the top, the curves below.

#include "timearith.h"
#include "trendprinter.h"

#include <QGuiApplication>
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

namespace {

SYSTEMTIME Time(int y, int mo, int d, int h, int mi, int s) {
    SYSTEMTIME t{};
    t.wYear = uint16_t(y);
    t.wMonth = uint16_t(mo);
    t.wDay = uint16_t(d);
    t.wHour = uint16_t(h);
    t.wMinute = uint16_t(mi);
    t.wSecond = uint16_t(s);
    return t;
}

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
    page.save("/tmp/printing-look.png");
}

int main(int argc, char** argv) {
    // Headless in every case, also when the test list is collected at build time.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
