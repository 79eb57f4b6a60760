// vantrel-cli info, run as a program on real files.

#include "tdafile.h"
#include "testsupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;

namespace {

struct CliRun {
    int status = -1;
    std::string out, err;
};

class CliInfo : public ::testing::Test {
protected:
    CliRun Cli(const std::string& args) {
        std::string errPath = (m_dir / "stderr.txt").string();
        std::string cmd = "TZ=UTC0 '" VANTREL_CLI_PATH "' " + args + " 2>'" + errPath + "'";
        const testsupport::CommandRun run = testsupport::RunCommand(cmd);
        return {run.status, run.output, testsupport::ReadFileBytes(errPath)};
    }

    std::string Fixture(const char* name, int32_t channels, bool names, int32_t interval = 60) {
        TdaHeader h =
            BeginTdaHeader(interval, channels, testsupport::Time(2007, 5, 10, 23, 59, 30));
        h.sampleCount = 3;
        h.checksum = ComputeTdaChecksum(h);
        CurveParameters p = MakeFreshCurveParameters();
        p.hasChannelNames = 1;
        std::vector<int16_t> rows;
        for (int r = 0; r < 3; ++r)
            for (int c = 0; c < channels; ++c)
                rows.push_back(int16_t(r == 2 ? -400 : 1000 + r * 10 + c));
        ChannelNameTable t = MakeEmptyChannelNameTable();
        t.customNamesEnabled = 1;
        SetChannelNameUtf8(t, 1, "炉温");
        std::string path = (m_dir / name).string();
        EXPECT_TRUE(WriteTdaFile(path, h, p, rows, names ? &t : nullptr));
        return path;
    }

    testsupport::TempDir m_tmp{"vantrel-cli-info"};
    fs::path m_dir = m_tmp.Path();
};

TEST_F(CliInfo, PrintsHeaderParametersAndNames) {
    CliRun r = Cli("info '" + Fixture("a.tda", 2, true) + "'");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("interval: 60 s"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("channels: 2"), std::string::npos);
    EXPECT_NE(r.out.find("samples: 3"), std::string::npos);
    EXPECT_NE(r.out.find("run start: 2007-5-10 23:59:30"), std::string::npos);
    EXPECT_NE(r.out.find("(valid)"), std::string::npos);
    EXPECT_NE(r.out.find("time length: 10 minutes"), std::string::npos);
    EXPECT_NE(r.out.find("range: 0.0 .. 300.0"), std::string::npos);
    EXPECT_NE(r.out.find("  2: 炉温"), std::string::npos);
}

TEST_F(CliInfo, PrintsRowsWithTimesInBothUnits) {
    std::string path = Fixture("rows.tda", 2, true);
    CliRun c = Cli("info '" + path + "' --rows 1 5");
    ASSERT_EQ(c.status, 0) << c.err;
    EXPECT_NE(c.out.find("1  2007-5-11 0:0:30 101.0 101.1\n"), std::string::npos) << c.out;
    EXPECT_NE(c.out.find("2  2007-5-11 0:1:30 -40.0 -40.0\n"), std::string::npos) << c.out;
    CliRun f = Cli("info '" + path + "' --rows 0 1 --fahrenheit");
    ASSERT_EQ(f.status, 0) << f.err;
    EXPECT_NE(f.out.find("0  2007-5-10 23:59:30 212.0 212.2\n"), std::string::npos) << f.out;
}

TEST_F(CliInfo, FailsWithOneLineReason) {
    CliRun missing = Cli("info '" + (m_dir / "none.tda").string() + "'");
    EXPECT_NE(missing.status, 0);
    EXPECT_NE(missing.err.find("cannot be opened"), std::string::npos) << missing.err;

    std::string bad = Fixture("bad.tda", 2, true);
    {
        std::fstream f(bad, std::ios::in | std::ios::out | std::ios::binary);
        int32_t channels = 81;
        f.seekp(68);
        f.write(reinterpret_cast<const char*>(&channels), 4);
    }
    CliRun refused = Cli("info '" + bad + "'");
    EXPECT_NE(refused.status, 0);
    EXPECT_NE(refused.err.find("outside 0..80"), std::string::npos) << refused.err;
    EXPECT_EQ(std::count(refused.err.begin(), refused.err.end(), '\n'), 1);

    CliRun usage = Cli("info");
    EXPECT_NE(usage.status, 0);
    CliRun unknown = Cli("frobnicate");
    EXPECT_NE(unknown.status, 0);
}

TEST_F(CliInfo, ReportsMissingTrailerAndBadInterval) {
    CliRun r = Cli("info '" + Fixture("crash.tda", 2, false, 0) + "'");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("names: missing"), std::string::npos) << r.out;
    EXPECT_NE(r.err.find("not positive"), std::string::npos) << r.err;
}

} // namespace
