// Round trip and CPU of an 80-register read against the device simulator over
// a pseudo-terminal: ZorModbusRTU's OnReadMRegister side by side with
// libmodbus's modbus_read_registers, in alternating rounds of one run.
//
//   link_bench [--transactions N] [--baud RATE]   (defaults 2000, no pacing)
// Targets: our median round trip at most libmodbus's; our CPU per transaction
// at most twice libmodbus's.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <modbus/modbus.h>
#include <string>
#include <sys/resource.h>
#include <vector>

#include "devicesimulator.h"
#include "zorcomm.h"
#include "zormodbusrtu.h"

namespace {

constexpr int kPort = 1;
constexpr int kRegisters = 80;
constexpr int kRounds = 4;

double ThreadCpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_THREAD, &usage);
    return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec +
           (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

struct Figures {
    std::vector<double> roundTripsUs;
    double cpuSeconds = 0;
    int failures = 0;

    double Median() {
        std::sort(roundTripsUs.begin(), roundTripsUs.end());
        return roundTripsUs.empty() ? 0 : roundTripsUs[roundTripsUs.size() / 2];
    }
    double Percentile(double p) {
        std::sort(roundTripsUs.begin(), roundTripsUs.end());
        return roundTripsUs.empty()
                   ? 0
                   : roundTripsUs[static_cast<size_t>(p * (roundTripsUs.size() - 1))];
    }
    double CpuPerTransactionUs() const {
        return 1e6 * cpuSeconds / std::max<size_t>(1, roundTripsUs.size());
    }
};

// Times `transactions` calls of `read` (true on success) and adds them to `figures`.
void Measure(int transactions, const std::function<bool()>& read, Figures& figures) {
    double cpuBefore = ThreadCpuSeconds();
    for (int i = 0; i < transactions; ++i) {
        auto start = std::chrono::steady_clock::now();
        bool ok = read();
        auto us =
            std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - start);
        figures.roundTripsUs.push_back(us.count());
        figures.failures += !ok;
    }
    figures.cpuSeconds += ThreadCpuSeconds() - cpuBefore;
}

void Report(const char* name, Figures& f) {
    std::printf("%-28s median %8.1f us  p90 %8.1f us  CPU %7.1f us/transaction  failures %d\n",
                name, f.Median(), f.Percentile(0.9), f.CpuPerTransactionUs(), f.failures);
}

} // namespace

int main(int argc, char** argv) {
    int transactions = 2000;
    uint32_t baud = 0;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (!std::strcmp(argv[i], "--transactions"))
            transactions = std::max(kRounds, std::atoi(argv[i + 1]));
        else if (!std::strcmp(argv[i], "--baud"))
            baud = static_cast<uint32_t>(std::atoi(argv[i + 1]));
    }

    std::string dir =
        (std::filesystem::temp_directory_path() / "vantrel-link-bench-XXXXXX").string();
    if (!mkdtemp(dir.data()))
        return 1;
    setenv("VANTREL_DATA_DIR", dir.c_str(), 1);
    vantrel::devsim::SimulatorOptions options;
    options.port = kPort;
    options.channels = kRegisters;
    options.paceBaud = baud;
    vantrel::devsim::DeviceSimulator simulator(options);
    std::string error;
    if (!simulator.Start(&error)) {
        std::fprintf(stderr, "simulator: %s\n", error.c_str());
        return 1;
    }

    Figures ours, theirs;
    static CZorComBuf buffer;
    uint16_t values[kRegisters];
    const int perRound = transactions / kRounds;
    for (int round = 0; round < kRounds; ++round) {
        if (!Open_Com(kPort, 9600, 8, 0, 0))
            return 1;
        Measure(
            perRound,
            [&] { return OnReadMRegister(kPort, 1, 0, kRegisters, &buffer, values) == RTU_OK; },
            ours);
        Close_Com(kPort);

        modbus_t* ctx = modbus_new_rtu(simulator.LinkPath().c_str(), 9600, 'N', 8, 1);
        modbus_set_slave(ctx, 1);
        if (!ctx || modbus_connect(ctx) != 0) {
            std::fprintf(stderr, "libmodbus: %s\n", modbus_strerror(errno));
            return 1;
        }
        Measure(
            perRound,
            [&] { return modbus_read_registers(ctx, 0, kRegisters, values) == kRegisters; },
            theirs);
        modbus_close(ctx);
        modbus_free(ctx);
    }
    simulator.Stop();
    std::filesystem::remove_all(dir);

    std::printf("80-register read, %d transactions each, simulator %s\n", perRound * kRounds,
                baud ? ("paced at " + std::to_string(baud) + " baud").c_str() : "unpaced");
    Report("ZorModbusRTU OnReadMRegister", ours);
    Report("libmodbus read_registers", theirs);
    bool rttOk = ours.Median() <= theirs.Median();
    bool cpuOk = ours.CpuPerTransactionUs() <= 2 * theirs.CpuPerTransactionUs();
    std::printf("median round trip ours/libmodbus %.2f (target <= 1): %s\n",
                ours.Median() / theirs.Median(), rttOk ? "met" : "NOT met");
    std::printf("CPU per transaction ours/libmodbus %.2f (target <= 2): %s\n",
                ours.CpuPerTransactionUs() / theirs.CpuPerTransactionUs(),
                cpuOk ? "met" : "NOT met");
    return ours.failures || theirs.failures ? 1 : 0;
}
