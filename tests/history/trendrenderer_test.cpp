// The trend drawing routines on the recording device context: the exact
// coordinates of the frame, grid, labels, curves and readout.

#include "recordingdc.h"
#include "tdafile.h"
#include "trendrenderer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

namespace {

const DcRect kClient{0, 0, 800, 600}; // plot (40, 30)-(760, 570)

CurveParameters Params() {
    CurveParameters p = MakeFreshCurveParameters();
    p.startTime = SYSTEMTIME{2007, 5, 0, 10, 8, 5, 0, 0};
    return p;
}

std::vector<std::string> TextsOf(const RecordingDc& dc) {
    std::vector<std::string> out;
    for (const auto& t : dc.Texts())
        out.push_back(t.text);
    return out;
}

// A zeroed display buffer on the heap (it is 192 KB).
struct Buffer {
    struct Holder {
        DisplayBuffer values{};
    };
    std::unique_ptr<Holder> data = std::make_unique<Holder>();
    const DisplayBuffer& operator*() const { return data->values; }
    int16_t* operator[](int c) { return data->values[c]; }
};

} // namespace

TEST(DrawAxes, FrameGridAndLabelsOfTheDefaultLayout) {
    RecordingDc dc;
    const DcPen pen0 = dc.Pen();
    const DcFont font0 = dc.Font();
    CurveParameters p = Params();
    DrawAxes(dc, kClient, p, TrendEnv{}, TimeScale{600, 1, 1.0});

    ASSERT_EQ(dc.Fills().size(), 1u);
    EXPECT_EQ(dc.Fills()[0].rect, kClient);
    EXPECT_EQ(dc.Fills()[0].color, p.backgroundColor);

    // Frame: bottom, top, left, right; then 10 rows and 10 columns of grid.
    const auto& lines = dc.Lines();
    ASSERT_EQ(lines.size(), 4u + 10u + 10u);
    const DcPen grid{p.gridColor, 1};
    EXPECT_EQ(lines[0], (RecordingDc::Line{40, 570, 760, 570, grid}));
    EXPECT_EQ(lines[1], (RecordingDc::Line{40, 30, 760, 30, grid}));
    EXPECT_EQ(lines[2], (RecordingDc::Line{40, 30, 40, 570, grid}));
    EXPECT_EQ(lines[3], (RecordingDc::Line{760, 30, 760, 570, grid}));
    for (int i = 0; i < 10; ++i) {
        EXPECT_EQ(lines[4 + i], (RecordingDc::Line{40, 30 + 54 * i, 760, 30 + 54 * i, grid}));
        EXPECT_EQ(lines[14 + i], (RecordingDc::Line{40 + 72 * i, 30, 40 + 72 * i, 570, grid}));
    }

    // Unit label centred over the value labels, values 300 .. 30 and 0.
    const auto* unit = dc.FindText("℃");
    ASSERT_NE(unit, nullptr);
    EXPECT_EQ(unit->rect, (DcRect{32, 14, 48, 26}));
    const auto texts = TextsOf(dc);
    const std::vector<std::string> values(texts.begin() + 1, texts.begin() + 12);
    EXPECT_EQ(values, (std::vector<std::string>{"300", "270", "240", "210", "180", "150", "120",
                                                "90", "60", "30", "0"}));
    EXPECT_EQ(dc.Texts()[1].rect, (DcRect{14, 24, 38, 36}));    // "300" around y = 30
    EXPECT_EQ(dc.Texts()[8].rect, (DcRect{22, 402, 38, 414}));  // "90" around y = 408
    EXPECT_EQ(dc.Texts()[11].rect, (DcRect{30, 558, 38, 570})); // bottom "0"
    EXPECT_EQ(dc.FindText("时间")->rect, (DcRect{762, 558, 794, 570}));

    // 600 s over 10 columns: labels each minute, no leading zeros.
    const std::vector<std::string> times(texts.end() - 11, texts.end());
    EXPECT_EQ(times,
              (std::vector<std::string>{"8:5:0", "8:6:0", "8:7:0", "8:8:0", "8:9:0", "8:10:0",
                                        "8:11:0", "8:12:0", "8:13:0", "8:14:0", "8:15:0"}));
    EXPECT_EQ(dc.FindText("8:5:0")->rect, (DcRect{20, 572, 60, 584}));
    EXPECT_EQ(dc.FindText("8:15:0")->rect, (DcRect{736, 572, 784, 584})); // under P.right

    for (const auto& t : dc.Texts()) {
        EXPECT_EQ(t.color, p.textColor) << t.text;
        EXPECT_EQ(t.bkMode, DcBkMode::Transparent);
        EXPECT_EQ(t.font, (DcFont{12, 8, "宋体"}));
    }
    EXPECT_EQ(dc.Pen(), pen0);
    EXPECT_EQ(dc.Font(), font0);
    EXPECT_EQ(dc.BkMode(), DcBkMode::Opaque);
}

TEST(DrawAxes, ValueLabelsTruncateAndTheUnitFollowsTheSetting) {
    RecordingDc dc;
    CurveParameters p = Params();
    p.yMinTenths = 0;
    p.yMaxTenths = 25;
    TrendEnv env;
    env.tempUnit = 1;
    DrawAxes(dc, kClient, p, env, TimeScale{600, 1, 1.0});
    const auto texts = TextsOf(dc);
    EXPECT_EQ(texts[0], "F");
    EXPECT_EQ(dc.Texts()[0].rect, (DcRect{36, 14, 44, 26}));
    const std::vector<std::string> values(texts.begin() + 1, texts.begin() + 12);
    EXPECT_EQ(values,
              (std::vector<std::string>{"2", "2", "2", "1", "1", "1", "1", "0", "0", "0", "0"}));
}

TEST(DrawAxes, LongTimeLabelsCarryTheDateAboveTheTime) {
    RecordingDc dc;
    CurveParameters p = Params();
    p.xAxisLongTime = 1;
    p.startTime = SYSTEMTIME{2007, 12, 0, 31, 23, 55, 0, 0};
    DrawAxes(dc, kClient, p, TrendEnv{}, TimeScale{600, 1, 1.0});
    const auto* date = dc.FindText("2007-12-31");
    ASSERT_NE(date, nullptr);
    EXPECT_EQ(date->rect, (DcRect{0, 572, 80, 584}));
    EXPECT_EQ(dc.FindText("23:55:0")->rect, (DcRect{12, 584, 68, 598}));
    // The last label, 600 s later, crosses the year under the right edge.
    const auto& texts = dc.Texts();
    EXPECT_EQ(texts[texts.size() - 2].text, "2008-1-1");
    EXPECT_EQ(texts[texts.size() - 2].rect, (DcRect{728, 572, 792, 584}));
    EXPECT_EQ(texts.back().text, "0:5:0");
    EXPECT_EQ(texts.back().rect, (DcRect{740, 584, 780, 598}));
}

TEST(DrawAxes, ThinnedWindowSpreadsLabelsOverNTimesS) {
    // 1200 points of 6.00584 rows at 1 s: N x S = 7207 s over 10 columns.
    RecordingDc dc;
    CurveParameters p = Params();
    p.startTime = SYSTEMTIME{2007, 5, 0, 10, 0, 0, 0, 0};
    DrawAxes(dc, kClient, p, TrendEnv{}, TimeScale{1200, 1, double(float(7201.0 / 1199))});
    EXPECT_NE(dc.FindText("0:12:0"), nullptr); // 720.7 s
    EXPECT_NE(dc.FindText("2:0:7"), nullptr);  // 7207 s at P.right
}

TEST(DrawPrintAxes, WhiteBackgroundAndAFrameAroundTheOuterRectangle) {
    RecordingDc dc;
    CurveParameters p = Params();
    const DcRect g{10, 100, 1090, 770};
    DrawPrintAxes(dc, g, p, TrendEnv{}, TimeScale{600, 1, 1.0});
    EXPECT_EQ(dc.Fills()[0].color, RGB(255, 255, 255));
    const auto& l = dc.Lines();
    EXPECT_EQ(l[0].y1, 740); // plot frame first
    EXPECT_EQ(l[4], (RecordingDc::Line{10, 770, 1090, 770, {p.gridColor, 1}}));
    EXPECT_EQ(l[5], (RecordingDc::Line{10, 100, 1090, 100, {p.gridColor, 1}}));
    EXPECT_EQ(l[6], (RecordingDc::Line{10, 100, 10, 770, {p.gridColor, 1}}));
    EXPECT_EQ(l[7], (RecordingDc::Line{1090, 100, 1090, 770, {p.gridColor, 1}}));
}

TEST(DrawAxes, CountsThatWouldDivideByZeroDrawNothingForTheirAxis) {
    struct Case {
        int rows, columns;
        size_t lines; // frame + grid
        bool timeLabels;
    } cases[] = {
        {0, 10, 4 + 10, true},
        {10, 0, 4 + 10, false},
        {-3, -3, 4, false},
        {INT32_MAX, INT32_MAX, 4, false}, // a damaged record must not hang the view
    };
    for (const auto& c : cases) {
        RecordingDc dc;
        CurveParameters p = Params();
        p.gridRows = c.rows;
        p.gridColumns = c.columns;
        DrawAxes(dc, kClient, p, TrendEnv{}, TimeScale{600, 1, 1.0});
        EXPECT_EQ(dc.Lines().size(), c.lines) << c.rows << "x" << c.columns;
        EXPECT_EQ(dc.FindText("8:5:0") != nullptr, c.timeLabels);
        EXPECT_NE(dc.FindText("0"), nullptr); // the bottom value label stays
    }
}

TEST(DrawCurves, ThePointOfTheExampleAndOneSegmentPerPointPair) {
    RecordingDc dc;
    CurveParameters p = Params();
    p.visibleChannels[0] = 0x01;
    Buffer b;
    for (int i = 0; i < 1200; ++i)
        b[0][i] = int16_t(i * 2);
    b[0][600] = 1500;
    DrawCurves(dc, kClient, p, TrendEnv{}, *b, 1200, 1199);
    const auto& l = dc.Lines();
    ASSERT_EQ(l.size(), 1198u); // points 0 .. 1198
    EXPECT_EQ(l[599].x2, 400);
    EXPECT_EQ(l[599].y2, 300);
    EXPECT_EQ(l[600].x1, 400);
    EXPECT_EQ(l[600].y1, 300);
    EXPECT_EQ(l[0].x1, 40);
    EXPECT_EQ(l[0].y1, 570);
    EXPECT_EQ(l.back().x2, 40 + 720 * 1198 / 1200); // never reaches P.right
    EXPECT_EQ(l[0].pen, (DcPen{p.channelColors[0], 1}));
}

TEST(DrawCurves, SegmentsOutsideTheRangeAreSkippedOrClamped) {
    CurveParameters p = Params();
    p.visibleChannels[0] = 0x01;
    struct Case {
        int16_t a, b;
        bool drawn;
        int y1, y2;
    } cases[] = {
        {-10, -20, false, 0, 0},     {-10, 1500, true, 570, 300}, {4000, 3500, false, 0, 0},
        {1500, 3500, true, 300, 30}, {3000, 0, true, 30, 570},    {-5, 3001, true, 570, 30},
    };
    for (const auto& c : cases) {
        RecordingDc dc;
        Buffer b;
        b[0][0] = c.a;
        b[0][1] = c.b;
        DrawCurves(dc, kClient, p, TrendEnv{}, *b, 1200, 2);
        ASSERT_EQ(dc.Lines().size(), c.drawn ? 1u : 0u) << c.a << "," << c.b;
        if (c.drawn) {
            EXPECT_EQ(dc.Lines()[0].y1, c.y1);
            EXPECT_EQ(dc.Lines()[0].y2, c.y2);
        }
    }
}

TEST(DrawCurves, ScaleTestLooksAtTheStartValueAndFahrenheitConvertsFirst) {
    CurveParameters p = Params();
    p.visibleChannels[0] = 0x01;
    struct Case {
        uint8_t valueScale, unit;
        int16_t a, b;
        int y1, y2;
    } cases[] = {
        {2, 0, 2500, 2500, 525, 525}, // hundredths against 0 .. 30000
        {2, 0, 19999, 2500, 30, 120}, // 19999 makes the segment tenths
        {1, 1, 1000, 0, 189, 513},    // 100.0 C = 2120 F tenths; 0 C = 320
        {2, 1, 1000, 1000, 480, 480}, // 10.00 C = 50.00 F = 5000 of 30000
    };
    for (const auto& c : cases) {
        RecordingDc dc;
        Buffer b;
        b[0][0] = c.a;
        b[0][1] = c.b;
        TrendEnv env;
        env.valueScale = c.valueScale;
        env.tempUnit = c.unit;
        DrawCurves(dc, kClient, p, env, *b, 1200, 2);
        ASSERT_EQ(dc.Lines().size(), 1u);
        EXPECT_EQ(dc.Lines()[0].y1, c.y1) << c.a;
        EXPECT_EQ(dc.Lines()[0].y2, c.y2) << c.b;
    }
}

TEST(DrawCurves, HiddenChannelsAndDegenerateInputsDrawNothing) {
    Buffer b;
    CurveParameters p = Params(); // channels 1-8 visible, 9-80 hidden
    p.channelCount = 80;
    RecordingDc all;
    DrawCurves(all, kClient, p, TrendEnv{}, *b, 10, 9);
    EXPECT_EQ(all.Lines().size(), 8u * 8u);

    struct Case {
        int32_t lo, hi;
        uint32_t n, l;
    } cases[] = {{100, 100, 10, 9}, {0, 3000, 0, 0}, {0, 3000, 10, 1}, {0, 3000, 10, 0}};
    for (const auto& c : cases) {
        RecordingDc dc;
        p.yMinTenths = c.lo;
        p.yMaxTenths = c.hi;
        DrawCurves(dc, kClient, p, TrendEnv{}, *b, c.n, c.l);
        EXPECT_TRUE(dc.Lines().empty());
    }
    // L beyond N or the buffer is bounded.
    RecordingDc big;
    p = Params();
    p.visibleChannels[0] = 1;
    DrawCurves(big, kClient, p, TrendEnv{}, *b, 5000, 5000);
    EXPECT_EQ(big.Lines().size(), 1199u);
}

TEST(DrawCursorReadout, BoxOppositeTheCursorWithTimeAndValues) {
    CurveParameters p = Params(); // 8 visible channels
    Buffer b;
    for (int c = 0; c < 8; ++c)
        for (int i = 0; i < 600; ++i)
            b[c][i] = int16_t(100 * c + 5);
    CursorReadout r{};
    RecordingDc dc;
    // 600 points at 1 s: x = 100 is point 50, at 8:05:50.
    DrawCursorReadout(dc, kClient, p, TrendEnv{}, *b, TimeScale{600, 1, 1.0}, 599,
                      MakeEmptyChannelNameTable(), 100, 0, r);
    EXPECT_EQ(dc.Lines()[0], (RecordingDc::Line{100, 30, 100, 570, {RGB(255, 0, 0), 1}}));
    ASSERT_EQ(dc.Fills().size(), 1u);
    EXPECT_EQ(dc.Fills()[0].rect, (DcRect{560, 30, 760, 30 + 10 * 14}));
    EXPECT_EQ(dc.Fills()[0].color, RGB(245, 245, 245));
    EXPECT_EQ(dc.Texts()[0].text, "总貌");
    EXPECT_EQ(dc.Texts()[0].rect, (DcRect{644, 30, 676, 44}));
    EXPECT_EQ(dc.Texts()[0].color, RGB(0, 0, 0));
    EXPECT_EQ(dc.Texts()[1].text, "2007-5-10 8:5:50");
    EXPECT_EQ(dc.Texts()[1].rect, (DcRect{596, 44, 724, 58}));
    EXPECT_EQ(dc.Texts()[2].text, "通道1:   0.5℃");
    EXPECT_EQ(dc.Texts()[2].rect, (DcRect{604, 58, 716, 72}));
    EXPECT_EQ(dc.Texts()[2].color, p.channelColors[0]);
    EXPECT_EQ(dc.Texts()[9].text, "通道8:  70.5℃");
    EXPECT_EQ(dc.Texts()[9].rect, (DcRect{604, 156, 716, 170}));
    // Grey separators above each channel line.
    const auto grey = dc.LinesOfColor(RGB(128, 128, 128));
    ASSERT_EQ(grey.size(), 8u);
    EXPECT_EQ(grey[0], (RecordingDc::Line{570, 57, 750, 57, {RGB(128, 128, 128), 1}}));
    EXPECT_EQ(r.cursorValues[7], 705);
    EXPECT_EQ(r.cursorTime.wSecond, 50);

    // Right half: box at the left end of the plot.
    RecordingDc right;
    DrawCursorReadout(right, kClient, p, TrendEnv{}, *b, TimeScale{600, 1, 1.0}, 599,
                      MakeEmptyChannelNameTable(), 400, 0, r);
    EXPECT_EQ(right.Fills()[0].rect.left, 40);
    RecordingDc left;
    DrawCursorReadout(left, kClient, p, TrendEnv{}, *b, TimeScale{600, 1, 1.0}, 599,
                      MakeEmptyChannelNameTable(), 399, 0, r);
    EXPECT_EQ(left.Fills()[0].rect.left, 560);
}

TEST(DrawCursorReadout, ClampsToThePlotAndReadsZeroBeyondTheDrawablePoints) {
    CurveParameters p = Params();
    Buffer b;
    for (int c = 0; c < 8; ++c)
        for (int i = 0; i < 1200; ++i)
            b[c][i] = 250;
    CursorReadout r{};
    RecordingDc dc;
    DrawCursorReadout(dc, kClient, p, TrendEnv{}, *b, TimeScale{1200, 1, 1.0}, 1199,
                      MakeEmptyChannelNameTable(), -50, 0, r);
    EXPECT_EQ(dc.Lines()[0].x1, 40);
    EXPECT_EQ(dc.Texts()[2].text, "通道1:  25.0℃");

    RecordingDc edge;
    DrawCursorReadout(edge, kClient, p, TrendEnv{}, *b, TimeScale{1200, 1, 1.0}, 1199,
                      MakeEmptyChannelNameTable(), 5000, 0, r);
    EXPECT_EQ(edge.Lines()[0].x1, 760);
    EXPECT_EQ(edge.Texts()[1].text, "2007-5-10 8:25:0"); // point N = 1200 s
    for (int c = 0; c < 8; ++c) {
        EXPECT_EQ(edge.Texts()[2 + c].text, "通道" + std::to_string(c + 1) + ":   0.0℃");
        EXPECT_EQ(r.cursorValues[c], 0);
    }
}

TEST(DrawCursorReadout, CustomNamesUnitsAndPrecision) {
    ChannelNameTable names = MakeEmptyChannelNameTable();
    names.customNamesEnabled = 1;
    SetChannelNameUtf8(names, 0, "炉膛");
    TrendEnv env;
    EXPECT_EQ(ReadoutLineText(names, 0, 250, env), "炉膛:  25.0℃");
    EXPECT_EQ(ReadoutLineText(names, 1, 250, env), "通道2:  25.0℃"); // empty name
    env.tempUnit = 1;
    EXPECT_EQ(ReadoutLineText(names, 0, 250, env), "炉膛:  77.0F");
    env.valueScale = 2;
    EXPECT_EQ(ReadoutLineText(names, 0, 2500, env), "炉膛: 77.00F");
    EXPECT_EQ(ReadoutLineText(names, 0, 19999, env), "炉膛: 3631.8F");
    names.customNamesEnabled = 0;
    env.tempUnit = 0;
    EXPECT_EQ(ReadoutLineText(names, 0, -400, env), "通道1: -4.00℃");
}

TEST(DrawCursorReadout, TheChannelListScrollsWithoutEndingEarly) {
    CurveParameters p = Params();
    p.channelCount = 80;
    std::fill(std::begin(p.visibleChannels), std::end(p.visibleChannels), 0xFF);
    Buffer b;
    CursorReadout r{};
    const auto draw = [&](int delta) {
        auto dc = std::make_unique<RecordingDc>();
        DrawCursorReadout(*dc, kClient, p, TrendEnv{}, *b, TimeScale{1200, 1, 1.0}, 1199,
                          MakeEmptyChannelNameTable(), 100, delta, r);
        return dc;
    };
    // 540 / 14 - 2 = 36 lines fit.
    auto dc = draw(0);
    EXPECT_EQ(dc->Texts().size(), 2u + 36u);
    EXPECT_EQ(dc->Fills()[0].rect.bottom, 30 + 38 * 14);
    dc = draw(100);
    EXPECT_EQ(r.legendScroll, 80 - 36);
    EXPECT_EQ(dc->Texts()[2].text.rfind("通道45:", 0), 0u);
    EXPECT_EQ(dc->Texts().back().text.rfind("通道80:", 0), 0u);
    dc = draw(-3);
    EXPECT_EQ(r.legendScroll, 41);
    dc = draw(-100);
    EXPECT_EQ(r.legendScroll, 0);
    EXPECT_EQ(dc->Texts()[2].text.rfind("通道1:", 0), 0u);

    // When everything fits again, a left-over offset does not hide channels.
    draw(100);
    std::fill(std::begin(p.visibleChannels), std::end(p.visibleChannels), 0);
    p.visibleChannels[0] = 0x0F;
    dc = draw(0);
    EXPECT_EQ(r.legendScroll, 0);
    EXPECT_EQ(dc->Texts().size(), 2u + 4u);
    EXPECT_EQ(dc->Texts()[2].text.rfind("通道1:", 0), 0u);
}

TEST(DrawCursorReadout, HistoryTimeUsesIntervalTimesPointThenTheZoomFactor) {
    CurveParameters p = Params();
    p.startTime = SYSTEMTIME{2007, 5, 0, 10, 0, 0, 0, 0};
    Buffer b;
    CursorReadout r{};
    RecordingDc dc;
    const float zoom = float(7201.0 / 1199);
    // x = 400 is point 600: 600 x 1 x 6.00584 = 3603.5 -> 3603 s.
    DrawCursorReadout(dc, kClient, p, TrendEnv{}, *b, TimeScale{1200, 1, zoom}, 1199,
                      MakeEmptyChannelNameTable(), 400, 0, r);
    EXPECT_EQ(dc.Texts()[1].text, "2007-5-10 1:0:3");
}

TEST(DrawCursorReadout, NothingForNoPointsOrAPlotWithoutWidth) {
    CurveParameters p = Params();
    Buffer b;
    CursorReadout r{};
    RecordingDc none;
    DrawCursorReadout(none, kClient, p, TrendEnv{}, *b, TimeScale{0, 1, 1.0}, 0,
                      MakeEmptyChannelNameTable(), 100, 0, r);
    EXPECT_TRUE(none.Order().empty());
    RecordingDc narrow;
    DrawCursorReadout(narrow, DcRect{0, 0, 80, 600}, p, TrendEnv{}, *b, TimeScale{600, 1, 1.0}, 599,
                      MakeEmptyChannelNameTable(), 40, 0, r);
    EXPECT_TRUE(narrow.Order().empty());
}

TEST(DrawLine, SelectsItsOwnPenAndRestoresThePrevious) {
    RecordingDc dc;
    dc.SelectPen({RGB(1, 2, 3), 1});
    DrawLine(dc, RGB(9, 9, 9), 1, 2, 3, 4);
    ASSERT_EQ(dc.Lines().size(), 1u);
    EXPECT_EQ(dc.Lines()[0], (RecordingDc::Line{1, 2, 3, 4, {RGB(9, 9, 9), 1}}));
    EXPECT_EQ(dc.Pen(), (DcPen{RGB(1, 2, 3), 1}));
}
