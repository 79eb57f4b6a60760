// Reading a 1 GB recording (80 channels, about 6.7 million rows) the ways the
// program does: opening it, the history view's first window thinned to 1200
// points over the whole file, 1200 consecutive rows, a data-list page of 100
// rows. The file is written once into $TMPDIR and removed at exit; the reads
// run against the page cache.

#include "benchrecording.h"
#include "tdafile.h"

#include <benchmark/benchmark.h>

#include <vector>

namespace {

constexpr int kChannels = kBenchChannels;
constexpr long long kRows = kGigabyteRows;

CurveParameters Parameters() {
    CurveParameters p = MakeFreshCurveParameters();
    p.hasChannelNames = 1;
    return p;
}
int16_t Value(long long r, int c) {
    return int16_t((r + c) % 3000);
}
const ChannelNameTable kNames = MakeEmptyChannelNameTable();

const BenchRecording& File() {
    static const BenchRecording f("1g.tda", kRows, kChannels, Parameters(), Value, &kNames);
    return f;
}

int16_t g_rows[1200][kMaxChannels];

void BM_Open(benchmark::State& state) {
    const std::string& path = File().path; // written before timing starts
    for (auto _ : state) {
        CTdaFile f;
        if (f.Open(path) != TdaError::None || f.RowCount() != kRows)
            state.SkipWithError("open failed");
        benchmark::DoNotOptimize(f.NameTable());
    }
}
BENCHMARK(BM_Open)->Unit(benchmark::kMicrosecond);

// The history view's first load of a window covering the whole file.
void BM_FirstWindowThinned(benchmark::State& state) {
    const float zoom = float(kRows) / 1199.0f;
    std::vector<long long> idx(1200);
    for (int i = 0; i < 1200; ++i)
        idx[size_t(i)] = std::min<long long>((long long)(i * zoom), kRows - 1);
    for (auto _ : state) {
        CTdaFile f;
        f.Open(File().path, CTdaFile::Mode::ReadWrite);
        if (!f.ChecksumValid() || f.ReadRowsAt(idx, g_rows) != 1200)
            state.SkipWithError("read failed");
    }
}
BENCHMARK(BM_FirstWindowThinned)->Unit(benchmark::kMillisecond);

void BM_Window1200Consecutive(benchmark::State& state) {
    CTdaFile f;
    f.Open(File().path);
    long long first = kRows / 2;
    for (auto _ : state)
        if (f.ReadRows(first, 1200, 1, g_rows) != 1200)
            state.SkipWithError("read failed");
}
BENCHMARK(BM_Window1200Consecutive)->Unit(benchmark::kMicrosecond);

void BM_Window1200EverySixth(benchmark::State& state) {
    CTdaFile f;
    f.Open(File().path);
    for (auto _ : state)
        if (f.ReadRows(1000, 1200, 6, g_rows) != 1200)
            state.SkipWithError("read failed");
}
BENCHMARK(BM_Window1200EverySixth)->Unit(benchmark::kMicrosecond);

void BM_DataListPage(benchmark::State& state) {
    std::vector<int16_t> page(100 * kChannels);
    for (auto _ : state) {
        CTdaFile f;
        f.Open(File().path);
        if (f.ReadRowsPacked(kRows - 100, 100, page.data()) != 100)
            state.SkipWithError("read failed");
    }
}
BENCHMARK(BM_DataListPage)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
