#include "curveparameters.h"

#include "timearith.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <unistd.h>

namespace {

void ExpectSharedDefaults(const CurveParameters& p) {
    EXPECT_EQ(p.channelCount, 8);
    EXPECT_EQ(p.visibleChannels[0], 0xFF);
    EXPECT_EQ(p.gridRows, 10);
    EXPECT_EQ(p.gridColumns, 10);
    EXPECT_EQ(p.yMinTenths, 0);
    EXPECT_EQ(p.yMaxTenths, 3000);
    EXPECT_EQ(p.backgroundColor, 0x000000u);
    EXPECT_EQ(p.gridColor, 0x008000u);
    EXPECT_EQ(p.textColor, 0x0080FFu);
    const COLORREF colors[8] = {0x0000FF, 0x00FF00, 0xFF0000, 0xFF00FF,
                                0xFFFF00, 0x00FFFF, 0x800080, 0xFF8000};
    for (int n = 0; n < kMaxChannels; ++n)
        EXPECT_EQ(p.channelColors[n], colors[n % 8]) << n;
    EXPECT_EQ(p.plotMargins[0], 40);
    EXPECT_EQ(p.plotMargins[1], 40);
    EXPECT_EQ(p.plotMargins[2], 30);
    EXPECT_EQ(p.plotMargins[3], 30);
}

TEST(CurveParameters, FreshRecordDefaults) {
    CurveParameters p = MakeFreshCurveParameters();
    ExpectSharedDefaults(p);
    EXPECT_EQ(p.timeLength, 10);
    EXPECT_EQ(p.xAxisLongTime, 0);
    EXPECT_EQ(p.yAxisPercent, 0);
    EXPECT_EQ(p.timeLengthInSeconds, 0);
    EXPECT_EQ(p.hasChannelNames, 0);
    EXPECT_EQ(p.pointCount, 0);
    EXPECT_EQ(p.zoomFactor, 0.0f);
    for (int n = 0; n < kMaxChannels; ++n)
        EXPECT_EQ(GetBit(p.visibleChannels, n), n < 8) << n;
    const uint8_t* bytes = reinterpret_cast<const uint8_t*>(&p);
    for (size_t i = 429; i < sizeof p; ++i)
        EXPECT_EQ(bytes[i], 0) << i;
}

TEST(CurveParameters, RestoreDefaultsKeepsWhatTheDialogDoesNotReset) {
    CurveParameters p;
    std::memset(&p, 0x5A, sizeof p);
    p.timeLength = 77;
    p.xAxisLongTime = 1;
    p.timeLengthInSeconds = 1;
    p.visibleChannels[0] = 0x01;
    p.visibleChannels[3] = 0x40;
    p.startTime.wYear = 2009;
    RestoreDefaultCurveParameters(p);
    ExpectSharedDefaults(p);
    EXPECT_EQ(p.timeLength, 77);
    EXPECT_EQ(p.xAxisLongTime, 1);
    EXPECT_EQ(p.timeLengthInSeconds, 1);
    EXPECT_EQ(p.visibleChannels[3], 0x40);
    EXPECT_EQ(p.startTime.wYear, 2009);
    EXPECT_EQ(p.yAxisPercent, 0x5A);
    EXPECT_EQ(p.hasChannelNames, 0x5A);
}

TEST(ChannelNameTable, NamesLiveAtTheirOffsets) {
    ChannelNameTable t = MakeEmptyChannelNameTable();
    SetChannelNameUtf8(t, 79, "炉温80");
    const char* raw = reinterpret_cast<const char*>(&t);
    EXPECT_EQ(std::string(raw + 1976), "\xC2\xAF\xCE\xC2"
                                       "80");
    EXPECT_EQ(ChannelNameUtf8(t, 79), "炉温80");
    EXPECT_EQ(ChannelNameUtf8(t, 0), "");
    // Out-of-range channels are ignored.
    SetChannelNameGbk(t, 80, "x");
    SetChannelNameGbk(t, -1, "x");
    EXPECT_EQ(ChannelNameGbk(t, 80), "");
    for (size_t i = 2001; i < sizeof t; ++i)
        ASSERT_EQ(t.reserved[i - 2001], 0);
}

TEST(ChannelNameTable, LongNamesAreCutToTheField) {
    ChannelNameTable t = MakeEmptyChannelNameTable();
    // 13 Chinese characters are 26 bytes: 12 (24 bytes) fit.
    SetChannelNameUtf8(t, 0, "一二三四五六七八九十一二三");
    EXPECT_EQ(ChannelNameUtf8(t, 0), "一二三四五六七八九十一二");
    // An unterminated field from a file is read as its 25 bytes at most.
    std::memset(t.channelNames[1], 'a', kChannelNameBytes);
    EXPECT_EQ(ChannelNameGbk(t, 1).size(), 25u);
    TerminateChannelNames(t);
    EXPECT_EQ(ChannelNameGbk(t, 1).size(), 24u);
}

TEST(CurveParameters, RecordRoundTripsThroughAFile) {
    CurveParameters p = MakeFreshCurveParameters();
    p.pointCount = 7201;
    p.zoomFactor = 6.00584f;
    p.endTime.wYear = 2007;
    p.channelCount = 16;
    ChannelNameTable t = MakeEmptyChannelNameTable();
    t.customNamesEnabled = 1;
    SetChannelNameUtf8(t, 3, "通道4");
    auto path = std::filesystem::path(::testing::TempDir()) /
                ("curvepara_" + std::to_string(::getpid()) + ".dat");
    FILE* f = std::fopen(path.c_str(), "wb");
    ASSERT_TRUE(f);
    ASSERT_EQ(std::fwrite(&p, sizeof p, 1, f), 1u);
    ASSERT_EQ(std::fwrite(&t, sizeof t, 1, f), 1u);
    std::fclose(f);
    EXPECT_EQ(std::filesystem::file_size(path), 488u + 3025u);
    CurveParameters p2;
    ChannelNameTable t2;
    f = std::fopen(path.c_str(), "rb");
    ASSERT_TRUE(f);
    ASSERT_EQ(std::fread(&p2, sizeof p2, 1, f), 1u);
    ASSERT_EQ(std::fread(&t2, sizeof t2, 1, f), 1u);
    std::fclose(f);
    std::filesystem::remove(path);
    EXPECT_EQ(std::memcmp(&p, &p2, sizeof p), 0);
    EXPECT_EQ(std::memcmp(&t, &t2, sizeof t), 0);
}

} // namespace
