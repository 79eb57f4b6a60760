// The acquisition device, simulated on a pseudo-terminal.
//
// A DeviceSimulator opens a pseudo-terminal, links it as <data folder>/ports/COM<n>
// (removed again on Stop) and answers Modbus RTU requests as the device does:
// slave 1, identity "VQX7306A" to 0x11, readings of n channels in holding
// registers 0..n-1 (tenths of a degree), channel count and alarm limits in
// registers 80..82, functions 0x03, 0x06, 0x10, 0x01 and 0x05. It can pace its
// bytes at a line rate, delay replies and inject faults. It runs on a thread of
// its own; the program vantrel-devsim wraps it for scripts and child-process use.
#pragma once

#include <atomic>
#include <cstdint>
#include <deque>
#include <mutex>
#include <random>
#include <string>
#include <thread>
#include <vector>

namespace vantrel::devsim {

enum class Fault {
    NoReply,         // the request is not answered
    BadCrc,          // the reply's last CRC byte is altered
    Exception,       // exception reply (function | 0x80, code 4)
    OtherSlaveFirst, // the same reply from slave address + 1 goes out first
    LeadingGarbage,  // a few bytes other than the slave address precede the reply
    Late,            // the reply goes out after the late delay
    WrongIdentity,   // 0x11 answers another identity text (other functions: no fault)
};

// Parses "no-reply", "bad-crc", "exception", "other-slave", "garbage", "late", "identity".
bool ParseFault(const std::string& name, Fault* fault);
const char* FaultName(Fault fault);
std::vector<Fault> AllFaults();

enum class Course {
    Sine,    // base + channel * spread + amplitude * sin(2 pi t / period + channel phase) + noise
    Flat,    // base + channel * spread, constant
    Counter, // flat value + the number of earlier reads that included register 0
};

// The course of one channel, overriding the common one (sine and flat courses).
struct ChannelCourse {
    int channel;
    double baseCelsius;
    double amplitudeCelsius;
    double periodSeconds;
};

struct SimulatorOptions {
    int port = 1; // published as COM<port>
    uint8_t slave = 1;
    int channels = 8; // 1..120; register 80 starts with this count
    std::string identity = "VQX7306A";
    int16_t alarmHigh = 300; // register 81
    int16_t alarmLow = 10;   // register 82
    Course course = Course::Sine;
    double baseCelsius = 25.0;
    double spreadCelsius = 1.0; // offset between neighbouring channels
    double amplitudeCelsius = 5.0;
    double periodSeconds = 60.0;
    double noiseCelsius = 0.0;
    std::vector<ChannelCourse> channelCourses; // per-channel overrides
    uint32_t paceBaud = 0;     // 0: bytes go out at once; else 10 bit times per byte
    int replyDelayMs = 0;      // before every reply
    int lateDelayMs = 1500;    // for the Late fault
    std::vector<Fault> faults; // kinds drawn for rate-based faults (empty: all)
    double faultRate = 0.0;    // probability that a reply gets a fault
    uint32_t seed = 1;
    std::string logPath;      // when set, one line per answered request
    bool recordReads = false; // keep every served 0x03 read (ServedReads)
};

struct ServedRead {
    uint16_t start;
    uint16_t count;
    std::vector<uint16_t> values;
    bool faulted; // a fault was injected into this reply
};

class DeviceSimulator {
public:
    explicit DeviceSimulator(SimulatorOptions options);
    ~DeviceSimulator();
    DeviceSimulator(const DeviceSimulator&) = delete;
    DeviceSimulator& operator=(const DeviceSimulator&) = delete;

    // Opens the pseudo-terminal, publishes the link and starts answering.
    bool Start(std::string* error = nullptr);
    // Stops answering, closes the terminal and removes the link. Idempotent.
    void Stop();

    const std::string& LinkPath() const { return m_linkPath; }
    const std::string& TerminalPath() const { return m_terminalPath; }

    // Faults for the next requests, one each, before any rate-based fault.
    void QueueFaults(const std::vector<Fault>& faults);
    void SetFaultRate(double rate);
    void SetIdentity(const std::string& identity);
    void SetReplyDelayMs(int ms);

    uint16_t Register(int address);
    void SetRegister(int address, uint16_t value);
    bool Coil(int address);
    // What reading register `channel` holds now.
    uint16_t Reading(int channel);

    uint64_t RequestCount() const { return m_requests.load(); }
    std::vector<ServedRead> ServedReads();

private:
    struct Output {
        int64_t dueUs;
        std::vector<uint8_t> bytes;
    };

    void Run();
    void ReceiveBytes();
    void ParseRequests();
    size_t RequestLength(size_t available) const;
    void Answer(const std::vector<uint8_t>& request);
    std::vector<uint8_t> Reply(const std::vector<uint8_t>& request, bool faulted);
    std::vector<uint8_t> ReadRegisters(uint8_t function, uint16_t start, uint16_t count,
                                       bool faulted);
    std::vector<uint8_t> ReadCoils(uint8_t function, uint16_t start, uint16_t count);
    std::vector<uint8_t> Exception(uint8_t function, uint8_t code) const;
    uint16_t RegisterLocked(int address);
    bool NextFault(Fault* fault);
    void Schedule(std::vector<uint8_t> bytes, int64_t delayUs);
    void SendDue();
    void SendPaced(const std::vector<uint8_t>& bytes);
    bool SleepUnlessStopped(int64_t microseconds);
    void Log(const std::vector<uint8_t>& request, const char* fault);
    int64_t NowUs() const;

    SimulatorOptions m_options;
    std::string m_linkPath;
    std::string m_terminalPath;
    int m_master = -1;
    int m_keepOpen = -1; // our own handle on the terminal, so a client's close is no hang-up
    int m_wake = -1;
    std::thread m_thread;
    std::atomic<bool> m_stop{false};
    std::atomic<uint64_t> m_requests{0};

    std::mutex m_mutex; // guards everything below
    std::vector<uint16_t> m_registers;
    std::vector<bool> m_coils;
    std::deque<Fault> m_queuedFaults;
    std::mt19937 m_random;
    uint64_t m_readsOfZero = 0;
    std::vector<ServedRead> m_served;

    std::vector<uint8_t> m_received; // thread only
    int64_t m_lastByteUs = 0;
    std::vector<Output> m_pending;
    int64_t m_startUs = 0;
};

} // namespace vantrel::devsim
