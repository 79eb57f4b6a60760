// How long each operation's budget lasts with a silent device, and the CPU the
// waiting thread uses meanwhile (the budget is spent asleep on the port).
//
//   link_budgets
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <pty.h>
#include <string>
#include <sys/resource.h>
#include <termios.h>
#include <unistd.h>

#include "datafolder.h"
#include "zorcomm.h"
#include "zormodbusrtu.h"

namespace {

double ThreadCpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_THREAD, &usage);
    return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec +
           (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

} // namespace

int main() {
    std::string dir = (std::filesystem::temp_directory_path() / "vantrel-budgets-XXXXXX").string();
    if (!mkdtemp(dir.data()))
        return 1;
    setenv("VANTREL_DATA_DIR", dir.c_str(), 1);
    int master = -1, slave = -1;
    char name[256];
    termios raw{};
    cfmakeraw(&raw);
    if (openpty(&master, &slave, name, &raw, nullptr) != 0)
        return 1;
    vantrel::PortsFolder();
    if (symlink(name, vantrel::PortLinkPath(1).c_str()) != 0 || !Open_Com(1, 9600, 8, 0, 0))
        return 1;

    static CZorComBuf buffer;
    uint8_t bytes[256];
    uint16_t words[128];
    const uint16_t value = 1;
    struct Case {
        const char* name;
        long passes;
        std::function<uint16_t()> run;
    } cases[] = {
        {"OnDeviceInfo", 30000, [&] { return OnDeviceInfo(1, 1, &buffer, bytes); }},
        {"OnReadRegister", 21000, [&] { return OnReadRegister(1, 1, 0, &buffer, words); }},
        {"OnReadMRegister 3", 42000, [&] { return OnReadMRegister(1, 1, 80, 3, &buffer, words); }},
        {"OnReadMRegister 80", 504000,
         [&] { return OnReadMRegister(1, 1, 0, 80, &buffer, words); }},
        {"OnReadBitStatus 16", 30000, [&] { return OnReadBitStatus(1, 1, 0, 16, &buffer, bytes); }},
        {"OnWriteRegister", 24000, [&] { return OnWriteRegister(1, 1, 0, &buffer, &value); }},
        {"OnWriteMRegister 3", 24000,
         [&] { return OnWriteMRegister(1, 1, 80, 3, &buffer, words); }},
        {"OnSetBitStatus", 24000, [&] { return OnSetBitStatus(1, 1, 0, &buffer); }},
        {"OnClrBitStatus", 24000, [&] { return OnClrBitStatus(1, 1, 0, &buffer); }},
    };
    std::printf("%-20s %8s %10s %10s %12s %8s\n", "operation", "passes", "nominal", "measured",
                "CPU waiting", "result");
    for (auto& c : cases) {
        double cpu = ThreadCpuSeconds();
        auto start = std::chrono::steady_clock::now();
        uint16_t result = c.run();
        double seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        cpu = ThreadCpuSeconds() - cpu;
        std::printf("%-20s %8ld %8.3f s %8.3f s %9.2f ms %8u\n", c.name, c.passes,
                    c.passes * RTU_PASS_MICROSECONDS / 1e6, seconds, cpu * 1e3, result);
        tcflush(master, TCIOFLUSH); // drop the unanswered request
    }
    Close_Com(1);
    std::filesystem::remove_all(dir);
    return 0;
}
