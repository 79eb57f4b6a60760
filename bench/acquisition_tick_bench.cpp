// Time of one acquisition tick of the real-time window: the poll of the
// device, the header and row written and synced, and the newest segments
// drawn into the window's picture. The view runs offscreen against the
// device simulator; its timer is driven back to back.
//
//   acquisition_tick_bench [--ticks N] [--channels N] [--baud RATE]
//
// --baud paces the simulator's reply bytes like a real line (0: at once).

#include "devicesimulator.h"
#include "realcurveview.h"
#include "vantrel.h"

#include <QApplication>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <vector>

namespace fs = std::filesystem;
namespace sim = vantrel::devsim;

int main(int argc, char** argv) {
    int ticks = 300, channels = 80;
    uint32_t baud = 0;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (!std::strcmp(argv[i], "--ticks"))
            ticks = std::atoi(argv[i + 1]);
        else if (!std::strcmp(argv[i], "--channels"))
            channels = std::atoi(argv[i + 1]);
        else if (!std::strcmp(argv[i], "--baud"))
            baud = uint32_t(std::atol(argv[i + 1]));
    }
    std::string folder = (fs::temp_directory_path() / "vantrel-tick-XXXXXX").string();
    if (!::mkdtemp(folder.data()))
        return 2;
    ::setenv("VANTREL_DATA_DIR", folder.c_str(), 1);
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication app(argc, argv);

    sim::SimulatorOptions o;
    o.port = 11;
    o.channels = channels;
    o.paceBaud = baud;
    sim::DeviceSimulator device(o);
    if (!device.Start())
        return 2;
    theApp.m_ComPara.SetDefaults();
    theApp.m_ComPara.nPort = 10;
    {
        CRealCurveView view;
        view.resize(1280, 800);
        view.show();
        view.OnInitialUpdate();
        view.OnCmdMsg(cmd::ID_START_ACQUIRE);
        if (!theApp.m_bAcquiring) {
            std::fprintf(stderr, "the run did not start\n");
            return 1;
        }
        // With the fresh parameters (10 minutes, 1 s) every tick fills a
        // column and draws a segment per visible channel.
        std::vector<double> ms;
        ms.reserve(size_t(ticks));
        view.OnTimer(1); // no sample, no column
        for (int t = 0; t < ticks; ++t) {
            auto t0 = std::chrono::steady_clock::now();
            view.OnTimer(1);
            ms.push_back(
                std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0)
                    .count());
        }
        const auto syncs = view.Run().Syncs();
        view.OnCmdMsg(cmd::ID_STOP_ACQUIRE);
        std::sort(ms.begin(), ms.end());
        double sum = 0;
        for (double v : ms)
            sum += v;
        std::printf("%d ticks, %d channels, line %s: tick mean %.2f ms, median %.2f ms, "
                    "95%% %.2f ms, max %.2f ms\n",
                    ticks, channels, baud ? std::to_string(baud).c_str() : "unpaced",
                    sum / ms.size(), ms[ms.size() / 2], ms[ms.size() * 95 / 100], ms.back());
        std::printf("of which fdatasync: mean %.3f ms, max %.3f ms over %lld samples\n",
                    syncs.samples ? syncs.totalNs / 1e6 / double(syncs.samples) : 0.0,
                    syncs.maxNs / 1e6, syncs.samples);
    }
    device.Stop();
    std::error_code ec;
    fs::remove_all(folder, ec);
    return 0;
}
