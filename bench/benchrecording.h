#pragma once
// The large recordings the benchmarks read: written once in blocks of rows
// into $TMPDIR (or /tmp) and removed when the object goes.

#include "curveparameters.h"
#include "tdafile.h"

#include <cstdint>
#include <string>

// Channels and rows of the 1 GB recording (about 6.7 million rows).
constexpr int kBenchChannels = 80;
constexpr long long kGigabyteRows = (1LL << 30) / (2 * kBenchChannels);

// $TMPDIR (or /tmp)/vantrel_bench_<process id>_<name>.
std::string BenchTempPath(const std::string& name);

struct BenchRecording {
    // Raw value of channel c in row r.
    using Value = int16_t (*)(long long r, int c);

    // Rows at 1 s from 2007-5-10 8:30:15 with the given parameter block and,
    // when names is set, that name table after the rows.
    BenchRecording(const std::string& name, long long rowCount, int channelCount,
                   const CurveParameters& para, Value value, const ChannelNameTable* names);
    ~BenchRecording();
    BenchRecording(const BenchRecording&) = delete;
    BenchRecording& operator=(const BenchRecording&) = delete;

    const std::string path;
    const long long rows;
};
