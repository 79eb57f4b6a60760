// The history trend view on a 1 GB recording (80 channels at 1 s, about 6.7
// million rows): the first window loaded and painted, one zoom step and one
// page step (navigation, write-back, reload and repaint), and a full repaint
// of 80 x 1198 segments into an offscreen 1280 x 800 image. The file is
// written once into $TMPDIR (or /tmp) and removed at exit; reads run warm.
//
// Besides the times, the counters report the view's data size and how much
// the process grew while loading a window of the 1 GB file.

#include "benchrecording.h"
#include "cursorreadout.h"
#include "qpainterdc.h"
#include "tdafile.h"
#include "timearith.h"
#include "trendnavigator.h"
#include "trendwindow.h"

#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <benchmark/benchmark.h>

#include <sys/resource.h>

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

namespace {

constexpr int kChannels = kBenchChannels;
constexpr long long kRows = kGigabyteRows;
constexpr int kWidth = 1280;
constexpr int kHeight = 800;
const DcRect kClient{0, 0, kWidth, kHeight};

// A window of 7 days at 1 s: 604,801 rows thinned to 1200 points.
constexpr int32_t kWindowMinutes = 7 * 24 * 60;

// All channels shown, a window of kWindowMinutes; slow, distinct curves.
CurveParameters Parameters() {
    CurveParameters p = MakeFreshCurveParameters();
    p.channelCount = kChannels;
    std::fill(std::begin(p.visibleChannels), std::end(p.visibleChannels), 0xFF);
    p.timeLength = kWindowMinutes;
    p.hasChannelNames = 1;
    return p;
}
int16_t Value(long long r, int c) {
    return int16_t(200 + 30 * c + (r / 600 + c * 37) % 300);
}
const ChannelNameTable kNames = MakeEmptyChannelNameTable();

const BenchRecording& File() {
    static const BenchRecording f("history.tda", kRows, kChannels, Parameters(), Value, &kNames);
    return f;
}

long MaxRssKb() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return u.ru_maxrss;
}

void Paint(const TrendWindow& w, QImage& image, CursorReadout& readout) {
    QPainter painter(&image);
    QPainterDc dc(painter);
    w.Draw(dc, kClient, readout, 0);
}

struct Loaded {
    std::unique_ptr<TrendWindow> window = std::make_unique<TrendWindow>();
    QImage image{kWidth, kHeight, QImage::Format_RGB32};
    CursorReadout readout{};
    Loaded() {
        if (window->FirstLoad(File().path, MakeEmptyChannelNameTable()) !=
            TrendWindow::LoadResult::Loaded)
            std::abort();
        readout.cursorState = kCursorShown;
        readout.cursorX = kWidth / 3;
    }
    DcRect Plot() const { return PlotRect(kClient, window->m_curvePara); }
};

void BM_FirstLoadAndPaint(benchmark::State& state) {
    const std::string& path = File().path;
    auto window = std::make_unique<TrendWindow>();
    QImage image(kWidth, kHeight, QImage::Format_RGB32);
    CursorReadout readout{};
    const long rssBefore = MaxRssKb();
    for (auto _ : state) {
        if (window->FirstLoad(path, MakeEmptyChannelNameTable()) != TrendWindow::LoadResult::Loaded)
            state.SkipWithError("load failed");
        Paint(*window, image, readout);
    }
    state.counters["points"] = window->m_pointsPerScreen;
    state.counters["window_bytes"] = double(sizeof(TrendWindow));
    state.counters["rss_growth_kb"] = double(MaxRssKb() - rssBefore);
}
BENCHMARK(BM_FirstLoadAndPaint)->Unit(benchmark::kMillisecond);

// Zoom in at the middle of the plot and back out again: two steps per
// iteration, each a write-back, a reload and a repaint.
void BM_ZoomStep(benchmark::State& state) {
    Loaded l;
    const DcRect p = l.Plot();
    const int x = (p.left + p.right) / 2;
    const int y = (p.top + p.bottom) / 2;
    for (auto _ : state) {
        TrendNavigator::ZoomIn(l.window->m_curvePara, l.window->m_header, p, x, y);
        l.window->Reload();
        Paint(*l.window, l.image, l.readout);
        TrendNavigator::ZoomOut(l.window->m_curvePara, l.window->m_header, p, x, y);
        l.window->Reload();
        Paint(*l.window, l.image, l.readout);
    }
    state.counters["steps"] = 2;
}
BENCHMARK(BM_ZoomStep)->Unit(benchmark::kMillisecond);

// One page forward (back to the start at the end of the recording).
void BM_PageStep(benchmark::State& state) {
    Loaded l;
    const DcRect p = l.Plot();
    for (auto _ : state) {
        const SYSTEMTIME before = l.window->m_curvePara.startTime;
        TrendNavigator::Page(l.window->m_curvePara, l.window->m_header, p, p.right);
        if (CompareTime(before, l.window->m_curvePara.startTime) == 0)
            TrendNavigator::HeadOrTail(l.window->m_curvePara, l.window->m_header, p, p.left);
        l.window->Reload();
        Paint(*l.window, l.image, l.readout);
    }
}
BENCHMARK(BM_PageStep)->Unit(benchmark::kMillisecond);

// The draw hook alone: background, grid, labels, 80 x 1198 segments each
// with its own pen, and the readout box.
void BM_FullRepaint(benchmark::State& state) {
    Loaded l;
    for (auto _ : state)
        Paint(*l.window, l.image, l.readout);
    state.counters["segments"] = double(kChannels) * (l.window->m_displayPos - 1);
}
BENCHMARK(BM_FullRepaint)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) {
    if (!std::getenv("QT_QPA_PLATFORM"))
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QGuiApplication app(argc, argv);
    File(); // written before any timing
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
