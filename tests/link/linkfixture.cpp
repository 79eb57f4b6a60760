#include "linkfixture.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <poll.h>
#include <pty.h>
#include <sys/resource.h>
#include <termios.h>
#include <unistd.h>

#include "datafolder.h"
#include "zorcomm.h"

namespace linktest {

TempDataDir::TempDataDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "vantrel-link-XXXXXX").string();
    char* made = mkdtemp(pattern.data());
    EXPECT_NE(made, nullptr);
    m_path = pattern;
    if (const char* previous = std::getenv("VANTREL_DATA_DIR")) {
        m_previous = previous;
        m_hadPrevious = true;
    }
    setenv("VANTREL_DATA_DIR", m_path.c_str(), 1);
}

TempDataDir::~TempDataDir() {
    std::error_code ec;
    std::filesystem::remove_all(m_path, ec);
    if (m_hadPrevious)
        setenv("VANTREL_DATA_DIR", m_previous.c_str(), 1);
    else
        unsetenv("VANTREL_DATA_DIR");
}

ScriptedLine::ScriptedLine(int port) : m_port(port) {
    int slave = -1;
    char name[256];
    termios raw{};
    cfmakeraw(&raw);
    if (openpty(&m_master, &slave, name, &raw, nullptr) != 0) {
        ADD_FAILURE() << "openpty failed";
        return;
    }
    ::close(slave); // the library opens it by name; the master keeps the line up
    m_terminal = name;
    vantrel::PortsFolder();
    std::string link = vantrel::PortLinkPath(port);
    ::unlink(link.c_str());
    EXPECT_EQ(::symlink(name, link.c_str()), 0);
}

ScriptedLine::~ScriptedLine() {
    HangUp();
    ::unlink(vantrel::PortLinkPath(m_port).c_str());
}

void ScriptedLine::HangUp() {
    if (m_master >= 0)
        ::close(m_master);
    m_master = -1;
}

Bytes ScriptedLine::Receive(std::chrono::milliseconds timeout) {
    Bytes bytes;
    auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        int waitMs = bytes.empty()
                         ? static_cast<int>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                                deadline - std::chrono::steady_clock::now())
                                                .count())
                         : 20;
        if (waitMs <= 0)
            return bytes;
        pollfd pfd{m_master, POLLIN, 0};
        if (::poll(&pfd, 1, waitMs) <= 0 || !(pfd.revents & POLLIN))
            return bytes;
        uint8_t block[512];
        ssize_t n = ::read(m_master, block, sizeof block);
        if (n <= 0)
            return bytes;
        bytes.insert(bytes.end(), block, block + n);
    }
}

void ScriptedLine::Send(const Bytes& bytes) {
    ASSERT_EQ(::write(m_master, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
}

DelayedReply::DelayedReply(ScriptedLine& line, Bytes reply, std::chrono::milliseconds delay) {
    m_thread = std::thread([&line, reply, delay, this] {
        m_request = line.Receive();
        std::this_thread::sleep_for(delay);
        if (!reply.empty())
            line.Send(reply);
    });
}

DelayedReply::~DelayedReply() {
    if (m_thread.joinable())
        m_thread.join();
}

Bytes DelayedReply::Request() {
    if (m_thread.joinable())
        m_thread.join();
    return m_request;
}

Bytes WithCrc(Bytes frame) {
    uint16_t crc = 0xFFFF;
    for (uint8_t b : frame) {
        crc ^= b;
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc & 1) ? static_cast<uint16_t>((crc >> 1) ^ 0xA001) : crc >> 1;
    }
    frame.push_back(crc & 0xFF);
    frame.push_back(crc >> 8);
    return frame;
}

namespace {
std::vector<std::string> g_messages;
void RecordMessage(const char* text) {
    g_messages.emplace_back(text);
}
} // namespace

void CaptureComMessages() {
    g_messages.clear();
    SetComMessageHandler(RecordMessage);
}

std::vector<std::string> TakeComMessages() {
    std::vector<std::string> taken;
    taken.swap(g_messages);
    return taken;
}

double ThreadCpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_THREAD, &usage);
    return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec +
           (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

} // namespace linktest
