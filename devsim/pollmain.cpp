// vantrel-poll: polls the device on COM<n> through the project's libraries and
// prints its readings, the way the program does: identity check, channel
// count and alarm limits from registers 80..82, then one read per interval.
#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>

#include "zorcomm.h"
#include "zormodbusrtu.h"

namespace {

volatile std::sig_atomic_t g_stop = 0;

void RequestStop(int) {
    g_stop = 1;
}

int Usage() {
    std::fputs("Usage: vantrel-poll [--port N] [--seconds S] [--interval S] [--baud RATE]\n"
               "Polls the device on COM<N> (default 1) every interval (default 1 s) for S\n"
               "seconds (default 5) and prints its readings in degrees Celsius.\n",
               stderr);
    return 2;
}

} // namespace

int main(int argc, char** argv) {
    int port = 1;
    double seconds = 5, interval = 1;
    uint32_t baud = 9600;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if (i + 1 >= argc)
            return Usage();
        double value = std::atof(argv[++i]);
        if (arg == "--port" && value >= 1 && value <= 28)
            port = static_cast<int>(value);
        else if (arg == "--seconds" && value > 0)
            seconds = value;
        else if (arg == "--interval" && value > 0)
            interval = value;
        else if (arg == "--baud" && value > 0)
            baud = static_cast<uint32_t>(value);
        else
            return Usage();
    }
    std::signal(SIGINT, RequestStop);
    std::signal(SIGTERM, RequestStop);

    if (!Open_Com(static_cast<uint8_t>(port), baud, 8, 0, 0))
        return 1;
    static CZorComBuf buffer; // 4 KiB; one for the whole process, like the program's
    uint8_t info[256] = {};
    uint16_t rc = OnDeviceInfo(port, 1, &buffer, info);
    std::string identity(reinterpret_cast<char*>(info + 1),
                         strnlen(reinterpret_cast<char*>(info + 1), 255));
    if (rc != RTU_OK || identity != "VQX7306A") {
        std::fprintf(stderr, "vantrel-poll: no device on COM%d (result %u, identity \"%s\")\n",
                     port, rc, identity.c_str());
        Close_Com(static_cast<uint8_t>(port));
        return 1;
    }
    uint16_t settings[3] = {};
    rc = OnReadMRegister(port, 1, 80, 3, &buffer, settings);
    if (rc != RTU_OK) {
        std::fprintf(stderr, "vantrel-poll: reading the channel count failed (result %u)\n", rc);
        Close_Com(static_cast<uint8_t>(port));
        return 1;
    }
    int channels = std::clamp(settings[0] & 0xFF, 1, 80);
    std::printf("COM%d: %s, %d channels, alarm limits %d / %d\n", port, identity.c_str(), channels,
                static_cast<int16_t>(settings[1]), static_cast<int16_t>(settings[2]));

    auto start = std::chrono::steady_clock::now();
    auto next = start;
    while (!g_stop &&
           std::chrono::steady_clock::now() - start < std::chrono::duration<double>(seconds)) {
        uint16_t readings[80] = {};
        auto before = std::chrono::steady_clock::now();
        rc = OnReadMRegister(port, 1, 0, static_cast<uint16_t>(channels), &buffer, readings);
        double ms =
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - before)
                .count();
        double t = std::chrono::duration<double>(before - start).count();
        if (rc == RTU_OK) {
            std::printf("%6.1f s  %5.1f ms |", t, ms);
            for (int i = 0; i < channels; ++i)
                std::printf(" %6.1f", static_cast<int16_t>(readings[i]) / 10.0);
            std::printf("\n");
        } else {
            std::printf("%6.1f s  poll failed (result %u)\n", t, rc);
        }
        std::fflush(stdout);
        next += std::chrono::duration_cast<std::chrono::steady_clock::duration>(
            std::chrono::duration<double>(interval));
        while (!g_stop && std::chrono::steady_clock::now() < next)
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    Close_Com(static_cast<uint8_t>(port));
    return 0;
}
