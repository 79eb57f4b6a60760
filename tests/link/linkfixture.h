// Shared helpers of the device-link tests: a fresh data folder per test, a
// pseudo-terminal published as a COM port whose other end the test scripts
// byte by byte, and the messages ZorComm shows.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

namespace linktest {

using Bytes = std::vector<uint8_t>;

// Sets VANTREL_DATA_DIR to a new empty folder for the life of the object
// (the previous value comes back afterwards).
class TempDataDir {
public:
    TempDataDir();
    ~TempDataDir();
    const std::string& Path() const { return m_path; }

private:
    std::string m_path;
    std::string m_previous;
    bool m_hadPrevious = false;
};

// A pseudo-terminal linked as <data folder>/ports/COM<port>; the test plays
// the device on its master side.
class ScriptedLine {
public:
    explicit ScriptedLine(int port);
    ~ScriptedLine();
    int Port() const { return m_port; }
    const std::string& TerminalPath() const { return m_terminal; }
    // Bytes the master has received within `timeout` (stops after a 20 ms lull).
    Bytes Receive(std::chrono::milliseconds timeout = std::chrono::milliseconds(1000));
    void Send(const Bytes& bytes);
    // Closes the master side (the line hangs up).
    void HangUp();

private:
    int m_port;
    int m_master = -1;
    std::string m_terminal;
};

// Answers the next request after `delay` with `reply` on a thread of its own,
// keeping what it received.
class DelayedReply {
public:
    DelayedReply(ScriptedLine& line, Bytes reply,
                 std::chrono::milliseconds delay = std::chrono::milliseconds(0));
    ~DelayedReply();
    Bytes Request(); // joins

private:
    std::thread m_thread;
    Bytes m_request;
};

// Frame bytes with the Modbus CRC appended (low byte first).
Bytes WithCrc(Bytes frame);

// Texts ZorComm showed since the last call.
std::vector<std::string> TakeComMessages();
void CaptureComMessages();

// CPU seconds used by the calling thread so far.
double ThreadCpuSeconds();

} // namespace linktest
