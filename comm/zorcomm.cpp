// ZorComm over POSIX termios. Each numbered port has a slot that remembers
// whether its descriptor is open, so closing a port twice, or closing one whose
// open failed, never closes a descriptor number that now belongs to someone else.
#include "zorcomm.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <thread>
#include <unistd.h>

#include "datafolder.h"
#include "libtrace.h"
#include "linerate.h"

VANTREL_LIBRARY_TRACE("ZorComm")

namespace {

constexpr int kPortCount = 28;
constexpr int kWriteTimeoutMs = 2000;
constexpr const char* kOpenFailedText = "打开串口失败！";
constexpr const char* kSetStateFailedText = "SetCommState失败！";

enum class SlotState { Empty, Open, Closed, OpenFailed };

struct PortSlot {
    int fd = -1;
    SlotState state = SlotState::Empty;
};

PortSlot g_slots[kPortCount];
ComMessageHandler g_messageHandler = nullptr;
ComBeepHandler g_beepHandler = nullptr;

void ShowMessage(const char* text) {
    if (g_messageHandler)
        g_messageHandler(text);
    else
        std::fprintf(stderr, "%s\n", text);
}

void Beep() {
    if (g_beepHandler)
        g_beepHandler();
}

PortSlot* SlotOf(int port) {
    if (port < 1 || port > kPortCount)
        return nullptr;
    return &g_slots[port - 1];
}

// The descriptor of an open port, or -1.
int OpenDescriptor(int port) {
    PortSlot* slot = SlotOf(port);
    return slot && slot->state == SlotState::Open ? slot->fd : -1;
}

void CloseSlot(PortSlot& slot) {
    if (slot.state == SlotState::Open)
        ::close(slot.fd);
    slot.state = SlotState::Closed;
}

struct LineSettings {
    uint32_t baud;
    uint8_t byteSize;
    uint8_t parity;
    uint8_t stopBits;
};

bool IsValid(const LineSettings& line) {
    return line.baud > 0 && line.byteSize >= 5 && line.byteSize <= 8 && line.parity <= 4 &&
           line.stopBits <= 2;
}

tcflag_t CharacterSizeFlag(uint8_t byteSize) {
    switch (byteSize) {
    case 5:
        return CS5;
    case 6:
        return CS6;
    case 7:
        return CS7;
    default:
        return CS8;
    }
}

void SetFraming(termios& tio, const LineSettings& line) {
    tio.c_cflag &= ~(CSIZE | PARENB | PARODD | CMSPAR | CSTOPB);
    tio.c_cflag |= CharacterSizeFlag(line.byteSize);
    switch (line.parity) {
    case 1: // odd
        tio.c_cflag |= PARENB | PARODD;
        break;
    case 2: // even
        tio.c_cflag |= PARENB;
        break;
    case 3: // mark: sticky parity bit 1
        tio.c_cflag |= PARENB | CMSPAR | PARODD;
        break;
    case 4: // space: sticky parity bit 0
        tio.c_cflag |= PARENB | CMSPAR;
        break;
    default:
        break;
    }
    // 1.5 stop bits cannot be expressed in termios; it is sent as 2 stop bits,
    // which every receiver set to 1 or 1.5 accepts.
    if (line.stopBits != 0)
        tio.c_cflag |= CSTOPB;
}

void MakeRaw(termios& tio) {
    tio.c_iflag &= ~(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL | IXON | IXOFF |
                     IXANY | IGNPAR);
    tio.c_oflag &= ~OPOST;
    tio.c_lflag &= ~(ECHO | ECHONL | ICANON | ISIG | IEXTEN);
    tio.c_cflag |= CLOCAL | CREAD;
    tio.c_cc[VMIN] = 0;
    tio.c_cc[VTIME] = 0;
}

// Applies the line settings; `parityCheckOff` clears receive parity checking
// (as opening does), otherwise it is left as the driver reports it.
bool ApplyLine(int fd, const LineSettings& line, bool parityCheckOff) {
    if (!IsValid(line))
        return false;
    termios tio{};
    if (tcgetattr(fd, &tio) != 0)
        return false;
    MakeRaw(tio);
    SetFraming(tio, line);
    if (parityCheckOff)
        tio.c_iflag &= ~INPCK;
    vantrel::LineFlags flags{tio.c_iflag, tio.c_oflag,    tio.c_cflag,
                             tio.c_lflag, tio.c_cc[VMIN], tio.c_cc[VTIME]};
    return vantrel::SetLineState(fd, flags, line.baud);
}

// Opens the device exclusively: the advisory lock also keeps out a second
// opener running as root, which TIOCEXCL would not, and goes away with the
// process, so a crashed program never leaves the port blocked.
int OpenDevice(int port) {
    std::string path = vantrel::PortDevicePath(port);
    int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return -1;
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

int QueuedBytes(int fd) {
    int queued = 0;
    if (ioctl(fd, FIONREAD, &queued) != 0)
        return 0;
    return std::max(queued, 0);
}

// Waits until fd is ready for `events` or the time runs out; the poll result.
int PollUntil(int fd, short events, std::chrono::steady_clock::time_point deadline,
              short* revents) {
    for (;;) {
        auto left = deadline - std::chrono::steady_clock::now();
        if (left <= std::chrono::steady_clock::duration::zero())
            return 0;
        auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(left).count();
        timespec timeout{static_cast<time_t>(ns / 1000000000), static_cast<long>(ns % 1000000000)};
        pollfd pfd{fd, events, 0};
        int rc = ppoll(&pfd, 1, &timeout, nullptr);
        if (rc < 0 && errno == EINTR)
            continue;
        *revents = pfd.revents;
        return rc;
    }
}

} // namespace

extern "C" {

bool Open_Com(uint8_t port, uint32_t baud, uint8_t byteSize, uint8_t parity, uint8_t stopBits) {
    PortSlot* slot = SlotOf(port);
    if (!slot) {
        ShowMessage(kOpenFailedText);
        return false;
    }
    // Opening an open number again would leak its descriptor; close it first.
    if (slot->state == SlotState::Open)
        CloseSlot(*slot);
    int fd = OpenDevice(port);
    if (fd < 0) {
        slot->fd = -1;
        slot->state = SlotState::OpenFailed;
        ShowMessage(kOpenFailedText);
        return false;
    }
    slot->fd = fd;
    slot->state = SlotState::Open;
    tcflush(fd, TCIOFLUSH);
    if (!ApplyLine(fd, LineSettings{baud, byteSize, parity, stopBits}, true)) {
        CloseSlot(*slot);
        ShowMessage(kSetStateFailedText);
        return false;
    }
    return true;
}

bool Close_Com(uint8_t port) {
    PortSlot* slot = SlotOf(port);
    if (!slot || slot->state != SlotState::Open)
        return true;
    int dtr = TIOCM_DTR;
    ioctl(slot->fd, TIOCMBIC, &dtr); // not every tty has modem lines (pseudo-terminals)
    tcflush(slot->fd, TCIOFLUSH);
    CloseSlot(*slot);
    return true;
}

bool Change_Baudrate(uint8_t port, uint32_t baud) {
    int fd = OpenDescriptor(port);
    if (fd < 0)
        return false;
    if (!vantrel::SetLineRate(fd, baud)) {
        CloseSlot(*SlotOf(port));
        return false;
    }
    return true;
}

bool Change_Config(uint8_t port, uint32_t baud, uint8_t byteSize, uint8_t parity,
                   uint8_t stopBits) {
    int fd = OpenDescriptor(port);
    if (fd < 0)
        return false;
    if (!ApplyLine(fd, LineSettings{baud, byteSize, parity, stopBits}, false)) {
        CloseSlot(*SlotOf(port));
        return false;
    }
    return true;
}

bool WriteCommBlock(const char* data, int32_t length, int32_t port) {
    int fd = OpenDescriptor(port);
    if (fd < 0) {
        Beep();
        return false;
    }
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kWriteTimeoutMs);
    int32_t done = 0;
    while (done < length) {
        ssize_t n = ::write(fd, data + done, static_cast<size_t>(length - done));
        if (n > 0) {
            done += static_cast<int32_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && errno != EAGAIN) {
            // Refused outright: failure. Failed after part went out: the
            // request is on its way, as a pending write that failed later.
            Beep();
            return done > 0;
        }
        short revents = 0;
        if (PollUntil(fd, POLLOUT, deadline, &revents) <= 0)
            return true; // the write time-out ended the wait
        if (revents & (POLLERR | POLLHUP | POLLNVAL)) {
            Beep();
            return done > 0;
        }
    }
    return true;
}

int32_t ReadCommBlock(char* buffer, uint32_t maxLength, int32_t port) {
    int fd = OpenDescriptor(port);
    if (fd < 0 || maxLength == 0)
        return 0;
    // A non-blocking read hands over what has arrived, at most maxLength bytes,
    // and returns at once when nothing has.
    for (;;) {
        ssize_t got = ::read(fd, buffer, maxLength);
        if (got >= 0)
            return static_cast<int32_t>(got);
        if (errno == EINTR)
            continue;
        // EIO: the other end of a pseudo-terminal is closed; nothing can arrive.
        if (errno != EAGAIN && errno != EIO)
            Beep();
        return 0;
    }
}

int32_t WaitCommInput(int32_t port, uint32_t timeoutMicroseconds) {
    int fd = OpenDescriptor(port);
    if (fd < 0)
        return -1;
    auto deadline =
        std::chrono::steady_clock::now() + std::chrono::microseconds(timeoutMicroseconds);
    short revents = 0;
    if (PollUntil(fd, POLLIN, deadline, &revents) <= 0)
        return 0;
    if (revents & (POLLHUP | POLLERR | POLLNVAL)) {
        if (QueuedBytes(fd) > 0)
            return 1;
        // A hung-up line (the other end of a pseudo-terminal closed) reports
        // ready for ever; sleep out the time instead of spinning.
        std::this_thread::sleep_until(deadline);
        return 0;
    }
    return (revents & POLLIN) ? 1 : 0;
}

void SetComMessageHandler(ComMessageHandler handler) {
    g_messageHandler = handler;
}

void SetComBeepHandler(ComBeepHandler handler) {
    g_beepHandler = handler;
}

} // extern "C"
