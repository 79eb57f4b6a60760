// Loading a window of a .tda file: the first load, its refusals, and the
// reload with its write-back of the parameter block and the name table.

#include "recordingdc.h"
#include "tdafixture.h"
#include "trendnavigator.h"
#include "trendwindow.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <memory>

namespace {

std::unique_ptr<TrendWindow>
Load(const std::string& path, TrendWindow::LoadResult expected = TrendWindow::LoadResult::Loaded) {
    auto w = std::make_unique<TrendWindow>();
    EXPECT_EQ(w->FirstLoad(path, MakeEmptyChannelNameTable()), expected);
    return w;
}

} // namespace

TEST(WindowSize, ArithmeticOfTheFirstLoad) {
    struct Case {
        long long seconds;
        int32_t interval;
        uint32_t rows;
        int32_t p;
        uint32_t n;
        float zoom;
    } cases[] = {
        {600, 1, 300, 300, 300, 1.0f},                       // shortened to the rows
        {1199, 1, 5000, 1200, 1200, 1.0f},                   // exactly 1200
        {1200, 1, 5000, 1201, 1200, float(1201.0 / 1199)},   // one more: thinned
        {7200, 1, 100000, 7201, 1200, float(7201.0 / 1199)}, // 2 h at 1 s
        {600, 7, 100000, 86, 86, 1.0f},                      // 600 / 7 + 1
        {600, 1, 0, 0, 0, 1.0f},                             // no rows
        {600, 1, 0xFFFFFFFFu, 601, 601, 1.0f},               // negative count, unsigned
        {-600, 1, 5000, 0, 0, 1.0f},                         // damaged length
        {600, 0, 5000, 0, 0, 1.0f},                          // no interval
    };
    for (const auto& c : cases) {
        const TrendWindowSize s = ComputeWindowSize(c.seconds, c.interval, c.rows);
        EXPECT_EQ(s.pointCount, c.p) << c.seconds << "/" << c.interval;
        EXPECT_EQ(s.points, c.n);
        EXPECT_FLOAT_EQ(s.zoomFactor, c.zoom);
        EXPECT_EQ(s.displayPos, c.n ? int32_t(c.n) - 1 : 0);
    }
    EXPECT_NEAR(ComputeWindowSize(7200, 1, 100000).zoomFactor, 6.00584, 1e-5);
}

TEST(FirstLoad, ShortRecordingLoadsEveryRowFromTheFirst) {
    TempDir tmp;
    const std::string path = tmp.File("short.tda");
    WriteFixture(path, FixtureOptions{}); // 10 minutes at 1 s, 300 rows
    auto w = Load(path);
    EXPECT_TRUE(w->HasData());
    EXPECT_EQ(w->m_curvePara.pointCount, 300);
    EXPECT_EQ(w->m_pointsPerScreen, 300u);
    EXPECT_EQ(w->m_displayPos, 299);
    EXPECT_FLOAT_EQ(w->m_curvePara.zoomFactor, 1.0f);
    EXPECT_EQ(w->m_curvePara.channelCount, 8);
    EXPECT_EQ(w->m_curvePara.timeLength, 10);
    EXPECT_EQ(CompareTime(w->m_curvePara.startTime, Time(2007, 5, 10, 10, 0, 0)), 0);
    for (int i : {0, 1, 150, 299})
        for (int c : {0, 7})
            EXPECT_EQ(w->m_displayBuffer[c][i], FixtureValue(i, c)) << i << "," << c;
    EXPECT_EQ(ChannelNameUtf8(w->m_channelTable, 0), "炉膛");
    EXPECT_EQ(w->m_strPathName, path);
}

TEST(FirstLoad, WindowsOf1200And1201And7201Rows) {
    TempDir tmp;
    struct Case {
        int rows;
        int32_t length;
        bool seconds;
        float zoom;
    } cases[] = {
        {1300, 1199, true, 1.0f},
        {1300, 1200, true, float(1201.0 / 1199)},
        {7201, 120, false, float(7201.0 / 1199)},
    };
    for (const auto& c : cases) {
        FixtureOptions s;
        s.rows = c.rows;
        s.timeLength = c.length;
        s.inSeconds = c.seconds;
        const std::string path = tmp.File("w" + std::to_string(c.length) + ".tda");
        WriteFixture(path, s);
        auto w = Load(path);
        EXPECT_EQ(w->m_pointsPerScreen, 1200u);
        EXPECT_FLOAT_EQ(w->m_curvePara.zoomFactor, c.zoom);
        for (uint32_t i = 0; i < 1199; i += 37) {
            const long long row = (long long)(float(i) * c.zoom);
            EXPECT_EQ(w->m_displayBuffer[3][i], FixtureValue(row, 3)) << i;
        }
        if (c.rows == 7201) {
            // Point 1199 maps to row 7201, one past the file: the row before
            // it is repeated, and it is never drawn.
            EXPECT_EQ(w->m_displayBuffer[3][1199], w->m_displayBuffer[3][1198]);
            EXPECT_EQ(w->m_displayBuffer[3][1198], FixtureValue((long long)(1198.0f * c.zoom), 3));
        }
    }
}

TEST(FirstLoad, RefusedFilesHoldNoPoints) {
    TempDir tmp;
    FixtureOptions s;
    const std::string good = tmp.File("good.tda");
    WriteFixture(good, s);
    const auto bytes = ReadFileBytes(good);

    auto patched = [&](const std::string& name, size_t offset, int32_t value) {
        auto b = bytes;
        std::memcpy(b.data() + offset, &value, sizeof value);
        const std::string path = tmp.File(name);
        std::ofstream(path, std::ios::binary).write(b.data(), std::streamsize(b.size()));
        return path;
    };
    const int32_t sum = FixtureHeader(s).checksum;
    struct Case {
        std::string path;
        TrendWindow::LoadResult result;
    } cases[] = {
        {patched("sum.tda", 108, sum + 1), TrendWindow::LoadResult::Refused},
        // Interval 0 with the sum made to match.
        {patched("interval.tda", 64, 0), TrendWindow::LoadResult::Refused},
        {patched("channels.tda", 68, 81), TrendWindow::LoadResult::CannotOpen},
        {tmp.File("missing.tda"), TrendWindow::LoadResult::CannotOpen},
    };
    // Keep the sum of interval.tda valid: it depends on the interval.
    {
        TdaHeader h = FixtureHeader(s);
        h.sampleInterval = 0;
        h.checksum = ComputeTdaChecksum(h);
        auto b = bytes;
        std::memcpy(b.data(), &h, sizeof h);
        std::ofstream(cases[1].path, std::ios::binary).write(b.data(), std::streamsize(b.size()));
    }
    for (const auto& c : cases) {
        auto w = Load(c.path, c.result);
        EXPECT_FALSE(w->HasData()) << c.path;
        EXPECT_EQ(w->m_pointsPerScreen, 0u);
        EXPECT_EQ(w->m_displayPos, 0);
        EXPECT_EQ(w->Reload(), TrendWindow::ReloadResult::CannotOpen);
    }
    // Nothing was written into the refused file by the reload attempt.
    EXPECT_EQ(ReadFileBytes(cases[0].path).size(), bytes.size());

    if (geteuid() != 0) {
        const std::string ro = tmp.File("readonly.tda");
        WriteFixture(ro, s);
        chmod(ro.c_str(), 0444);
        auto w = Load(ro, TrendWindow::LoadResult::CannotOpen);
        EXPECT_FALSE(w->HasData());
    }
}

TEST(FirstLoad, EmptyRecordingLoadsNothing) {
    TempDir tmp;
    FixtureOptions s;
    s.rows = 0;
    const std::string path = tmp.File("empty.tda");
    WriteFixture(path, s);
    auto w = Load(path);
    EXPECT_EQ(w->m_curvePara.pointCount, 0);
    EXPECT_EQ(w->m_pointsPerScreen, 0u);
    EXPECT_EQ(w->m_displayPos, 0);
}

TEST(FirstLoad, NamesFromTheFileOrTheApplication) {
    TempDir tmp;
    ChannelNameTable app = MakeEmptyChannelNameTable();
    SetChannelNameUtf8(app, 0, "应用");
    struct Case {
        bool table, flagOnly;
        const char* name;
    } cases[] = {{true, false, "炉膛"}, {false, false, "应用"}, {false, true, "应用"}};
    for (const auto& c : cases) {
        FixtureOptions s;
        s.nameTable = c.table;
        s.flagWithoutTable = c.flagOnly;
        const std::string path =
            tmp.File(std::string("n") + (c.table ? "1" : "0") + (c.flagOnly ? "1" : "0"));
        WriteFixture(path, s);
        TrendWindow w;
        ASSERT_EQ(w.FirstLoad(path, app), TrendWindow::LoadResult::Loaded);
        EXPECT_EQ(ChannelNameUtf8(w.m_channelTable, 0), c.name);
    }
}

TEST(FirstLoad, TwoWindowsOfOneFileAreIndependent) {
    TempDir tmp;
    const std::string path = tmp.File("twice.tda");
    WriteFixture(path, FixtureOptions{});
    auto a = Load(path);
    auto b = Load(path);
    a->m_curvePara.yMaxTenths = 1234;
    EXPECT_EQ(b->m_curvePara.yMaxTenths, 3000);
}

// Parameter blocks of random bytes (with a valid header) load and draw in an
// orderly way: whatever the file says, nothing faults or hangs.
TEST(FirstLoad, RandomParameterBlocksLoadDrawAndReload) {
    TempDir tmp;
    const std::string path = tmp.File("random.tda");
    FixtureOptions s;
    s.rows = 500;
    WriteFixture(path, s);
    const auto original = ReadFileBytes(path);
    uint64_t seed = 0x9E3779B97F4A7C15ull;
    auto next = [&] {
        seed ^= seed << 13;
        seed ^= seed >> 7;
        seed ^= seed << 17;
        return seed;
    };
    for (int round = 0; round < 40; ++round) {
        auto bytes = original;
        for (size_t i = 172; i < 660; ++i)
            bytes[i] = char(next());
        std::ofstream(path, std::ios::binary).write(bytes.data(), std::streamsize(bytes.size()));
        auto w = std::make_unique<TrendWindow>();
        ASSERT_EQ(w->FirstLoad(path, MakeEmptyChannelNameTable()), TrendWindow::LoadResult::Loaded);
        EXPECT_LE(w->m_pointsPerScreen, 1200u);
        CursorReadout r{};
        r.cursorState = kCursorShown;
        r.cursorX = int(next() % 2000) - 500;
        RecordingDc dc;
        w->Draw(dc, DcRect{0, 0, 800, 600}, r, uint8_t(round & 1));
        EXPECT_FALSE(dc.Fills().empty());
        w->m_curvePara.startTime = w->m_header.runStartTime;
        w->Reload();
    }
}
