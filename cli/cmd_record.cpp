// vantrel-cli record --port N --seconds S --out FILE.tda: a headless
// acquisition run for loggers without a screen. The same run code and file
// format as the program's real-time window: the temporary file grows in the
// data folder, synced after every sample, and is copied to FILE.tda when the
// run ends (after S seconds, or at SIGINT or SIGTERM).

#include "verbs.h"

#include "acquisitionrun.h"
#include "curveparameters.h"
#include "datafolder.h"
#include "timearith.h"
#include "zorcombuf.h"
#include "zorcomm.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <string>

namespace {

volatile std::sig_atomic_t g_stopRequested = 0;

void OnStopSignal(int) {
    g_stopRequested = 1;
}

void InstallStopHandlers() {
    struct sigaction sa {};
    sa.sa_handler = OnStopSignal;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = 0; // no SA_RESTART: a sleeping tick wakes up at once
    sigaction(SIGINT, &sa, nullptr);
    sigaction(SIGTERM, &sa, nullptr);
    // A file size limit makes writes fail (and the run stop cleanly) rather
    // than killing the process.
    std::signal(SIGXFSZ, SIG_IGN);
}

struct RecordOptions {
    SerialLine line;
    long long seconds = -1;
    int32_t interval = 1;
    std::string out;
    bool stats = false;
};

bool ParseInt(const std::string& s, long long lo, long long hi, long long& v) {
    char* end = nullptr;
    errno = 0;
    long long x = std::strtoll(s.c_str(), &end, 10);
    if (errno || end == s.c_str() || *end || x < lo || x > hi)
        return false;
    v = x;
    return true;
}

bool ParseOptions(const CliArgs& a, RecordOptions& o) {
    for (size_t i = 0; i < a.args.size(); ++i) {
        const std::string& k = a.args[i];
        if (k == "--stats") {
            o.stats = true;
            continue;
        }
        if (i + 1 >= a.args.size())
            return false;
        const std::string& v = a.args[++i];
        long long n = 0;
        if (k == "--out")
            o.out = v;
        else if (k == "--port" && ParseInt(v, 1, 255, n))
            o.line.port = int(n);
        else if (k == "--seconds" && ParseInt(v, 0, 1LL << 40, n))
            o.seconds = n;
        else if (k == "--interval" && ParseInt(v, 1, 86400, n))
            o.interval = int32_t(n);
        else if (k == "--baud" && ParseInt(v, 50, 4000000, n))
            o.line.baud = uint32_t(n);
        else
            return false;
    }
    return !o.out.empty() && o.seconds >= 0;
}

// The curve parameters and names the program would record with: those of
// CURVEPARA.DAT in the data folder, or the fresh ones.
void LoadCurveSettings(CurveParameters& p, ChannelNameTable& names) {
    p = MakeFreshCurveParameters();
    names = MakeEmptyChannelNameTable();
    std::ifstream f(std::filesystem::path(vantrel::DataFolder()) / "CURVEPARA.DAT",
                    std::ios::binary);
    CurveParameters fp{};
    ChannelNameTable fn{};
    if (f.read(reinterpret_cast<char*>(&fp), sizeof fp) &&
        f.read(reinterpret_cast<char*>(&fn), sizeof fn)) {
        p = fp;
        names = fn;
        TerminateChannelNames(names);
    }
}

timespec AddNs(timespec t, long long ns) {
    long long total = (long long)t.tv_nsec + ns;
    t.tv_sec += total / 1000000000LL;
    t.tv_nsec = long(total % 1000000000LL);
    return t;
}

long long NsBetween(const timespec& a, const timespec& b) {
    return (b.tv_sec - a.tv_sec) * 1000000000LL + (b.tv_nsec - a.tv_nsec);
}

const char* StartFailureText(CAcquisitionRun::StartResult r) {
    switch (r) {
    case CAcquisitionRun::StartResult::PortFailed:
        return "the serial port cannot be opened";
    case CAcquisitionRun::StartResult::ConnectFailed:
        return "连接设备失败！";
    case CAcquisitionRun::StartResult::FileFailed:
        return "文件保存错误!";
    default:
        return "";
    }
}

} // namespace

int CmdRecord(const CliArgs& a) {
    RecordOptions o;
    if (!ParseOptions(a, o)) {
        std::fprintf(stderr, "usage: vantrel-cli record --port N --seconds S --out FILE.tda "
                             "[--interval SEC] [--baud RATE] [--stats]\n");
        return 2;
    }
    InstallStopHandlers();

    CurveParameters para{};
    ChannelNameTable names{};
    LoadCurveSettings(para, names);
    CZorComBuf rxBuf;
    int32_t portOpen = 0;
    CAcquisitionRun run(rxBuf, portOpen);
    auto started = run.Start(o.line, o.interval, para, vantrel::DataFolder(), CurrentLocalTime());
    if (started != CAcquisitionRun::StartResult::Started) {
        std::fprintf(stderr, "vantrel-cli record: %s\n", StartFailureText(started));
        return 1;
    }
    std::fprintf(stderr, "recording %d channels from COM%d every %d s into %s\n",
                 run.Header().channelCount, o.line.port, run.Header().sampleInterval,
                 run.TempPath().c_str());

    // One tick per second on the monotonic clock; a tick that overran (a
    // silent device) merges the ticks it missed, as the window timer does.
    timespec begin{}, next{};
    clock_gettime(CLOCK_MONOTONIC, &begin);
    next = begin;
    bool writeFailed = false;
    long long ticks = 0, tickNsTotal = 0, tickNsMax = 0;
    while (!g_stopRequested) {
        next = AddNs(next, 1000000000LL);
        if (NsBetween(begin, next) > o.seconds * 1000000000LL)
            break;
        while (!g_stopRequested &&
               clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &next, nullptr) == EINTR) {
        }
        if (g_stopRequested)
            break;
        timespec t0{}, t1{};
        clock_gettime(CLOCK_MONOTONIC, &t0);
        auto r = run.Tick(CurrentLocalTime());
        clock_gettime(CLOCK_MONOTONIC, &t1);
        long long ns = NsBetween(t0, t1);
        ++ticks;
        tickNsTotal += ns;
        tickNsMax = std::max(tickNsMax, ns);
        if (r == CAcquisitionRun::TickResult::WriteFailed) {
            std::fprintf(stderr, "vantrel-cli record: 文件保存错误!\n");
            writeFailed = true;
            break;
        }
        while (NsBetween(next, t1) >= 1000000000LL)
            next = AddNs(next, 1000000000LL);
    }

    const int samples = run.Header().sampleCount;
    const std::string temp = run.TempPath();
    bool complete = run.Stop(names);
    if (o.stats) {
        const auto& s = run.Syncs();
        std::printf("ticks %lld, tick mean %.3f ms, max %.3f ms\n", ticks,
                    ticks ? tickNsTotal / 1e6 / double(ticks) : 0.0, tickNsMax / 1e6);
        std::printf("fdatasync %lld, mean %.3f ms, max %.3f ms\n", s.samples,
                    s.samples ? s.totalNs / 1e6 / double(s.samples) : 0.0, s.maxNs / 1e6);
    }
    if (!CopyRecordingAndDelete(temp, o.out)) {
        std::fprintf(stderr, "vantrel-cli record: cannot write %s; the recording stays in %s\n",
                     o.out.c_str(), temp.c_str());
        return 1;
    }
    std::printf("%d samples saved to %s\n", samples, o.out.c_str());
    if (!complete)
        std::fprintf(stderr, "vantrel-cli record: the channel names could not be written\n");
    return writeFailed || !complete ? 1 : 0;
}
