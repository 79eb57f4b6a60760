// The data list and the Excel export at their largest:
//  - a page change of the data list on a 1 GB recording (80 channels, about
//    6.7 million rows): reading 100 rows at a far position and making every
//    cell text the list shows;
//  - an export of 65,535 rows x 80 channels end to end (reading the source,
//    collecting the text rows, writing the .xls workbook).
// The files live in $TMPDIR and are removed at exit; reads hit the page cache.

#include "benchrecording.h"
#include "curveparameters.h"
#include "exportjob.h"
#include "sheetpage.h"
#include "tdafile.h"

#include <benchmark/benchmark.h>

#include <filesystem>
#include <random>

namespace {

constexpr int kChannels = kBenchChannels;

// The recordings' parameter block, values and (empty) name table.
CurveParameters Parameters() {
    CurveParameters p{};
    p.channelCount = kChannels;
    p.hasChannelNames = 1;
    return p;
}
int16_t Value(long long r, int c) {
    return int16_t((r + c) % 3000 - 500);
}
const ChannelNameTable kNames{};

const BenchRecording& GigabyteFile() {
    static const BenchRecording f("1g.tda", kGigabyteRows, kChannels, Parameters(), Value, &kNames);
    return f;
}

const BenchRecording& ExportSource() {
    static const BenchRecording f("export.tda", 65535, kChannels, Parameters(), Value, &kNames);
    return f;
}

// One page change: the page is read from the file at a new position and
// every cell text of the list is made.
void BM_DataListPageChange(benchmark::State& state) {
    const BenchRecording& f = GigabyteFile();
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
    const BenchRecording& f = GigabyteFile();
    for (auto _ : state) {
        CSheetPage page;
        benchmark::DoNotOptimize(page.Load(f.path, ChannelNameTable{}, false));
    }
}
BENCHMARK(BM_DataListOpen)->Unit(benchmark::kMillisecond);

void BM_ExportWorkbook65535x80(benchmark::State& state) {
    const BenchRecording& f = ExportSource();
    const std::string target = BenchTempPath(state.range(0) ? "out.xls" : "out.csv");
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
