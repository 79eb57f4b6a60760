// The data list and the Excel export at their largest:
//  - a page change of the data list on a 1 GB recording (80 channels, about
//    6.7 million rows): reading 100 rows at a far position and making every
//    cell text the list shows;
//  - an export of 65,535 rows x 80 channels end to end (reading the source,
//    collecting the text rows, writing the .xls workbook).
// The files live in $TMPDIR and are removed at exit; reads hit the page cache.

#include "curveparameters.h"
#include "exportjob.h"
#include "sheetpage.h"
#include "tdafile.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <unistd.h>
#include <vector>

namespace {

constexpr int kChannels = 80;

std::string TempPath(const char* name) {
    const char* tmp = std::getenv("TMPDIR");
    return std::string(tmp && *tmp ? tmp : "/tmp") + "/vantrel_dlbench_" +
           std::to_string(::getpid()) + "_" + name;
}

// A recording of the given rows written in blocks, with a name table.
struct Recording {
    std::string path;
    long long rows;
    Recording(const char* name, long long rowCount) : path(TempPath(name)), rows(rowCount) {
        SYSTEMTIME start{2007, 5, 4, 10, 8, 30, 15, 0};
        TdaHeader h = BeginTdaHeader(1, kChannels, start);
        h.sampleCount = int32_t(rows);
        h.checksum = ComputeTdaChecksum(h);
        CurveParameters p{};
        p.channelCount = kChannels;
        p.hasChannelNames = 1;
        FILE* out = std::fopen(path.c_str(), "wb");
        if (!out)
            std::abort();
        std::fwrite(&h, sizeof h, 1, out);
        std::fwrite(&p, sizeof p, 1, out);
        std::vector<int16_t> block(size_t(4096 * kChannels));
        for (long long r = 0; r < rows; r += 4096) {
            long long n = std::min<long long>(4096, rows - r);
            for (long long i = 0; i < n; ++i)
                for (int c = 0; c < kChannels; ++c)
                    block[size_t(i * kChannels + c)] = int16_t((r + i + c) % 3000 - 500);
            std::fwrite(block.data(), 2 * kChannels, size_t(n), out);
        }
        ChannelNameTable t{};
        std::fwrite(&t, sizeof t, 1, out);
        std::fclose(out);
    }
    ~Recording() { std::filesystem::remove(path); }
};

const Recording& GigabyteFile() {
    static Recording f("1g.tda", (1LL << 30) / (2 * kChannels));
    return f;
}

const Recording& ExportSource() {
    static Recording f("export.tda", 65535);
    return f;
}

// One page change: the page is read from the file at a new position and
// every cell text of the list is made.
void BM_DataListPageChange(benchmark::State& state) {
    const Recording& f = GigabyteFile();
    CSheetPage page;
    if (!page.Load(f.path, ChannelNameTable{}, false)) {
        state.SkipWithError("cannot open the recording");
        return;
    }
    std::mt19937_64 rng(1);
    std::uniform_int_distribution<long long> row(0, f.rows - 1);
    size_t chars = 0;
    for (auto _ : state) {
        page.LoadPage(0, row(rng), false);
        for (int item = 0; item < page.PageRowCount(); ++item)
            for (int col = 0; col < page.ColumnCount(); ++col)
                chars += page.CellText(item, col).size();
    }
    benchmark::DoNotOptimize(chars);
    state.counters["rows"] = double(f.rows);
}
BENCHMARK(BM_DataListPageChange)->Unit(benchmark::kMillisecond);

// Opening the 1 GB file in the list: fixed parts and the first page.
void BM_DataListOpen(benchmark::State& state) {
    const Recording& f = GigabyteFile();
    for (auto _ : state) {
        CSheetPage page;
        benchmark::DoNotOptimize(page.Load(f.path, ChannelNameTable{}, false));
    }
}
BENCHMARK(BM_DataListOpen)->Unit(benchmark::kMillisecond);

void BM_ExportWorkbook65535x80(benchmark::State& state) {
    const Recording& f = ExportSource();
    const std::string target = TempPath(state.range(0) ? "out.xls" : "out.csv");
    TdaHeader h{};
    CExportJob::ReadSourceHeader(f.path, h);
    for (auto _ : state) {
        std::filesystem::remove(target);
        ExportRequest q;
        q.sourcePath = f.path;
        q.targetPath = target;
        q.start = h.runStartTime;
        q.end = CExportJob::FileEndTime(h);
        CExportCancelEvent cancel;
        ExportResult r = CExportJob(q, nullptr, cancel).Run();
        if (r.status != ExportStatus::Succeeded || r.rows != 65535) {
            state.SkipWithError(r.message.c_str());
            break;
        }
    }
    if (std::filesystem::exists(target))
        state.counters["bytes"] = double(std::filesystem::file_size(target));
    std::filesystem::remove(target);
}
BENCHMARK(BM_ExportWorkbook65535x80)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond)->Iterations(3);

} // namespace

BENCHMARK_MAIN();
