// Geometry, filling and wrap of the live display window.

#include "livedisplay.h"
#include "timearith.h"

#include <gtest/gtest.h>

#include <climits>
#include <memory>
#include <ostream>
#include <string>

namespace {

SYSTEMTIME At(int h, int m, int s) {
    SYSTEMTIME t{};
    t.wYear = 2026;
    t.wMonth = 3;
    t.wDay = 14;
    t.wHour = uint16_t(h);
    t.wMinute = uint16_t(m);
    t.wSecond = uint16_t(s);
    return t;
}

struct GeometryCase {
    int32_t timeLength;
    bool inSeconds;
    int32_t interval;
    uint32_t step;
    uint32_t points;
};

// Readable, stable names ("10min_every1s"): the raw bytes of the struct
// include its padding.
std::string CaseName(const GeometryCase& c) {
    return std::to_string(c.timeLength) + (c.inSeconds ? "s" : "min") + "_every" +
           std::to_string(c.interval) + "s";
}

void PrintTo(const GeometryCase& c, std::ostream* os) {
    *os << CaseName(c);
}

class LiveDisplayGeometry : public ::testing::TestWithParam<GeometryCase> {};

TEST_P(LiveDisplayGeometry, StepAndColumns) {
    const GeometryCase& c = GetParam();
    auto d = std::make_unique<CLiveDisplay>();
    CurveParameters p = MakeFreshCurveParameters();
    p.timeLength = c.timeLength;
    p.timeLengthInSeconds = c.inSeconds ? 1 : 0;
    d->Layout(p, c.interval, At(8, 0, 0));
    EXPECT_EQ(d->DisplayStep(), c.step);
    EXPECT_EQ(d->PointsPerScreen(), c.points);
    EXPECT_EQ(d->DisplayTick(), 0u);
    EXPECT_EQ(CompareTime(p.startTime, At(8, 0, 0)), 0);
    EXPECT_EQ(DiffSeconds(p.endTime, p.startTime), int32_t((c.points - 1) * c.step));
}

INSTANTIATE_TEST_SUITE_P(Examples, LiveDisplayGeometry,
                         ::testing::Values(GeometryCase{10, false, 1, 1, 601},  // a 600 s window
                                           GeometryCase{60, false, 1, 3, 1200}, // 1201 capped
                                           GeometryCase{60, true, 1, 3, 21},    // 60 seconds
                                           GeometryCase{600, true, 1, 30, 21},  // 600 seconds
                                           GeometryCase{10, false, 5, 5, 121},  // 5 s interval
                                           // A zero interval would give a step of 0: guarded.
                                           GeometryCase{10, false, 0, 1, 601},
                                           GeometryCase{1, true, 0, 1, 2},
                                           GeometryCase{0, false, 1, 1, 1}),
                         [](const auto& info) { return CaseName(info.param); });

TEST(LiveDisplay, DamagedTimeLengthsStayInBounds) {
    for (int32_t t : {INT32_MAX, INT32_MIN, -1, -600, 1 << 30}) {
        for (uint8_t inSeconds : {0, 1}) {
            SCOPED_TRACE(t);
            auto d = std::make_unique<CLiveDisplay>();
            CurveParameters p = MakeFreshCurveParameters();
            p.timeLength = t;
            p.timeLengthInSeconds = inSeconds;
            d->Layout(p, 1, At(8, 0, 0));
            EXPECT_GE(d->DisplayStep(), 1u);
            EXPECT_GE(d->PointsPerScreen(), 1u);
            EXPECT_LE(d->PointsPerScreen(), kDisplayColumns);
            int16_t row[kMaxChannels] = {};
            for (int i = 0; i < 3; ++i)
                d->Tick(row, p, At(8, 0, i + 1));
            EXPECT_LT(d->DisplayPos(), kDisplayColumns);
        }
    }
}

TEST(LiveDisplay, FillsFromTheSecondTickAndWrapsAfterTheLastColumn) {
    auto d = std::make_unique<CLiveDisplay>();
    CurveParameters p = MakeFreshCurveParameters(); // 10 minutes
    d->Layout(p, 1, At(8, 0, 0));
    ASSERT_EQ(d->PointsPerScreen(), 601u);
    int16_t row[kMaxChannels] = {};

    SYSTEMTIME now = At(8, 0, 0);
    auto tick = [&](int16_t v) {
        now = AddSeconds(now, 1);
        row[0] = v;
        return d->Tick(row, p, now);
    };
    EXPECT_FALSE(tick(1).added); // first tick after a start: no column yet
    auto c = tick(2);
    EXPECT_TRUE(c.added);
    EXPECT_EQ(c.index, 0u);
    EXPECT_EQ(d->Buffer()[0][0], 2);
    for (uint32_t i = 1; i < 600; ++i) {
        c = tick(int16_t(i + 2));
        ASSERT_TRUE(c.added);
        ASSERT_EQ(c.index, i);
        ASSERT_FALSE(c.wrapped);
    }
    EXPECT_EQ(d->DisplayPos(), 600u);
    c = tick(700); // the 601st column fills the window
    EXPECT_EQ(c.index, 600u);
    EXPECT_TRUE(c.wrapped);
    EXPECT_EQ(d->DisplayPos(), 0u);
    EXPECT_EQ(CompareTime(p.startTime, now), 0);
    EXPECT_EQ(DiffSeconds(p.endTime, now), 600);
    // The buffer is not cleared by the wrap; columns are overwritten.
    EXPECT_EQ(d->Buffer()[0][600], 700);
    c = tick(5);
    EXPECT_EQ(c.index, 0u);
    EXPECT_EQ(d->Buffer()[0][0], 5);
}

TEST(LiveDisplay, SlowerStepFillsEveryThirdTick) {
    auto d = std::make_unique<CLiveDisplay>();
    CurveParameters p = MakeFreshCurveParameters();
    p.timeLength = 60; // minutes: step 3
    d->Layout(p, 1, At(8, 0, 0));
    int16_t row[kMaxChannels] = {};
    std::vector<int> filled;
    for (int t = 1; t <= 10; ++t)
        if (d->Tick(row, p, At(8, 0, t)).added)
            filled.push_back(t);
    EXPECT_EQ(filled, (std::vector<int>{4, 7, 10}));
}

TEST(LiveDisplay, ShorterWindowWrapsAtTheNextColumn) {
    auto d = std::make_unique<CLiveDisplay>();
    CurveParameters p = MakeFreshCurveParameters();
    d->Layout(p, 1, At(8, 0, 0));
    int16_t row[kMaxChannels] = {};
    for (int t = 1; t <= 40; ++t)
        d->Tick(row, p, At(8, 0, t));
    ASSERT_EQ(d->DisplayPos(), 39u);
    p.timeLength = 60;
    p.timeLengthInSeconds = 1; // 21 columns now, the position stays at 39
    d->Layout(p, 1, At(8, 1, 0));
    ASSERT_EQ(d->PointsPerScreen(), 21u);
    CLiveDisplay::Column c;
    for (int t = 1; t <= 5 && !c.added; ++t)
        c = d->Tick(row, p, At(8, 1, t));
    EXPECT_TRUE(c.added);
    EXPECT_TRUE(c.wrapped);
    EXPECT_EQ(d->DisplayPos(), 0u);
}

} // namespace
