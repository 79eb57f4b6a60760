// link-libmodbus-slave: an RTU slave built on libmodbus, an implementation
// independent of ours, on a pseudo-terminal published as COM<n>. Test-only.
//
//   link-libmodbus-slave --port N
// Prints "READY <link>" once it answers; stops on SIGTERM or SIGINT and removes
// the link. Slave 1; coils 0..63 (on when the address is a multiple of 3);
// holding registers 0..199 holding ConformancePattern(address).
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <modbus/modbus.h>
#include <pthread.h>
#include <stdlib.h>
#include <string>
#include <termios.h>
#include <thread>
#include <unistd.h>

#include "conformance.h"
#include "datafolder.h"

namespace {

void Serve(modbus_t* ctx, modbus_mapping_t* mapping) {
    uint8_t query[MODBUS_RTU_MAX_ADU_LENGTH];
    for (;;) {
        int rc = modbus_receive(ctx, query);
        if (rc > 0)
            modbus_reply(ctx, query, rc, mapping);
        else if (rc < 0 && errno != EMBBADCRC && errno != EMBBADDATA && errno != ETIMEDOUT)
            usleep(1000); // the client side is closed: wait for the next one
    }
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 3 || std::strcmp(argv[1], "--port") != 0) {
        std::fprintf(stderr, "usage: link-libmodbus-slave --port N\n");
        return 2;
    }
    int port = std::atoi(argv[2]);

    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

    int master = posix_openpt(O_RDWR | O_NOCTTY);
    char name[256];
    if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0 ||
        ptsname_r(master, name, sizeof name) != 0) {
        std::perror("pseudo-terminal");
        return 1;
    }
    // Our own handle on the terminal keeps the line up between clients.
    int keep = ::open(name, O_RDWR | O_NOCTTY);
    termios raw{};
    tcgetattr(keep, &raw);
    cfmakeraw(&raw);
    tcsetattr(keep, TCSANOW, &raw);

    modbus_t* ctx = modbus_new_rtu(name, 9600, 'N', 8, 1);
    modbus_set_slave(ctx, 1);
    modbus_set_socket(ctx, master); // libmodbus reads and writes the master side
    modbus_mapping_t* mapping = modbus_mapping_new(64, 0, 200, 0);
    for (int i = 0; i < 64; ++i)
        mapping->tab_bits[i] = i % 3 == 0;
    for (int i = 0; i < 200; ++i)
        mapping->tab_registers[i] = linktest::ConformancePattern(i);

    vantrel::PortsFolder();
    std::string link = vantrel::PortLinkPath(port);
    ::unlink(link.c_str());
    if (::symlink(name, link.c_str()) != 0) {
        std::perror(link.c_str());
        return 1;
    }
    std::thread([ctx, mapping] { Serve(ctx, mapping); }).detach();
    std::printf("READY %s\n", link.c_str());
    std::fflush(stdout);

    int signal = 0;
    sigwait(&stopSignals, &signal);
    ::unlink(link.c_str());
    _exit(0); // the serving thread is blocked in libmodbus; end without joining it
}
