#include "tdafile.h"
#include "testsupport.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <ctime>

namespace {

using testsupport::Time;

class TdaFormat : public ::testing::Test {
protected:
    void SetUp() override {
        setenv("TZ", "UTC0", 1);
        tzset();
    }
};

TEST_F(TdaFormat, BeginHeaderFillsEveryField) {
    SYSTEMTIME now = Time(2007, 5, 10, 8, 30, 15);
    now.wMilliseconds = 123;
    TdaHeader h = BeginTdaHeader(1, 8, now);
    EXPECT_EQ(std::memcmp(h.signature, kTdaSignature, 8), 0);
    EXPECT_STREQ(h.makerName, "Brenvoltek");
    for (size_t i = 10; i < sizeof h.makerName; ++i)
        EXPECT_EQ(h.makerName[i], 0);
    EXPECT_EQ(h.sampleInterval, 1);
    EXPECT_EQ(h.channelCount, 8);
    EXPECT_EQ(std::memcmp(&h.runStartTime, &now, sizeof now), 0);
    EXPECT_EQ(std::memcmp(&h.lastSampleTime, &now, sizeof now), 0);
    EXPECT_EQ(h.sampleCount, 0);
    EXPECT_EQ(h.valueScale, 1);
    for (uint8_t b : h.reserved1)
        EXPECT_EQ(b, 0);
}

TEST_F(TdaFormat, IntegritySumExample) {
    TdaHeader h = BeginTdaHeader(1, 8, Time(2007, 5, 10, 8, 30, 15));
    EXPECT_EQ(h.checksum, -191);
    EXPECT_TRUE(VerifyTdaHeader(h));
    SYSTEMTIME last{};
    for (int i = 0; i < 100; ++i) {
        last = Time(2007, 5, 10, 8, 30, 16);
        AccountForSample(h, last);
    }
    EXPECT_EQ(h.sampleCount, 100);
    EXPECT_EQ(h.checksum, -91);
    EXPECT_EQ(h.lastSampleTime.wSecond, 16);
    EXPECT_TRUE(VerifyTdaHeader(h));
}

TEST_F(TdaFormat, SumCoversCountAndStartButNotNameScaleOrLastTime) {
    TdaHeader h = BeginTdaHeader(1, 8, Time(2007, 5, 10, 8, 30, 15));
    AccountForSample(h, Time(2007, 5, 10, 8, 30, 16));
    TdaHeader changed = h;
    changed.sampleCount = 5;
    EXPECT_FALSE(VerifyTdaHeader(changed));
    changed = h;
    changed.runStartTime.wMinute = 31;
    EXPECT_FALSE(VerifyTdaHeader(changed));
    changed = h;
    changed.signature[0] ^= 1;
    EXPECT_FALSE(VerifyTdaHeader(changed));
    changed = h;
    changed.valueScale = 2;
    changed.makerName[0] = 'X';
    changed.lastSampleTime.wYear = 1999;
    changed.runStartTime.wMilliseconds = 500;
    changed.runStartTime.wDayOfWeek = 3;
    EXPECT_TRUE(VerifyTdaHeader(changed));
}

TEST_F(TdaFormat, HostileFieldsWrapInsteadOfOverflowing) {
    TdaHeader h = BeginTdaHeader(INT32_MIN, INT32_MAX, Time(65535, 65535, 65535, 0, 0, 0));
    h.sampleCount = INT32_MAX;
    h.checksum = ComputeTdaChecksum(h);
    EXPECT_TRUE(VerifyTdaHeader(h));
    AccountForSample(h, Time(2007, 1, 1, 0, 0, 0));
    EXPECT_EQ(h.sampleCount, INT32_MIN);
    EXPECT_TRUE(VerifyTdaHeader(h));
}

TEST_F(TdaFormat, RowAndValueOffsets) {
    EXPECT_EQ(TdaRowOffset(0, 8), 660);
    EXPECT_EQ(TdaRowOffset(3, 8), 708);
    EXPECT_EQ(TdaRowOffset(1, 80), 820);
    EXPECT_EQ(TdaValueOffset(3, 2, 8), 712);
    // Beyond 2 GB: 64-bit arithmetic.
    EXPECT_EQ(TdaRowOffset(INT32_MAX, 80), 660 + 160LL * INT32_MAX);
    EXPECT_EQ(TdaRowBytes(81), 0);
    EXPECT_EQ(TdaRowBytes(-1), 0);
}

TEST_F(TdaFormat, RowTimesCrossMidnightMonthEndsAndLeapDays) {
    struct Case {
        SYSTEMTIME start;
        int32_t interval;
        long long row;
        SYSTEMTIME want;
    } cases[] = {
        {Time(2007, 5, 10, 23, 59, 30), 60, 1, Time(2007, 5, 11, 0, 0, 30)},
        {Time(2007, 5, 10, 8, 30, 15), 1, 0, Time(2007, 5, 10, 8, 30, 15)},
        {Time(2007, 1, 31, 23, 0, 0), 600, 6, Time(2007, 2, 1, 0, 0, 0)},
        {Time(2008, 2, 28, 23, 59, 50), 5, 2, Time(2008, 2, 29, 0, 0, 0)},
        {Time(2007, 2, 28, 23, 59, 50), 5, 2, Time(2007, 3, 1, 0, 0, 0)},
        {Time(2007, 12, 31, 23, 59, 50), 15, 1, Time(2008, 1, 1, 0, 0, 5)},
        // A count times interval beyond 32 bits.
        {Time(2000, 1, 1, 0, 0, 0), 3600, 1000000, Time(2114, 1, 29, 16, 0, 0)},
    };
    for (const Case& c : cases) {
        TdaHeader h = BeginTdaHeader(c.interval, 8, c.start);
        SYSTEMTIME got = TdaRowTime(h, c.row);
        EXPECT_EQ(got.wYear, c.want.wYear);
        EXPECT_EQ(got.wMonth, c.want.wMonth);
        EXPECT_EQ(got.wDay, c.want.wDay);
        EXPECT_EQ(got.wHour, c.want.wHour);
        EXPECT_EQ(got.wMinute, c.want.wMinute);
        EXPECT_EQ(got.wSecond, c.want.wSecond);
    }
}

TEST_F(TdaFormat, RawValueToDegrees) {
    struct Case {
        int16_t raw;
        uint8_t scale;
        bool fahrenheit;
        double want;
    } cases[] = {
        {2345, 1, false, 234.5},   {2345, 2, false, 23.45},   {2345, 0, false, 234.5},
        {19999, 2, false, 1999.9}, {19999, 1, false, 1999.9}, {1000, 1, true, 212.0},
        {250, 1, true, 77.0},      {-400, 1, true, -40.0},    {-400, 1, false, -40.0},
        {0, 1, true, 32.0},        {2500, 2, true, 77.0},     {-32768, 1, false, -3276.8},
    };
    for (const Case& c : cases)
        EXPECT_NEAR(RawToDegrees(c.raw, c.scale, c.fahrenheit), c.want, 1e-9)
            << c.raw << " scale " << int(c.scale) << " F " << c.fahrenheit;
    EXPECT_EQ(TdaValueDivisor(2, 2345), 100);
    EXPECT_EQ(TdaValueDivisor(2, 19999), 10);
    EXPECT_EQ(TdaValueDecimals(1, 2345), 1);
    EXPECT_EQ(TdaValueDecimals(2, 2345), 2);
    // The count in the shown unit: 50.0 C is 1220 tenths Fahrenheit.
    EXPECT_DOUBLE_EQ(ConvertCount(500, 10, true), 1220.0);
    EXPECT_DOUBLE_EQ(ConvertCount(500, 10, false), 500.0);
}

TEST(TdaErrors, EveryErrorHasAText) {
    for (TdaError e : {TdaError::None, TdaError::CannotOpen, TdaError::TruncatedHeader,
                       TdaError::ChannelCountOutOfRange, TdaError::NonPositiveInterval,
                       TdaError::MissingTrailer, TdaError::ReadFailed, TdaError::WriteFailed,
                       TdaError::NotOpen, TdaError::NotWritable, TdaError::RowOutOfRange})
        EXPECT_GT(std::strlen(TdaErrorText(e)), 5u);
}

} // namespace
