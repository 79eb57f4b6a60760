#include "timearith.h"

#include "testsupport.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>

namespace {

using testsupport::Time;

void ExpectTime(const SYSTEMTIME& got, const SYSTEMTIME& want) {
    EXPECT_EQ(got.wYear, want.wYear);
    EXPECT_EQ(got.wMonth, want.wMonth);
    EXPECT_EQ(got.wDay, want.wDay);
    EXPECT_EQ(got.wHour, want.wHour);
    EXPECT_EQ(got.wMinute, want.wMinute);
    EXPECT_EQ(got.wSecond, want.wSecond);
    // Fixed values, so results stored whole are reproducible.
    EXPECT_EQ(got.wDayOfWeek, 0);
    EXPECT_EQ(got.wMilliseconds, 0);
}

void UseTimeZone(const char* tz) {
    setenv("TZ", tz, 1);
    tzset();
}

class TimeArith : public ::testing::Test {
protected:
    void SetUp() override { UseTimeZone("UTC0"); }
};

TEST_F(TimeArith, AddSecondsNormalisesTheCalendar) {
    struct Case {
        SYSTEMTIME t;
        int32_t n;
        SYSTEMTIME want;
    } cases[] = {
        {Time(2007, 5, 10, 8, 30, 15, 999), 0, Time(2007, 5, 10, 8, 30, 15)},
        {Time(2007, 12, 31, 23, 59, 50), 15, Time(2008, 1, 1, 0, 0, 5)},
        {Time(2008, 2, 28, 23, 59, 59), 1, Time(2008, 2, 29, 0, 0, 0)},
        {Time(2007, 2, 28, 23, 59, 59), 1, Time(2007, 3, 1, 0, 0, 0)},
        {Time(2007, 4, 30, 23, 59, 30), 60, Time(2007, 5, 1, 0, 0, 30)},
        {Time(2008, 3, 1, 0, 0, 0), -1, Time(2008, 2, 29, 23, 59, 59)},
        {Time(2007, 1, 1, 0, 0, 0), 86400 * 365, Time(2008, 1, 1, 0, 0, 0)},
    };
    for (const Case& c : cases)
        ExpectTime(AddSeconds(c.t, c.n), c.want);
}

TEST_F(TimeArith, SubtractSecondsIsAddingTheNegative) {
    ExpectTime(SubtractSeconds(Time(2008, 1, 1, 0, 0, 5), 15), Time(2007, 12, 31, 23, 59, 50));
    ExpectTime(SubtractSeconds(Time(2008, 2, 29, 23, 59, 59), -1), Time(2008, 3, 1, 0, 0, 0));
}

TEST_F(TimeArith, WideAdditionReachesBeyondThe32BitRange) {
    // 3e9 seconds are about 95 years.
    SYSTEMTIME r = AddSecondsWide(Time(2000, 1, 1, 0, 0, 0), 3000000000LL);
    EXPECT_EQ(r.wYear, 2095);
    EXPECT_EQ(DiffSecondsWide(r, Time(2000, 1, 1, 0, 0, 0)), 3000000000LL);
}

TEST_F(TimeArith, DiffSecondsSignsAndClamp) {
    SYSTEMTIME a = Time(2007, 5, 10, 9, 0, 0), b = Time(2007, 5, 10, 8, 0, 0);
    EXPECT_EQ(DiffSeconds(a, b), 3600);
    EXPECT_EQ(DiffSeconds(b, a), -3600);
    EXPECT_EQ(DiffSeconds(a, a), 0);
    EXPECT_EQ(DiffSeconds(Time(2100, 1, 1, 0, 0, 0), Time(1950, 1, 1, 0, 0, 0)), INT32_MAX);
    EXPECT_EQ(DiffSeconds(Time(1950, 1, 1, 0, 0, 0), Time(2100, 1, 1, 0, 0, 0)), INT32_MIN);
}

TEST_F(TimeArith, CompareTimeIgnoresMillisecondsAndDayOfWeek) {
    SYSTEMTIME a = Time(2007, 5, 10, 8, 30, 15, 0), b = Time(2007, 5, 10, 8, 30, 15, 999);
    b.wDayOfWeek = 6;
    EXPECT_EQ(CompareTime(a, b), 0);
    EXPECT_EQ(CompareTime(a, Time(2007, 5, 10, 8, 30, 16)), -1);
    EXPECT_EQ(CompareTime(Time(2007, 5, 11, 0, 0, 0), a), 1);
}

TEST(TimeArithDst, ResultsFollowLocalClockAcrossDaylightSaving) {
    // Central Europe: clocks go from 02:00 to 03:00 on 2024-03-31 and from
    // 03:00 back to 02:00 on 2024-10-27.
    UseTimeZone("CET-1CEST,M3.5.0,M10.5.0/3");
    ExpectTime(AddSeconds(Time(2024, 3, 31, 1, 59, 30), 60), Time(2024, 3, 31, 3, 0, 30));
    EXPECT_EQ(DiffSeconds(Time(2024, 3, 31, 3, 0, 0), Time(2024, 3, 31, 1, 0, 0)), 3600);
    ExpectTime(SubtractSeconds(Time(2024, 3, 31, 3, 0, 0), 1), Time(2024, 3, 31, 1, 59, 59));
    // A whole day of seconds across the spring change lands an hour later
    // on the clock, since that day had only 23 hours.
    ExpectTime(AddSeconds(Time(2024, 3, 30, 12, 0, 0), 86400), Time(2024, 3, 31, 13, 0, 0));
    EXPECT_EQ(DiffSeconds(Time(2024, 10, 28, 0, 0, 0), Time(2024, 10, 27, 0, 0, 0)), 25 * 3600);
}

TEST(BitSet, IndexesByteAndBit) {
    uint8_t bytes[10] = {};
    SetBit(bytes, 9);
    EXPECT_EQ(bytes[1], 0x02);
    EXPECT_TRUE(GetBit(bytes, 9));
    EXPECT_FALSE(GetBit(bytes, 8));
    SetBit(bytes, 79);
    EXPECT_EQ(bytes[9], 0x80);
    ClearBit(bytes, 9);
    EXPECT_EQ(bytes[1], 0x00);
    EXPECT_TRUE(GetBit(bytes, 79));
    // Negative indices touch nothing.
    SetBit(bytes, -1);
    EXPECT_FALSE(GetBit(bytes, -1));
    for (uint8_t b : bytes)
        EXPECT_TRUE(b == 0 || b == 0x80);
}

TEST(CurrentTime, IsAPlausibleLocalTime) {
    SYSTEMTIME now = CurrentLocalTime();
    EXPECT_GE(now.wYear, 2024);
    EXPECT_LT(now.wMilliseconds, 1000);
    EXPECT_LE(std::abs(DiffSeconds(now, SecondsToLocalTime(std::time(nullptr)))), 2);
}

} // namespace
