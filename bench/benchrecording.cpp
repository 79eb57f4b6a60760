#include "benchrecording.h"

#include "timearith.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <unistd.h>
#include <vector>

std::string BenchTempPath(const std::string& name) {
    const char* tmp = std::getenv("TMPDIR");
    return std::string(tmp && *tmp ? tmp : "/tmp") + "/vantrel_bench_" +
           std::to_string(::getpid()) + "_" + name;
}

BenchRecording::BenchRecording(const std::string& name, long long rowCount, int channelCount,
                               const CurveParameters& para, Value value,
                               const ChannelNameTable* names)
    : path(BenchTempPath(name)), rows(rowCount) {
    const SYSTEMTIME start{2007, 5, 4, 10, 8, 30, 15, 0};
    TdaHeader h = BeginTdaHeader(1, channelCount, start);
    h.sampleCount = int32_t(rows);
    h.lastSampleTime = AddSecondsWide(start, rows - 1);
    h.checksum = ComputeTdaChecksum(h);
    CTdaFile f;
    if (f.Create(path, h, para) != TdaError::None)
        std::abort();
    f.Close();
    FILE* out = std::fopen(path.c_str(), "ab");
    if (!out)
        std::abort();
    constexpr long long kBlockRows = 4096;
    std::vector<int16_t> block(size_t(kBlockRows * channelCount));
    for (long long r = 0; r < rows; r += kBlockRows) {
        const long long n = std::min(kBlockRows, rows - r);
        for (long long i = 0; i < n; ++i)
            for (int c = 0; c < channelCount; ++c)
                block[size_t(i * channelCount + c)] = value(r + i, c);
        std::fwrite(block.data(), size_t(2 * channelCount), size_t(n), out);
    }
    if (names)
        std::fwrite(names, sizeof *names, 1, out);
    std::fclose(out);
}

BenchRecording::~BenchRecording() {
    std::error_code ec;
    std::filesystem::remove(path, ec);
}
