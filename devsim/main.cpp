// vantrel-devsim: the acquisition device on a pseudo-terminal, for the
// program, scripts, tests and benchmarks.
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <sstream>
#include <string>
#include <unistd.h>

#include "devicesimulator.h"

using vantrel::devsim::Course;
using vantrel::devsim::DeviceSimulator;
using vantrel::devsim::Fault;
using vantrel::devsim::SimulatorOptions;

namespace {

const char kHelp[] = R"(Usage: vantrel-devsim [options]

Simulates the acquisition device (Modbus RTU slave) on a pseudo-terminal and
publishes it as <data folder>/ports/COM<n>, so the program opens it as COM<n>.
The data folder is $VANTREL_DATA_DIR, else $XDG_STATE_HOME/vantrel, else
~/.local/state/vantrel. Runs until SIGINT or SIGTERM (or --duration), then
removes the link.

Device:
  --port N            publish as COM<N> (default 1)
  --slave N           slave address (default 1)
  --channels N        channels 1..120 in registers 0..N-1; register 80 starts
                      at N (default 8). Registers 80..82 (channel count, upper
                      and lower alarm limit) take precedence over readings.
  --identity TEXT     text answered to 0x11 (default VQX7306A)
  --alarm-high N      register 81 (default 300)
  --alarm-low N       register 82 (default 10)

Readings (tenths of a degree Celsius in the registers):
  --course KIND       sine (default), flat, or counter (flat plus the number of
                      earlier reads that included register 0)
  --base C            channel 0's base temperature (default 25)
  --spread C          offset added per channel (default 1)
  --amplitude C       sine amplitude (default 5)
  --period S          sine period in seconds (default 60)
  --noise C           random noise of +-C (default 0)
  --channel CH:BASE[:AMPLITUDE[:PERIOD]]
                      own course of channel CH (0-based); repeatable

Timing:
  --baud RATE         pace reply bytes at RATE (10 bit times per byte);
                      0 sends at once (default 0)
  --reply-delay MS    wait before every reply (default 0)
  --late-delay MS     delay of the 'late' fault (default 1500)

Faults:
  --fault KINDS       comma-separated kinds among: no-reply, bad-crc,
                      exception, other-slave, garbage, late, identity.
                      Alone, every reply gets one of them.
  --fault-rate R      probability 0..1 that a reply gets a fault (drawn from
                      --fault kinds, or from all kinds when none are given)
  --seed N            random seed (default 1)

Other:
  --log FILE          append one line per answered request
  --print-ready       print "READY pid=<pid> link=<path> tty=<path>" on stdout
                      once the port answers
  --pid-file FILE     write the PID to FILE once ready (removed on exit)
  --duration S        stop by itself after S seconds
  --help              this text
)";

bool ParseFaults(const std::string& list, std::vector<Fault>* faults) {
    std::stringstream stream(list);
    std::string name;
    while (std::getline(stream, name, ',')) {
        Fault fault;
        if (!vantrel::devsim::ParseFault(name, &fault))
            return false;
        faults->push_back(fault);
    }
    return !faults->empty();
}

bool ParseCourse(const std::string& name, Course* course) {
    if (name == "sine")
        *course = Course::Sine;
    else if (name == "flat")
        *course = Course::Flat;
    else if (name == "counter")
        *course = Course::Counter;
    else
        return false;
    return true;
}

bool ParseChannelCourse(const std::string& text, const SimulatorOptions& options,
                        vantrel::devsim::ChannelCourse* course) {
    std::stringstream stream(text);
    std::string field;
    std::vector<double> numbers;
    while (std::getline(stream, field, ':')) {
        char* end = nullptr;
        double number = std::strtod(field.c_str(), &end);
        if (field.empty() || *end != '\0')
            return false;
        numbers.push_back(number);
    }
    if (numbers.size() < 2 || numbers.size() > 4 || numbers[0] < 0 || numbers[0] >= 120)
        return false;
    *course = {static_cast<int>(numbers[0]), numbers[1],
               numbers.size() > 2 ? numbers[2] : options.amplitudeCelsius,
               numbers.size() > 3 ? numbers[3] : options.periodSeconds};
    return course->periodSeconds > 0;
}

int Usage(const char* problem) {
    std::fprintf(stderr, "vantrel-devsim: %s (see --help)\n", problem);
    return 2;
}

} // namespace

int main(int argc, char** argv) {
    SimulatorOptions options;
    bool printReady = false;
    bool rateGiven = false;
    std::string pidFile;
    double duration = 0;
    vantrel::devsim::ChannelCourse channelCourse{};
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            std::fputs(kHelp, stdout);
            return 0;
        }
        if (arg == "--print-ready") {
            printReady = true;
            continue;
        }
        if (i + 1 >= argc)
            return Usage(("missing value for " + arg).c_str());
        std::string value = argv[++i];
        char* end = nullptr;
        double number = std::strtod(value.c_str(), &end);
        bool numeric = end && *end == '\0' && !value.empty();
        auto needNumber = [&]() { return numeric; };
        if (arg == "--port" && needNumber() && number >= 1 && number <= 28)
            options.port = static_cast<int>(number);
        else if (arg == "--slave" && needNumber() && number >= 1 && number <= 247)
            options.slave = static_cast<uint8_t>(number);
        else if (arg == "--channels" && needNumber() && number >= 1 && number <= 120)
            options.channels = static_cast<int>(number);
        else if (arg == "--identity")
            options.identity = value;
        else if (arg == "--alarm-high" && needNumber())
            options.alarmHigh = static_cast<int16_t>(number);
        else if (arg == "--alarm-low" && needNumber())
            options.alarmLow = static_cast<int16_t>(number);
        else if (arg == "--course" && ParseCourse(value, &options.course))
            ;
        else if (arg == "--base" && needNumber())
            options.baseCelsius = number;
        else if (arg == "--spread" && needNumber())
            options.spreadCelsius = number;
        else if (arg == "--amplitude" && needNumber())
            options.amplitudeCelsius = number;
        else if (arg == "--period" && needNumber() && number > 0)
            options.periodSeconds = number;
        else if (arg == "--noise" && needNumber() && number >= 0)
            options.noiseCelsius = number;
        else if (arg == "--channel" && ParseChannelCourse(value, options, &channelCourse))
            options.channelCourses.push_back(channelCourse);
        else if (arg == "--baud" && needNumber() && number >= 0)
            options.paceBaud = static_cast<uint32_t>(number);
        else if (arg == "--reply-delay" && needNumber() && number >= 0)
            options.replyDelayMs = static_cast<int>(number);
        else if (arg == "--late-delay" && needNumber() && number >= 0)
            options.lateDelayMs = static_cast<int>(number);
        else if (arg == "--fault" && ParseFaults(value, &options.faults))
            ;
        else if (arg == "--fault-rate" && needNumber() && number >= 0 && number <= 1) {
            options.faultRate = number;
            rateGiven = true;
        } else if (arg == "--seed" && needNumber())
            options.seed = static_cast<uint32_t>(number);
        else if (arg == "--log")
            options.logPath = value;
        else if (arg == "--pid-file")
            pidFile = value;
        else if (arg == "--duration" && needNumber() && number > 0)
            duration = number;
        else
            return Usage(("bad option or value: " + arg + " " + value).c_str());
    }
    if (!options.faults.empty() && !rateGiven)
        options.faultRate = 1.0;

    // Block the stop signals before any thread starts, then wait for them here.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    sigaddset(&stopSignals, SIGHUP);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

    DeviceSimulator simulator(options);
    std::string error;
    if (!simulator.Start(&error)) {
        std::fprintf(stderr, "vantrel-devsim: %s\n", error.c_str());
        return 1;
    }
    if (!pidFile.empty())
        std::ofstream(pidFile) << getpid() << "\n";
    if (printReady) {
        std::printf("READY pid=%d link=%s tty=%s\n", static_cast<int>(getpid()),
                    simulator.LinkPath().c_str(), simulator.TerminalPath().c_str());
        std::fflush(stdout);
    }

    if (duration > 0) {
        timespec timeout{static_cast<time_t>(duration),
                         static_cast<long>((duration - static_cast<time_t>(duration)) * 1e9)};
        sigtimedwait(&stopSignals, nullptr, &timeout);
    } else {
        int signal = 0;
        sigwait(&stopSignals, &signal);
    }
    simulator.Stop();
    if (!pidFile.empty())
        ::unlink(pidFile.c_str());
    return 0;
}
