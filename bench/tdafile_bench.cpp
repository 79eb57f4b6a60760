// Reading a 1 GB recording (80 channels, about 6.7 million rows) the ways the
// program does: opening it, the history view's first window thinned to 1200
// points over the whole file, 1200 consecutive rows, a data-list page of 100
// rows. The file is written once into $TMPDIR and removed at exit; the reads
// run against the page cache.

#include "tdafile.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <unistd.h>
#include <vector>

namespace {

constexpr int kChannels = 80;
constexpr long long kRows = (1LL << 30) / (2 * kChannels);

struct BigFile {
    std::string path;
    BigFile() {
        const char* tmp = std::getenv("TMPDIR");
        path = std::string(tmp && *tmp ? tmp : "/tmp") + "/vantrel_bench_" +
               std::to_string(::getpid()) + ".tda";
        SYSTEMTIME start{2007, 5, 4, 10, 8, 30, 15, 0};
        TdaHeader h = BeginTdaHeader(1, kChannels, start);
        h.sampleCount = int32_t(kRows);
        h.checksum = ComputeTdaChecksum(h);
        CurveParameters p = MakeFreshCurveParameters();
        p.hasChannelNames = 1;
        CTdaFile f;
        if (f.Create(path, h, p) != TdaError::None)
            std::abort();
        f.Close();
        // Rows in blocks, then the table.
        FILE* out = std::fopen(path.c_str(), "ab");
        std::vector<int16_t> block(size_t(4096 * kChannels));
        for (long long r = 0; r < kRows; r += 4096) {
            long long n = std::min<long long>(4096, kRows - r);
            for (long long i = 0; i < n; ++i)
                for (int c = 0; c < kChannels; ++c)
                    block[size_t(i * kChannels + c)] = int16_t((r + i + c) % 3000);
            std::fwrite(block.data(), 2 * kChannels, size_t(n), out);
        }
        ChannelNameTable t = MakeEmptyChannelNameTable();
        std::fwrite(&t, sizeof t, 1, out);
        std::fclose(out);
    }
    ~BigFile() { std::filesystem::remove(path); }
};

const BigFile& File() {
    static BigFile f;
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
