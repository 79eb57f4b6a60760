// The printed page's layout and header table, recorded call by call.

#include "gbktext.h"
#include "recordingdc.h"
#include "testsupport.h"
#include "timearith.h"
#include "trendprinter.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

using Line = RecordingDc::Line;

constexpr DcColor kGrid = 0x00808000;
constexpr DcRect kPage{0, 0, 1090, 770}; // printable area of A4 landscape at 600 dpi, in units

using testsupport::Time;

CurveParameters Params(int channelCount, std::initializer_list<int> visible) {
    CurveParameters p = MakeFreshCurveParameters();
    p.channelCount = channelCount;
    std::memset(p.visibleChannels, 0, sizeof p.visibleChannels);
    for (int c : visible)
        SetBit(p.visibleChannels, c);
    p.gridColor = kGrid;
    for (int c = 0; c < kMaxChannels; ++c)
        p.channelColors[c] = 0x010000u * c + 0x11; // distinct per channel
    p.startTime = Time(2024, 3, 5, 8, 5, 0);
    p.pointCount = 601;
    return p;
}

struct Drawn {
    RecordingDc dc;
    TrendPrintLayout layout;
    CurveParameters para;
};

Drawn DrawHeader(CurveParameters para, const ChannelNameTable& names = MakeEmptyChannelNameTable(),
                 int32_t interval = 1) {
    Drawn d{{}, LayoutTrendPage(kPage, para), para};
    DrawPrintHeader(d.dc, d.layout.header, d.para, names, d.layout.visible, interval,
                    Time(2026, 12, 11, 9, 3, 7));
    return d;
}

bool HasLine(const RecordingDc& dc, Line want) {
    for (const Line& l : dc.Lines())
        if (l == want)
            return true;
    return false;
}

Line Grid(int x1, int y1, int x2, int y2) {
    return {x1, y1, x2, y2, DcPen{kGrid, 1}};
}

} // namespace

TEST(PrintLayout, HeaderHasAQuarterOfTheVisibleChannelsPlusThreeRows) {
    const struct {
        std::initializer_list<int> visible;
        int rows;
    } cases[] = {{{}, 3},
                 {{0, 1, 2}, 3},
                 {{0, 1, 2, 3}, 4},
                 {{0, 1, 2, 3, 4}, 4},
                 {{0, 1, 2, 3, 4, 5, 6, 7}, 5}};
    for (const auto& c : cases) {
        const TrendPrintLayout l = LayoutTrendPage(kPage, Params(8, c.visible));
        EXPECT_EQ(l.headerRows, c.rows);
        EXPECT_EQ(l.area, (DcRect{10, 10, 1080, 760}));
        EXPECT_EQ(l.header, (DcRect{10, 10, 1080, 10 + c.rows * 18}));
        EXPECT_EQ(l.trend, (DcRect{10, 10 + c.rows * 18, 1080, 760}));
    }
}

TEST(PrintLayout, OnlyChannelsBelowTheChannelCountCount) {
    // Bits beyond the channel count (left over from a longer run) are not channels.
    EXPECT_EQ(CountVisibleChannels(Params(4, {0, 3, 4, 9, 79})), 2);
    EXPECT_EQ(CountVisibleChannels(Params(80, {0, 3, 4, 9, 79})), 5);
    EXPECT_EQ(CountVisibleChannels(Params(-3, {0, 1})), 0);
    EXPECT_EQ(CountVisibleChannels(Params(1000, {79})), 1);
}

TEST(PrintHeader, WithoutVisibleChannelsDrawsTheTitleRowsOnly) {
    const Drawn d = DrawHeader(Params(8, {}));
    const DcRect h{10, 10, 1080, 64};
    ASSERT_EQ(d.layout.header, h);

    ASSERT_EQ(d.dc.Fills().size(), 1u);
    EXPECT_EQ(d.dc.Fills()[0].rect, h);
    EXPECT_EQ(d.dc.Fills()[0].color, 0xFFFFFFu);

    // Frame (bottom, top, left, right), then one line under each title cell.
    const std::vector<Line> expected = {Grid(10, 64, 1080, 64), Grid(10, 10, 1080, 10),
                                        Grid(10, 10, 10, 64),   Grid(1080, 10, 1080, 64),
                                        Grid(10, 28, 545, 28),  Grid(545, 28, 1080, 28),
                                        Grid(10, 46, 1080, 46)};
    EXPECT_EQ(d.dc.Lines(), expected);

    ASSERT_EQ(d.dc.Texts().size(), 3u);
    const RecordingDc::Text& device = d.dc.Texts()[0];
    EXPECT_EQ(device.text, "设备名称：总貌");
    EXPECT_EQ(device.rect, (DcRect{20, 13, 10 + 14 * 8 + 10, 25}));
    const RecordingDc::Text& printed = d.dc.Texts()[1];
    EXPECT_EQ(printed.text, "打印时间：2026-12-11 9:3:7");
    EXPECT_EQ(printed.rect, (DcRect{555, 13, 545 + 26 * 8 + 10, 25}));
    for (const RecordingDc::Text& t : d.dc.Texts()) {
        EXPECT_EQ(t.color, 0u) << t.text;
        EXPECT_EQ(t.font, (DcFont{12, 8, "宋体"})) << t.text;
        EXPECT_EQ(t.bkMode, DcBkMode::Transparent) << t.text;
    }
}

TEST(PrintHeader, TimeRangeRowShowsTheWindowAndStoresItsEnd) {
    // 601 points at 1 s: 8:05:00 to 8:15:00.
    Drawn d = DrawHeader(Params(8, {}));
    const RecordingDc::Text& range = d.dc.Texts()[2];
    const std::string text = "时间范围：2024-3-5 8:5:0 => 2024-3-5 8:15:0";
    EXPECT_EQ(range.text, text);
    EXPECT_EQ(range.rect, (DcRect{20, 31, 10 + int(GbkByteLength(text)) * 8 + 10, 43}));
    EXPECT_EQ(CompareTime(d.para.endTime, Time(2024, 3, 5, 8, 15, 0)), 0);

    // 100 points at 30 s across midnight and a month end.
    CurveParameters p = Params(8, {});
    p.startTime = Time(2024, 2, 29, 23, 30, 0);
    p.pointCount = 100;
    d = DrawHeader(p, MakeEmptyChannelNameTable(), 30);
    EXPECT_EQ(d.dc.Texts()[2].text, "时间范围：2024-2-29 23:30:0 => 2024-3-1 0:19:30");

    // An empty window (nothing loaded) ends where it starts.
    p.pointCount = 0;
    d = DrawHeader(p);
    EXPECT_EQ(d.dc.Texts()[2].text, "时间范围：2024-2-29 23:30:0 => 2024-2-29 23:30:0");
}

TEST(PrintHeader, FiveChannelsFillOneCellRowAndStartANewOne) {
    ChannelNameTable names = MakeEmptyChannelNameTable();
    const Drawn d = DrawHeader(Params(8, {0, 2, 3, 5, 7}), names);
    ASSERT_EQ(d.layout.header, (DcRect{10, 10, 1080, 82}));
    // q = 1070 / 4 = 267; the fourth cell ends at the header's right edge.
    const struct {
        int channel;
        DcRect cell;
    } cells[] = {{0, {10, 46, 277, 64}},
                 {2, {277, 46, 544, 64}},
                 {3, {544, 46, 811, 64}},
                 {5, {811, 46, 1080, 64}},
                 {7, {10, 64, 277, 82}}};
    ASSERT_EQ(d.dc.Texts().size(), 3u + 5u);
    for (int i = 0; i < 5; ++i) {
        const auto& c = cells[i];
        const RecordingDc::Text& label = d.dc.Texts()[3 + i];
        EXPECT_EQ(label.text, "通道" + std::to_string(c.channel + 1) + ":");
        EXPECT_EQ(label.rect, (DcRect{c.cell.left + 10, c.cell.top + 3, c.cell.left + 6 * 8 + 10,
                                      c.cell.top + 15}));
        const int y = c.cell.top + 9;
        const DcColor colour = 0x010000u * c.channel + 0x11;
        EXPECT_EQ(d.dc.LinesOfColor(colour),
                  (std::vector<Line>{
                      {c.cell.left + 6 * 8 + 10 + 30, y, c.cell.right - 30, y, DcPen{colour, 1}}}))
            << "channel " << c.channel;
        EXPECT_TRUE(HasLine(d.dc, Grid(c.cell.left, c.cell.bottom, c.cell.right, c.cell.bottom)));
        EXPECT_TRUE(HasLine(d.dc, Grid(c.cell.right, c.cell.top, c.cell.right, c.cell.bottom)));
    }
    // Invisible channels leave no trace.
    EXPECT_TRUE(d.dc.LinesOfColor(0x010000u * 1 + 0x11).empty());
    EXPECT_EQ(d.dc.FindText("通道2:"), nullptr);
}

TEST(PrintHeader, CustomNamesReplaceTheDefaultLabelWhenSet) {
    ChannelNameTable names = MakeEmptyChannelNameTable();
    SetChannelNameUtf8(names, 0, "炉膛A");
    SetChannelNameUtf8(names, 2, ""); // empty: keeps the default label
    CurveParameters p = Params(4, {0, 2});

    names.customNamesEnabled = 0;
    Drawn d = DrawHeader(p, names);
    EXPECT_NE(d.dc.FindText("通道1:"), nullptr);

    names.customNamesEnabled = 1;
    d = DrawHeader(p, names);
    const RecordingDc::Text* named = d.dc.FindText("炉膛A");
    ASSERT_NE(named, nullptr);
    EXPECT_EQ(named->rect, (DcRect{20, 49, 10 + 5 * 8 + 10, 61})); // 5 GBK bytes
    EXPECT_NE(d.dc.FindText("通道3:"), nullptr);
    EXPECT_EQ(d.dc.LinesOfColor(p.channelColors[0])[0].x1, 10 + 5 * 8 + 10 + 30);
}

TEST(PrintHeader, LeavesTheContextAsItFoundIt) {
    RecordingDc dc;
    dc.SelectPen({0x123456, 3});
    dc.SelectFont({20, 10, "Other"});
    dc.SetTextColor(0x0000FF);
    dc.SetBkMode(DcBkMode::Opaque);
    CurveParameters p = Params(8, {0, 1, 2, 3, 4});
    const TrendPrintLayout l = LayoutTrendPage(kPage, p);
    DrawPrintHeader(dc, l.header, p, MakeEmptyChannelNameTable(), l.visible, 1,
                    Time(2026, 1, 1, 0, 0, 0));
    EXPECT_EQ(dc.Pen(), (DcPen{0x123456, 3}));
    EXPECT_EQ(dc.Font(), (DcFont{20, 10, "Other"}));
    EXPECT_EQ(dc.TextColor(), 0x0000FFu);
    EXPECT_EQ(dc.BkMode(), DcBkMode::Opaque);
}

TEST(PrintPage, HeaderThenAxesOnWhiteThenCurvesWithoutReadout) {
    CurveParameters p = Params(2, {0, 1});
    p.yMinTenths = 0;
    p.yMaxTenths = 1000;
    p.pointCount = 4;
    ChannelNameTable names = MakeEmptyChannelNameTable();
    static DisplayBuffer buffer{};
    for (int i = 0; i < 4; ++i) {
        buffer[0][i] = int16_t(100 * i);
        buffer[1][i] = int16_t(900 - 100 * i);
    }
    TrendPrintSource s;
    s.para = &p;
    s.names = &names;
    s.sampleInterval = 5;
    s.buffer = &buffer;
    s.drawable = 3;
    s.scale.points = 4;
    s.scale.secondsPerStep = 5;

    RecordingDc dc;
    DrawTrendPage(dc, kPage, s, Time(2026, 1, 1, 0, 0, 0));
    const TrendPrintLayout l = LayoutTrendPage(kPage, p);
    ASSERT_EQ(l.header, (DcRect{10, 10, 1080, 64}));
    const DcRect g = l.trend;

    // The header's white, then the trend's white (not the screen background).
    ASSERT_GE(dc.Fills().size(), 2u);
    EXPECT_EQ(dc.Fills()[0].rect, l.header);
    EXPECT_EQ(dc.Fills()[1].rect, g);
    EXPECT_EQ(dc.Fills()[1].color, 0xFFFFFFu);
    // A frame around the trend rectangle.
    EXPECT_TRUE(HasLine(dc, Grid(g.left, g.bottom, g.right, g.bottom)));
    EXPECT_TRUE(HasLine(dc, Grid(g.right, g.top, g.right, g.bottom)));
    // The window ends 3 x 5 s after its start.
    EXPECT_NE(dc.FindText("时间范围：2024-3-5 8:5:0 => 2024-3-5 8:5:15"), nullptr);
    // Two segments per channel (L = 3), drawn below the header.
    for (int c = 0; c < 2; ++c) {
        const std::vector<Line> segments = dc.LinesOfColor(p.channelColors[c]);
        ASSERT_EQ(segments.size(), 1u + 2u) << "legend line and two segments";
        for (std::size_t i = 1; i < segments.size(); ++i)
            EXPECT_GE(std::min(segments[i].y1, segments[i].y2), g.top);
    }
    // No cursor readout on paper.
    EXPECT_TRUE(dc.LinesOfColor(0x0000FF).empty());
    EXPECT_EQ(dc.FindText("总貌"), nullptr);
}
