// A page change of the data list window on a 1 GB recording (80 channels,
// about 6.7 million rows), offscreen: the scroll bar moves to a far row, the
// page is read from the file and the list control is rebuilt with its 100
// rows of 82 cells. The file lives in $TMPDIR and is removed at exit.

#include "document.h"
#include "sheetview.h"
#include "tdafile.h"

#include <QApplication>
#include <QScrollBar>
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <unistd.h>
#include <vector>

namespace {

constexpr int kChannels = 80;
constexpr long long kRows = (1LL << 30) / (2 * kChannels);

struct BigFile {
    std::string path;
    BigFile() {
        const char* tmp = std::getenv("TMPDIR");
        path = std::string(tmp && *tmp ? tmp : "/tmp") + "/vantrel_dlview_" +
               std::to_string(::getpid()) + ".tda";
        SYSTEMTIME start{2007, 5, 4, 10, 8, 30, 15, 0};
        TdaHeader h = BeginTdaHeader(1, kChannels, start);
        h.sampleCount = int32_t(kRows);
        h.checksum = ComputeTdaChecksum(h);
        CurveParameters p{};
        p.channelCount = kChannels;
        FILE* out = std::fopen(path.c_str(), "wb");
        if (!out)
            std::abort();
        std::fwrite(&h, sizeof h, 1, out);
        std::fwrite(&p, sizeof p, 1, out);
        std::vector<int16_t> block(size_t(4096 * kChannels));
        for (long long r = 0; r < kRows; r += 4096) {
            long long n = std::min<long long>(4096, kRows - r);
            for (long long i = 0; i < n * kChannels; ++i)
                block[size_t(i)] = int16_t((r * kChannels + i) % 3000);
            std::fwrite(block.data(), 2 * kChannels, size_t(n), out);
        }
        std::fclose(out);
    }
    ~BigFile() { std::filesystem::remove(path); }
};

void BM_DataListWindowPageChange(benchmark::State& state) {
    static BigFile file;
    CDocument doc;
    doc.SetPathName(QString::fromStdString(file.path));
    CSheetView view;
    view.AttachDocument(&doc);
    view.resize(1024, 768);
    view.OnInitialUpdate();
    auto* bar = static_cast<QScrollBar*>(view.Control(CSheetView::IDC_VSCROLL));
    std::mt19937 rng(1);
    std::uniform_int_distribution<int> row(0, int(kRows - 1));
    for (auto _ : state) {
        bar->setValue(row(rng));
        QCoreApplication::processEvents();
    }
    state.counters["rows"] = double(kRows);
}
BENCHMARK(BM_DataListWindowPageChange)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
