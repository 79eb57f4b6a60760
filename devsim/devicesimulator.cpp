#include "devicesimulator.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <sys/eventfd.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include "datafolder.h"

namespace vantrel::devsim {
namespace {

constexpr int kRegisterCount = 256;
constexpr int kCoilCount = 64;
constexpr int kChannelCountRegister = 80;
constexpr int kAlarmHighRegister = 81;
constexpr int kAlarmLowRegister = 82;
constexpr int kMaxChannels = 120;
constexpr int kMaxReadCount = 125;
constexpr int kMaxWriteCount = 123;
constexpr int64_t kFrameGapUs = 50000; // silence that ends a partial request

struct FaultNameEntry {
    Fault fault;
    const char* name;
};
constexpr FaultNameEntry kFaultNames[] = {
    {Fault::NoReply, "no-reply"},       {Fault::BadCrc, "bad-crc"},
    {Fault::Exception, "exception"},    {Fault::OtherSlaveFirst, "other-slave"},
    {Fault::LeadingGarbage, "garbage"}, {Fault::Late, "late"},
    {Fault::WrongIdentity, "identity"},
};

uint16_t Crc(const uint8_t* data, size_t length) {
    uint16_t crc = 0xFFFF;
    for (size_t i = 0; i < length; ++i) {
        crc ^= data[i];
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc & 1) ? static_cast<uint16_t>((crc >> 1) ^ 0xA001) : crc >> 1;
    }
    return crc;
}

void AppendCrc(std::vector<uint8_t>& frame) {
    uint16_t crc = Crc(frame.data(), frame.size());
    frame.push_back(crc & 0xFF);
    frame.push_back(crc >> 8);
}

bool CrcMatches(const uint8_t* frame, size_t length) {
    if (length < 4)
        return false;
    uint16_t crc = Crc(frame, length - 2);
    return frame[length - 2] == (crc & 0xFF) && frame[length - 1] == (crc >> 8);
}

uint16_t WordAt(const std::vector<uint8_t>& frame, size_t index) {
    return static_cast<uint16_t>(frame[index] << 8 | frame[index + 1]);
}

void PutWord(std::vector<uint8_t>& frame, uint16_t value) {
    frame.push_back(value >> 8);
    frame.push_back(value & 0xFF);
}

int64_t SteadyUs() {
    return std::chrono::duration_cast<std::chrono::microseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

bool MakeRaw(int fd) {
    termios tio{};
    if (tcgetattr(fd, &tio) != 0)
        return false;
    cfmakeraw(&tio);
    tio.c_cflag |= CLOCAL | CREAD;
    tio.c_cc[VMIN] = 0;
    tio.c_cc[VTIME] = 0;
    return tcsetattr(fd, TCSANOW, &tio) == 0;
}

// A link may be replaced when it is dangling or names a pseudo-terminal (left
// by an earlier simulator); a link to a real adapter, or a file, is kept.
bool MayReplace(const std::string& link, std::string* error) {
    struct stat info {};
    if (::lstat(link.c_str(), &info) != 0)
        return true;
    char target[4096];
    ssize_t n = S_ISLNK(info.st_mode) ? ::readlink(link.c_str(), target, sizeof target - 1) : -1;
    if (n >= 0) {
        target[n] = '\0';
        struct stat targetInfo {};
        if (::stat(link.c_str(), &targetInfo) != 0 || std::strncmp(target, "/dev/pts/", 9) == 0)
            return true;
    }
    if (error)
        *error = link + " is in use (" +
                 (n >= 0 ? std::string("linked to ") + target : "not a link") +
                 "); choose another --port";
    return false;
}

// Points `link` at `target` in one step.
bool PublishLink(const std::string& target, const std::string& link, std::string* error) {
    if (!MayReplace(link, error))
        return false;
    std::string temporary = link + ".tmp" + std::to_string(getpid());
    ::unlink(temporary.c_str());
    if (::symlink(target.c_str(), temporary.c_str()) != 0 ||
        ::rename(temporary.c_str(), link.c_str()) != 0) {
        if (error)
            *error = "cannot create " + link + ": " + std::strerror(errno);
        ::unlink(temporary.c_str());
        return false;
    }
    return true;
}

void RemoveLinkIfOurs(const std::string& link, const std::string& target) {
    char buffer[4096];
    ssize_t n = ::readlink(link.c_str(), buffer, sizeof buffer - 1);
    if (n < 0)
        return;
    buffer[n] = '\0';
    if (target == buffer)
        ::unlink(link.c_str());
}

} // namespace

bool ParseFault(const std::string& name, Fault* fault) {
    for (const auto& entry : kFaultNames) {
        if (name == entry.name) {
            *fault = entry.fault;
            return true;
        }
    }
    return false;
}

const char* FaultName(Fault fault) {
    for (const auto& entry : kFaultNames)
        if (entry.fault == fault)
            return entry.name;
    return "?";
}

std::vector<Fault> AllFaults() {
    std::vector<Fault> faults;
    for (const auto& entry : kFaultNames)
        faults.push_back(entry.fault);
    return faults;
}

DeviceSimulator::DeviceSimulator(SimulatorOptions options)
    : m_options(std::move(options)), m_registers(kRegisterCount, 0), m_coils(kCoilCount, false),
      m_random(m_options.seed) {
    m_options.channels = std::clamp(m_options.channels, 1, kMaxChannels);
    m_registers[kChannelCountRegister] = static_cast<uint16_t>(m_options.channels);
    m_registers[kAlarmHighRegister] = static_cast<uint16_t>(m_options.alarmHigh);
    m_registers[kAlarmLowRegister] = static_cast<uint16_t>(m_options.alarmLow);
    if (m_options.faults.empty())
        m_options.faults = AllFaults();
}

DeviceSimulator::~DeviceSimulator() {
    Stop();
}

bool DeviceSimulator::Start(std::string* error) {
    auto fail = [&](const std::string& what) {
        if (error)
            *error = what + ": " + std::strerror(errno);
        Stop();
        return false;
    };
    m_master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (m_master < 0)
        return fail("cannot open a pseudo-terminal");
    char name[256];
    if (grantpt(m_master) != 0 || unlockpt(m_master) != 0 ||
        ptsname_r(m_master, name, sizeof name) != 0)
        return fail("cannot prepare the pseudo-terminal");
    m_terminalPath = name;
    m_keepOpen = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC | O_NONBLOCK);
    if (m_keepOpen < 0 || !MakeRaw(m_keepOpen))
        return fail("cannot open " + m_terminalPath);
    fcntl(m_master, F_SETFL, fcntl(m_master, F_GETFL) | O_NONBLOCK);
    m_wake = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (m_wake < 0)
        return fail("cannot create an event");
    vantrel::PortsFolder();
    std::string link = vantrel::PortLinkPath(m_options.port);
    if (!PublishLink(m_terminalPath, link, error)) {
        Stop();
        return false;
    }
    m_linkPath = link;
    m_startUs = SteadyUs();
    m_stop = false;
    m_thread = std::thread([this] { Run(); });
    return true;
}

void DeviceSimulator::Stop() {
    m_stop = true;
    if (m_wake >= 0) {
        uint64_t one = 1;
        [[maybe_unused]] ssize_t n = ::write(m_wake, &one, sizeof one);
    }
    if (m_thread.joinable())
        m_thread.join();
    if (!m_linkPath.empty()) {
        RemoveLinkIfOurs(m_linkPath, m_terminalPath);
        m_linkPath.clear();
    }
    for (int* fd : {&m_master, &m_keepOpen, &m_wake}) {
        if (*fd >= 0)
            ::close(*fd);
        *fd = -1;
    }
}

void DeviceSimulator::QueueFaults(const std::vector<Fault>& faults) {
    std::lock_guard lock(m_mutex);
    m_queuedFaults.insert(m_queuedFaults.end(), faults.begin(), faults.end());
}

void DeviceSimulator::SetFaultRate(double rate) {
    std::lock_guard lock(m_mutex);
    m_options.faultRate = rate;
}

void DeviceSimulator::SetIdentity(const std::string& identity) {
    std::lock_guard lock(m_mutex);
    m_options.identity = identity;
}

void DeviceSimulator::SetReplyDelayMs(int ms) {
    std::lock_guard lock(m_mutex);
    m_options.replyDelayMs = ms;
}

uint16_t DeviceSimulator::Register(int address) {
    std::lock_guard lock(m_mutex);
    return RegisterLocked(address);
}

void DeviceSimulator::SetRegister(int address, uint16_t value) {
    std::lock_guard lock(m_mutex);
    if (address >= 0 && address < kRegisterCount)
        m_registers[address] = value;
}

bool DeviceSimulator::Coil(int address) {
    std::lock_guard lock(m_mutex);
    return address >= 0 && address < kCoilCount && m_coils[address];
}

uint16_t DeviceSimulator::Reading(int channel) {
    return Register(channel);
}

std::vector<ServedRead> DeviceSimulator::ServedReads() {
    std::lock_guard lock(m_mutex);
    return m_served;
}

int64_t DeviceSimulator::NowUs() const {
    return SteadyUs() - m_startUs;
}

// Registers 80..82 hold the settings; the readings occupy 0 .. channel count - 1
// around them (with more than 80 channels, channels 80..82 are not readable).
uint16_t DeviceSimulator::RegisterLocked(int address) {
    if (address < 0 || address >= kRegisterCount)
        return 0;
    if (address >= kChannelCountRegister && address <= kAlarmLowRegister)
        return m_registers[address];
    int channels = std::min<int>(m_registers[kChannelCountRegister] & 0xFF, kMaxChannels);
    if (address >= channels)
        return m_registers[address];
    const SimulatorOptions& o = m_options;
    double base = o.baseCelsius + address * o.spreadCelsius;
    double amplitude = o.amplitudeCelsius;
    double period = o.periodSeconds;
    for (const ChannelCourse& own : o.channelCourses) {
        if (own.channel == address) {
            base = own.baseCelsius;
            amplitude = own.amplitudeCelsius;
            period = own.periodSeconds;
        }
    }
    double celsius = base;
    if (o.course == Course::Sine) {
        double t = NowUs() / 1e6;
        double phase = address * 0.7;
        celsius += amplitude * std::sin(2 * M_PI * t / std::max(period, 0.001) + phase);
        if (o.noiseCelsius > 0)
            celsius +=
                std::uniform_real_distribution<double>(-o.noiseCelsius, o.noiseCelsius)(m_random);
    }
    long tenths = std::lround(celsius * 10);
    if (o.course == Course::Counter)
        tenths += static_cast<long>(m_readsOfZero);
    return static_cast<uint16_t>(static_cast<int16_t>(std::clamp(tenths, -32768L, 32767L)));
}

void DeviceSimulator::Run() {
    while (!m_stop) {
        int timeoutMs = -1;
        if (!m_pending.empty()) {
            int64_t due =
                std::min_element(m_pending.begin(), m_pending.end(), [](auto& a, auto& b) {
                    return a.dueUs < b.dueUs;
                })->dueUs;
            timeoutMs = static_cast<int>(std::max<int64_t>(0, (due - NowUs() + 999) / 1000));
        }
        if (!m_received.empty()) {
            int gapMs = static_cast<int>((m_lastByteUs + kFrameGapUs - NowUs() + 999) / 1000);
            timeoutMs =
                timeoutMs < 0 ? std::max(gapMs, 0) : std::min(timeoutMs, std::max(gapMs, 0));
        }
        pollfd fds[2] = {{m_master, POLLIN, 0}, {m_wake, POLLIN, 0}};
        int rc = ::poll(fds, 2, timeoutMs);
        if (rc < 0 && errno != EINTR)
            break;
        if (m_stop)
            break;
        if (rc > 0 && (fds[0].revents & POLLIN))
            ReceiveBytes();
        if (!m_received.empty() && NowUs() - m_lastByteUs >= kFrameGapUs)
            m_received.clear(); // an incomplete request followed by silence
        SendDue();
    }
}

void DeviceSimulator::ReceiveBytes() {
    uint8_t block[512];
    for (;;) {
        ssize_t n = ::read(m_master, block, sizeof block);
        if (n <= 0)
            break;
        m_received.insert(m_received.end(), block, block + n);
        m_lastByteUs = NowUs();
    }
    ParseRequests();
}

// Bytes needed for the request at the front of m_received, 0 while unknown.
size_t DeviceSimulator::RequestLength(size_t available) const {
    if (available < 2)
        return 0;
    switch (m_received[1]) {
    case 0x11:
        return 4;
    case 0x01:
    case 0x02:
    case 0x03:
    case 0x04:
    case 0x05:
    case 0x06:
        return 8;
    case 0x0F:
    case 0x10:
        return available < 7 ? 0 : 9 + m_received[6];
    default:
        return 4; // unknown function: a bare request, answered with exception 1
    }
}

void DeviceSimulator::ParseRequests() {
    while (!m_received.empty()) {
        if (m_received[0] != m_options.slave) {
            m_received.erase(m_received.begin()); // not for us, or garbage
            continue;
        }
        size_t length = RequestLength(m_received.size());
        if (length == 0 || m_received.size() < length)
            return;
        if (!CrcMatches(m_received.data(), length)) {
            m_received.erase(m_received.begin()); // resynchronise on the next byte
            continue;
        }
        std::vector<uint8_t> request(m_received.begin(), m_received.begin() + length);
        m_received.erase(m_received.begin(), m_received.begin() + length);
        Answer(request);
    }
}

bool DeviceSimulator::NextFault(Fault* fault) {
    if (!m_queuedFaults.empty()) {
        *fault = m_queuedFaults.front();
        m_queuedFaults.pop_front();
        return true;
    }
    if (m_options.faultRate <= 0 ||
        std::uniform_real_distribution<double>(0, 1)(m_random) >= m_options.faultRate)
        return false;
    const auto& kinds = m_options.faults;
    *fault = kinds[std::uniform_int_distribution<size_t>(0, kinds.size() - 1)(m_random)];
    return true;
}

void DeviceSimulator::Answer(const std::vector<uint8_t>& request) {
    ++m_requests;
    std::vector<uint8_t> reply;
    Fault fault{};
    bool faulted;
    int delayMs;
    {
        std::lock_guard lock(m_mutex);
        faulted = NextFault(&fault);
        if (faulted && fault == Fault::WrongIdentity && request[1] != 0x11)
            faulted = false;
        reply = Reply(request, faulted);
        delayMs = m_options.replyDelayMs;
    }
    Log(request, faulted ? FaultName(fault) : nullptr);
    if (!faulted) {
        Schedule(reply, int64_t{delayMs} * 1000);
        return;
    }
    switch (fault) {
    case Fault::NoReply:
        return;
    case Fault::BadCrc:
        reply.back() ^= 0x5A;
        break;
    case Fault::Exception:
        reply = Exception(request[1], 4);
        break;
    case Fault::OtherSlaveFirst: {
        std::vector<uint8_t> other(reply.begin(), reply.end() - 2);
        other[0] = static_cast<uint8_t>(m_options.slave + 1);
        AppendCrc(other);
        reply.insert(reply.begin(), other.begin(), other.end());
        break;
    }
    case Fault::LeadingGarbage: {
        std::vector<uint8_t> garbage;
        std::lock_guard lock(m_mutex);
        int count = std::uniform_int_distribution<int>(1, 8)(m_random);
        while (static_cast<int>(garbage.size()) < count) {
            auto b = static_cast<uint8_t>(std::uniform_int_distribution<int>(0, 255)(m_random));
            if (b != m_options.slave)
                garbage.push_back(b);
        }
        reply.insert(reply.begin(), garbage.begin(), garbage.end());
        break;
    }
    case Fault::Late:
        Schedule(reply, int64_t{m_options.lateDelayMs} * 1000);
        return;
    case Fault::WrongIdentity:
        break; // Reply already used the other identity
    }
    Schedule(reply, int64_t{delayMs} * 1000);
}

std::vector<uint8_t> DeviceSimulator::Exception(uint8_t function, uint8_t code) const {
    std::vector<uint8_t> reply{m_options.slave, static_cast<uint8_t>(function | 0x80), code};
    AppendCrc(reply);
    return reply;
}

std::vector<uint8_t> DeviceSimulator::Reply(const std::vector<uint8_t>& request, bool faulted) {
    const uint8_t function = request[1];
    switch (function) {
    case 0x11: {
        std::string identity = m_options.identity;
        if (faulted)
            identity = "VQX7305A";
        std::vector<uint8_t> reply{m_options.slave, 0x11};
        reply.push_back(static_cast<uint8_t>(std::min<size_t>(identity.size(), 240) + 2));
        reply.insert(reply.end(), identity.begin(), identity.begin() + (reply[2] - 2));
        reply.push_back(m_options.slave); // slave id
        reply.push_back(0xFF);            // run indicator: running
        AppendCrc(reply);
        return reply;
    }
    case 0x03:
        return ReadRegisters(function, WordAt(request, 2), WordAt(request, 4), faulted);
    case 0x01:
        return ReadCoils(function, WordAt(request, 2), WordAt(request, 4));
    case 0x05: {
        uint16_t address = WordAt(request, 2), value = WordAt(request, 4);
        if (value != 0xFF00 && value != 0x0000)
            return Exception(function, 3);
        if (address >= kCoilCount)
            return Exception(function, 2);
        m_coils[address] = value == 0xFF00;
        std::vector<uint8_t> reply(request.begin(), request.end() - 2);
        AppendCrc(reply);
        return reply;
    }
    case 0x06: {
        uint16_t address = WordAt(request, 2);
        if (address >= kRegisterCount)
            return Exception(function, 2);
        m_registers[address] = WordAt(request, 4);
        std::vector<uint8_t> reply(request.begin(), request.end() - 2);
        AppendCrc(reply);
        return reply;
    }
    case 0x10: {
        uint16_t start = WordAt(request, 2), count = WordAt(request, 4);
        if (count == 0 || count > kMaxWriteCount || request[6] != 2 * count)
            return Exception(function, 3);
        if (start + count > kRegisterCount)
            return Exception(function, 2);
        for (int i = 0; i < count; ++i)
            m_registers[start + i] = WordAt(request, 7 + 2 * i);
        std::vector<uint8_t> reply(request.begin(), request.begin() + 6);
        AppendCrc(reply);
        return reply;
    }
    default:
        return Exception(function, 1);
    }
}

std::vector<uint8_t> DeviceSimulator::ReadRegisters(uint8_t function, uint16_t start,
                                                    uint16_t count, bool faulted) {
    if (count == 0 || count > kMaxReadCount)
        return Exception(function, 3);
    if (start + count > kRegisterCount)
        return Exception(function, 2);
    std::vector<uint8_t> reply{m_options.slave, function, static_cast<uint8_t>(2 * count)};
    std::vector<uint16_t> values;
    for (int i = 0; i < count; ++i) {
        values.push_back(RegisterLocked(start + i));
        PutWord(reply, values.back());
    }
    AppendCrc(reply);
    if (m_options.recordReads)
        m_served.push_back(ServedRead{start, count, values, faulted});
    if (start == 0)
        ++m_readsOfZero;
    return reply;
}

std::vector<uint8_t> DeviceSimulator::ReadCoils(uint8_t function, uint16_t start, uint16_t count) {
    if (count == 0 || count > 2000)
        return Exception(function, 3);
    if (start + count > kCoilCount)
        return Exception(function, 2);
    std::vector<uint8_t> reply{m_options.slave, function, static_cast<uint8_t>((count + 7) / 8)};
    reply.resize(3 + reply[2], 0);
    for (int i = 0; i < count; ++i)
        if (m_coils[start + i])
            reply[3 + i / 8] |= static_cast<uint8_t>(1 << (i % 8));
    AppendCrc(reply);
    return reply;
}

void DeviceSimulator::Schedule(std::vector<uint8_t> bytes, int64_t delayUs) {
    m_pending.push_back(Output{NowUs() + delayUs, std::move(bytes)});
    SendDue();
}

void DeviceSimulator::SendDue() {
    for (;;) {
        auto due = std::find_if(m_pending.begin(), m_pending.end(),
                                [&](const Output& o) { return o.dueUs <= NowUs(); });
        if (due == m_pending.end() || m_stop)
            return;
        std::vector<uint8_t> bytes = std::move(due->bytes);
        m_pending.erase(due);
        SendPaced(bytes);
    }
}

// Writes the bytes, spaced by 10 bit times each when pacing is on.
void DeviceSimulator::SendPaced(const std::vector<uint8_t>& bytes) {
    const int64_t byteUs = m_options.paceBaud ? 10'000'000 / m_options.paceBaud : 0;
    int64_t nextUs = NowUs();
    size_t sent = 0;
    while (sent < bytes.size() && !m_stop) {
        size_t chunk = byteUs ? 1 : bytes.size() - sent;
        ssize_t n = ::write(m_master, bytes.data() + sent, chunk);
        if (n < 0 && errno == EAGAIN) {
            // Nobody is reading and the terminal's queue is full: drop the rest.
            return;
        }
        if (n <= 0)
            return;
        sent += static_cast<size_t>(n);
        if (byteUs && sent < bytes.size()) {
            nextUs += byteUs;
            if (!SleepUnlessStopped(nextUs - NowUs()))
                return;
        }
    }
}

bool DeviceSimulator::SleepUnlessStopped(int64_t microseconds) {
    if (microseconds <= 0)
        return !m_stop;
    timespec ts{static_cast<time_t>(microseconds / 1000000),
                static_cast<long>(microseconds % 1000000) * 1000};
    while (nanosleep(&ts, &ts) != 0 && errno == EINTR) {
    }
    return !m_stop;
}

void DeviceSimulator::Log(const std::vector<uint8_t>& request, const char* fault) {
    if (m_options.logPath.empty())
        return;
    FILE* file = std::fopen(m_options.logPath.c_str(), "a");
    if (!file)
        return;
    std::fprintf(file, "%.3f request", NowUs() / 1e6);
    for (uint8_t b : request)
        std::fprintf(file, " %02X", b);
    if (fault)
        std::fprintf(file, " fault=%s", fault);
    std::fprintf(file, "\n");
    std::fclose(file);
}

} // namespace vantrel::devsim
