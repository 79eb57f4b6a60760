// A page change of the data list window on a 1 GB recording (80 channels,
// about 6.7 million rows), offscreen: the scroll bar moves to a far row, the
// page is read from the file and the list control is rebuilt with its 100
// rows of 82 cells. The file lives in $TMPDIR and is removed at exit.

#include "benchrecording.h"
#include "document.h"
#include "sheetview.h"
#include "tdafile.h"

#include <QApplication>
#include <QScrollBar>
#include <benchmark/benchmark.h>

#include <random>
#include <vector>

namespace {

constexpr int kChannels = kBenchChannels;
constexpr long long kRows = kGigabyteRows;

// No name table.
CurveParameters Parameters() {
    CurveParameters p{};
    p.channelCount = kChannels;
    return p;
}
int16_t Value(long long r, int c) {
    return int16_t((r * kChannels + c) % 3000);
}

void BM_DataListWindowPageChange(benchmark::State& state) {
    static const BenchRecording file("dlview.tda", kRows, kChannels, Parameters(), Value, nullptr);
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
