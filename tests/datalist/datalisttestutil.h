#pragma once
// Fixtures of the data list and export tests (on the shared test support):
// recordings written with the .tda writer, byte-level reads, and workbooks
// read back with python3-xlrd.

#include "curveparameters.h"
#include "tdafile.h"
#include "testsupport.h"

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <gtest/gtest.h>
#include <iterator>
#include <string>
#include <unistd.h>
#include <vector>

namespace dltest {

using testsupport::ReadFileBytes;
using testsupport::TempDir;
using testsupport::Time;

struct Recording {
    int channels = 8;
    int rows = 10;
    int interval = 1;
    SYSTEMTIME start = Time(2007, 5, 10, 8, 30, 15);
    uint8_t valueScale = 1;
    bool withNames = true;
    bool customNames = false;
    std::vector<std::pair<int, std::string>> names; // channel, GBK name
    // raw value of (row, channel); default: row * 10 + channel
    std::function<int16_t(int, int)> value = [](int r, int c) { return int16_t(r * 10 + c); };
};

inline void WriteRecording(const std::string& path, const Recording& r) {
    TdaHeader h = BeginTdaHeader(r.interval, r.channels, r.start);
    h.sampleCount = r.rows;
    h.checksum = ComputeTdaChecksum(h);
    h.valueScale = r.valueScale;
    CurveParameters p{};
    p.channelCount = r.channels;
    p.hasChannelNames = r.withNames ? 1 : 0;
    ChannelNameTable names{};
    names.customNamesEnabled = r.customNames ? 1 : 0;
    for (const auto& [c, n] : r.names)
        std::snprintf(names.channelNames[c], kChannelNameBytes, "%s", n.c_str());
    std::vector<int16_t> rows(size_t(r.rows) * size_t(r.channels));
    for (int i = 0; i < r.rows; ++i)
        for (int c = 0; c < r.channels; ++c)
            rows[size_t(i) * r.channels + c] = r.value(i, c);
    ASSERT_TRUE(WriteTdaFile(path, h, p, rows, r.withNames ? &names : nullptr));
}

inline int16_t RawAt(const std::string& path, long long offset) {
    std::string b = ReadFileBytes(path);
    return int16_t(uint16_t(uint8_t(b.at(offset))) | uint16_t(uint8_t(b.at(offset + 1))) << 8);
}

// The first sheet of a workbook as read by xlrd: its name, then its rows of
// text cells.
struct Workbook {
    bool ok = false;
    std::string sheetName;
    std::vector<std::vector<std::string>> rows;
};

inline Workbook ReadWorkbook(const std::string& xlsPath, const TempDir& dir) {
    const std::string script = dir.File("readxls.py");
    {
        std::ofstream py(script);
        py << "import sys, xlrd\n"
              "b = xlrd.open_workbook(sys.argv[1])\n"
              "s = b.sheet_by_index(0)\n"
              "out = [s.name]\n"
              "for r in range(s.nrows):\n"
              "    out.append('\\t'.join(str(s.cell_value(r, c)) for c in range(s.ncols)))\n"
              "sys.stdout.buffer.write(('\\n'.join(out) + '\\n').encode('utf-8'))\n";
    }
    Workbook w;
    const testsupport::CommandRun run =
        testsupport::RunCommand("/usr/bin/python3 '" + script + "' '" + xlsPath + "' 2>&1");
    w.ok = run.status == 0;
    if (!w.ok) {
        ADD_FAILURE() << "xlrd could not read " << xlsPath << ": " << run.output;
        return w;
    }
    const std::vector<std::string> lines = testsupport::SplitLines(run.output);
    for (size_t i = 0; i < lines.size(); ++i) {
        if (i == 0)
            w.sheetName = lines[i];
        else
            w.rows.push_back(testsupport::SplitTabs(lines[i]));
    }
    return w;
}

} // namespace dltest
