// The QPainter device context on real images: lines leave out their end
// point in every direction, on the fast pixel path and through Qt's
// rasteriser alike; fills exclude right and bottom; texts are clipped.

#include "qpainterdc.h"
#include "trendrenderer.h"

#include <QImage>
#include <QPainter>
#include <climits>
#include <gtest/gtest.h>
#include <memory>

namespace {

bool Ink(const QImage& img, int x, int y) {
    return qGray(img.pixel(x, y)) < 128;
}

int InkCount(const QImage& img) {
    int n = 0;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x)
            n += Ink(img, x, y);
    return n;
}

// Draws one line from (20, 20) by (dx, dy) on a white image; clip forces
// the general rasteriser.
QImage LineImage(int dx, int dy, bool clip) {
    QImage img(40, 40, QImage::Format_RGB32);
    img.fill(Qt::white);
    QPainter p(&img);
    if (clip)
        p.setClipRect(0, 0, 40, 40);
    QPainterDc dc(p);
    dc.SelectPen({0, 1});
    dc.MoveTo(20, 20);
    dc.LineTo(20 + dx, 20 + dy);
    return img;
}

} // namespace

TEST(QPainterDc, LinesLeaveOutTheirEndPointInEveryDirection) {
    const int dirs[][2] = {{8, 0}, {-8, 0}, {0, 8},  {0, -8},  {8, 8}, {-8, -8}, {8, -8}, {-8, 8},
                           {8, 3}, {-8, 3}, {8, -3}, {-8, -3}, {3, 8}, {-3, -8}, {1, 0},  {0, -1}};
    for (bool clip : {false, true}) {
        for (const auto& d : dirs) {
            const QImage img = LineImage(d[0], d[1], clip);
            EXPECT_TRUE(Ink(img, 20, 20)) << d[0] << "," << d[1] << " clip " << clip;
            EXPECT_FALSE(Ink(img, 20 + d[0], 20 + d[1])) << d[0] << "," << d[1];
            EXPECT_EQ(InkCount(img), std::max(std::abs(d[0]), std::abs(d[1])));
        }
    }
    EXPECT_EQ(InkCount(LineImage(0, 0, false)), 0);
}

TEST(QPainterDc, FillsExcludeRightAndBottomAndTextsAreClipped) {
    QImage img(60, 40, QImage::Format_RGB32);
    img.fill(Qt::white);
    {
        QPainter p(&img);
        QPainterDc dc(p);
        dc.FillSolidRect({2, 2, 6, 5}, 0);
        dc.SelectFont(TrendLabelFont());
        dc.SetTextColor(0);
        dc.SetBkMode(DcBkMode::Transparent);
        dc.DrawText("8888888888", {10, 10, 34, 22}); // 3 cells shown of 10
    }
    EXPECT_TRUE(Ink(img, 2, 2));
    EXPECT_TRUE(Ink(img, 5, 4));
    EXPECT_FALSE(Ink(img, 6, 4));
    EXPECT_FALSE(Ink(img, 5, 5));
    int textInk = 0;
    for (int y = 0; y < 40; ++y)
        for (int x = 0; x < 60; ++x)
            if (x >= 10 && Ink(img, x, y)) {
                ++textInk;
                EXPECT_LT(x, 34);
                EXPECT_GE(y, 10);
                EXPECT_LT(y, 22);
            }
    EXPECT_GT(textInk, 10);
}

TEST(QPainterDc, TheLabelFontHasThe8By12Cell) {
    const QFont f = QPainterDc::QtFontFor(TrendLabelFont());
    const QFontMetrics m(f);
    EXPECT_EQ(f.pixelSize(), 12);
    EXPECT_EQ(m.horizontalAdvance(QStringLiteral("0")), 8);
    EXPECT_EQ(m.horizontalAdvance(QStringLiteral("12:30:45")), 64);
    EXPECT_EQ(m.horizontalAdvance(QString::fromUtf8("时间")), 32);
}

// A damaged parameter block of a file reaches the routines unchanged: they
// must neither fault nor hang, on either drawing path.
TEST(QPainterDc, DamagedParametersDrawWithoutFault) {
    struct Holder {
        DisplayBuffer values{};
    };
    auto buffer = std::make_unique<Holder>();
    for (int c = 0; c < kMaxChannels; ++c)
        for (uint32_t i = 0; i < kDisplayPoints; ++i)
            buffer->values[c][i] = int16_t((i * 7919 + c * 104729) % 65536 - 32768);
    const int32_t extremes[] = {INT32_MIN, -1, 0, 1, INT32_MAX};
    for (int32_t v : extremes) {
        CurveParameters p = MakeFreshCurveParameters();
        p.channelCount = v;
        std::fill(std::begin(p.visibleChannels), std::end(p.visibleChannels), 0xFF);
        p.gridRows = p.gridColumns = v;
        p.yMinTenths = v;
        p.yMaxTenths = v == INT32_MAX ? INT32_MIN : INT32_MAX;
        for (int32_t& m : p.plotMargins)
            m = v;
        p.plotMargins[1] = v / -2;
        p.startTime = SYSTEMTIME{65535, 65535, 65535, 65535, 65535, 65535, 65535, 65535};
        for (bool clip : {false, true}) {
            QImage img(320, 200, QImage::Format_RGB32);
            QPainter painter(&img);
            if (clip)
                painter.setClipRect(0, 0, 320, 200);
            QPainterDc dc(painter);
            CursorReadout r{};
            r.legendScroll = v;
            const DcRect client{0, 0, 320, 200};
            const TimeScale scale{1200, v, 1e300};
            DrawAxes(dc, client, p, TrendEnv{}, scale);
            DrawCurves(dc, client, p, TrendEnv{}, buffer->values, 1200, 1199);
            DrawCursorReadout(dc, client, p, TrendEnv{}, buffer->values, scale, 1199,
                              MakeEmptyChannelNameTable(), v, v, r);
        }
    }
}
