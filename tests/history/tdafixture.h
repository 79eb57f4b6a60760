#pragma once
// Small .tda files for the history tests, in a temporary folder of their own.

#include "tdafile.h"
#include "testsupport.h"
#include "timearith.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

using testsupport::ReadFileBytes;
using testsupport::TempDir;
using testsupport::Time;

// Value of channel c in row i of the fixture files.
inline int16_t FixtureValue(long long row, int c) {
    return int16_t((row % 3000) + 1000 * c % 7000);
}

struct FixtureOptions {
    int rows = 300;
    int channels = 8;
    int32_t interval = 1;
    int32_t timeLength = 10; // minutes unless inSeconds
    bool inSeconds = false;
    bool nameTable = true;         // trailer present and hasChannelNames set
    bool flagWithoutTable = false; // hasChannelNames set, no trailer (abnormal exit)
    SYSTEMTIME start = Time(2007, 5, 10, 10, 0, 0);
};

inline ChannelNameTable FixtureNames() {
    ChannelNameTable t = MakeEmptyChannelNameTable();
    t.customNamesEnabled = 1;
    SetChannelNameUtf8(t, 0, "炉膛");
    return t;
}

inline TdaHeader FixtureHeader(const FixtureOptions& s) {
    TdaHeader h = BeginTdaHeader(s.interval, s.channels, s.start);
    for (int i = 0; i < s.rows; ++i)
        AccountForSample(h, AddSeconds(s.start, i * s.interval));
    if (s.rows == 0)
        h.lastSampleTime = s.start;
    return h;
}

inline void WriteFixture(const std::string& path, const FixtureOptions& s) {
    TdaHeader h = FixtureHeader(s);
    CurveParameters p = MakeFreshCurveParameters();
    p.timeLength = s.timeLength;
    p.timeLengthInSeconds = s.inSeconds ? 1 : 0;
    p.hasChannelNames = (s.nameTable || s.flagWithoutTable) ? 1 : 0;
    p.startTime = Time(2001, 1, 1, 0, 0, 0); // never used by a load
    std::vector<int16_t> rows;
    rows.reserve(size_t(s.rows) * s.channels);
    for (int i = 0; i < s.rows; ++i)
        for (int c = 0; c < s.channels; ++c)
            rows.push_back(FixtureValue(i, c));
    const ChannelNameTable names = FixtureNames();
    ASSERT_TRUE(WriteTdaFile(path, h, p, rows, s.nameTable ? &names : nullptr));
}

inline CurveParameters StoredParameters(const std::string& path) {
    CurveParameters p{};
    std::ifstream in(path, std::ios::binary);
    in.seekg(172);
    in.read(reinterpret_cast<char*>(&p), sizeof p);
    return p;
}
