#include "zormodbusrtu.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <cstring>
#include <thread>

#include "libtrace.h"
#include "rtuline.h"
#include "zorcomm.h"

VANTREL_LIBRARY_TRACE("ZorModbusRTU")

namespace zormodbus {
namespace {

void WaitOnPort(int32_t port, uint32_t microseconds) {
    if (WaitCommInput(port, microseconds) < 0) // port not open: nothing can arrive
        std::this_thread::sleep_for(std::chrono::microseconds(microseconds));
}

int64_t SteadyMicroseconds() {
    return std::chrono::duration_cast<std::chrono::microseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

} // namespace

RtuLine& Line() {
    static RtuLine line{WriteCommBlock, ReadCommBlock, WaitOnPort, SteadyMicroseconds};
    return line;
}

} // namespace zormodbus

namespace {

constexpr int kFrameSize = 256;
constexpr uint16_t kMaxWriteCount = 123;

// The recogniser's state, shared by every port and caller (one transaction at a time).
int32_t RtuState = 0;
uint8_t RtuFrame[kFrameSize] = {};
int32_t RtuPos = 0;
int32_t RtuRemain = 0;

enum : uint8_t {
    kReadCoils = 0x01,
    kReadHolding = 0x03,
    kWriteCoil = 0x05,
    kWriteRegister = 0x06,
    kWriteMultiple = 0x10,
    kReportSlaveId = 0x11,
};

// The CRC a byte contributes, for each value of (crc ^ byte) & 0xFF: eight
// steps of the reflected polynomial 0xA001, done once here instead of per byte.
constexpr std::array<uint16_t, 256> MakeCrcTable() {
    std::array<uint16_t, 256> table{};
    for (int value = 0; value < 256; ++value) {
        uint16_t crc = static_cast<uint16_t>(value);
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc & 1) ? static_cast<uint16_t>((crc >> 1) ^ 0xA001) : crc >> 1;
        table[value] = crc;
    }
    return table;
}
constexpr std::array<uint16_t, 256> kCrcTable = MakeCrcTable();

bool CarriesByteCount(uint8_t function) {
    return function == 1 || function == 2 || function == 3 || function == 17;
}

bool IsFixedEcho(uint8_t function) {
    return function == 5 || function == 6 || function == 16;
}

// Composes a request in TxdBuf: slave, function, fields, CRC low byte first.
class Request {
public:
    Request(CZorComBuf* buffer, uint8_t slave, uint8_t function)
        : m_frame(reinterpret_cast<uint8_t*>(buffer->TxdBuf)), m_buffer(buffer) {
        Byte(slave);
        Byte(function);
    }
    Request& Byte(uint8_t value) {
        m_frame[m_length++] = value;
        return *this;
    }
    Request& Word(uint16_t value) {
        return Byte(static_cast<uint8_t>(value >> 8)).Byte(value & 0xFF);
    }
    void Finish() {
        uint16_t crc = crc_chk(m_frame, static_cast<uint8_t>(m_length));
        Byte(crc & 0xFF);
        Byte(static_cast<uint8_t>(crc >> 8));
        m_buffer->TxdCount = m_length;
    }

private:
    uint8_t* m_frame;
    CZorComBuf* m_buffer;
    int m_length = 0;
};

uint16_t DataWord(int i) {
    int high = 3 + 2 * i;
    if (high + 1 >= kFrameSize)
        return 0; // beyond any frame that can be received
    return static_cast<uint16_t>(RtuFrame[high] << 8 | RtuFrame[high + 1]);
}

// Moves everything the port has received into the receive ring.
void DrainPort(int32_t port, CZorComBuf* buffer) {
    char block[256];
    for (;;) {
        int32_t n = zormodbus::Line().read(block, sizeof block, port);
        if (n <= 0)
            return;
        buffer->WriteRxdBuf(n, block);
        if (n < static_cast<int32_t>(sizeof block))
            return; // the port's queue is empty now
    }
}

// Sends the composed request and waits for the reply of `slave`. The budget
// counts passes of RTU_PASS_MICROSECONDS; the wait sleeps on the port, so a
// reply is recognised as soon as its bytes arrive. Bytes left in the receive
// ring or the port by an earlier transaction are recognised first.
template <typename CopyOut>
uint16_t Transact(int32_t port, uint8_t slave, CZorComBuf* buffer, int64_t passes,
                  CopyOut copyOut) {
    zormodbus::RtuLine& line = zormodbus::Line();
    if (!line.write(buffer->TxdBuf, buffer->TxdCount, port))
        return RTU_SEND_FAILED;
    const uint8_t function = static_cast<uint8_t>(buffer->TxdBuf[1]);
    RtuState = 0;
    const int64_t deadline = line.nowMicroseconds() + passes * RTU_PASS_MICROSECONDS;
    for (;;) {
        while (buffer->RxdCount != 0) {
            uint16_t result = RTURxd(slave, buffer);
            if (result == RTU_OK && RtuFrame[1] != function) {
                // A complete reply to another request (one that came too late
                // for its own transaction) is no answer to this one: taking a
                // write's echo as register values would report wrong readings.
                RtuState = 0;
                continue;
            }
            if (result == RTU_OK) {
                copyOut();
                return RTU_OK;
            }
            if (result == RTU_CRC_ERROR)
                return RTU_CRC_ERROR;
        }
        int64_t left = deadline - line.nowMicroseconds();
        if (left <= 0)
            return RTU_TIMEOUT;
        // Returns at once when bytes are already waiting (a late reply, say).
        line.wait(port, static_cast<uint32_t>(std::min<int64_t>(left, UINT32_MAX)));
        DrainPort(port, buffer);
    }
}

void NoCopy() {}

} // namespace

extern "C" {

uint16_t crc_chk(const uint8_t* data, uint8_t length) {
    uint16_t crc = 0xFFFF;
    for (int i = 0; i < length; ++i)
        crc = static_cast<uint16_t>((crc >> 8) ^ kCrcTable[(crc ^ data[i]) & 0xFF]);
    return crc;
}

uint16_t RTURxd(uint8_t slave, CZorComBuf* buffer) {
    const uint8_t b = static_cast<uint8_t>(buffer->Tgetc() & 0xFF);
    switch (RtuState) {
    case 0:
        if (b == slave) {
            RtuFrame[0] = b;
            RtuState = 1;
        }
        return RTU_MORE;
    case 1:
        RtuFrame[1] = b;
        if (CarriesByteCount(b)) {
            RtuState = 2;
        } else if (IsFixedEcho(b)) {
            RtuPos = 2;
            RtuRemain = 6;
            RtuState = 3;
        } else {
            RtuState = 0; // unknown function or exception reply: hunt again
        }
        return RTU_MORE;
    case 2:
        RtuFrame[2] = b;
        RtuPos = 3;
        RtuRemain = b + 2;
        RtuState = 3;
        return RTU_MORE;
    default:
        if (RtuPos < kFrameSize && RtuRemain > 0) {
            RtuFrame[RtuPos++] = b;
            if (--RtuRemain == 0) {
                uint16_t crc = crc_chk(RtuFrame, static_cast<uint8_t>(RtuPos - 2));
                bool match =
                    RtuFrame[RtuPos - 2] == (crc & 0xFF) && RtuFrame[RtuPos - 1] == (crc >> 8);
                return match ? RTU_OK : RTU_CRC_ERROR;
            }
        }
        return RTU_MORE;
    }
}

uint16_t OnDeviceInfo(int32_t port, uint8_t slave, CZorComBuf* buffer, uint8_t* out) {
    Request(buffer, slave, kReportSlaveId).Finish();
    return Transact(port, slave, buffer, 30000, [&] {
        const int byteCount = RtuFrame[2];
        out[0] = static_cast<uint8_t>(byteCount - 2);
        if (byteCount > 2)
            std::memcpy(out + 1, RtuFrame + 3, byteCount - 2);
    });
}

uint16_t OnReadRegister(int32_t port, uint8_t slave, uint16_t address, CZorComBuf* buffer,
                        uint16_t* out) {
    Request(buffer, slave, kReadHolding).Word(address).Word(1).Finish();
    return Transact(port, slave, buffer, 21000, [&] { *out = DataWord(0); });
}

uint16_t OnReadMRegister(int32_t port, uint8_t slave, uint16_t start, uint16_t count,
                         CZorComBuf* buffer, uint16_t* out) {
    Request(buffer, slave, kReadHolding).Word(start).Word(count).Finish();
    const int64_t passes = (2 * static_cast<int64_t>(count) + 8) * 3000;
    return Transact(port, slave, buffer, passes, [&] {
        for (int i = 0; i < count; ++i)
            out[i] = DataWord(i);
    });
}

uint16_t OnReadBitStatus(int32_t port, uint8_t slave, uint16_t start, uint16_t count,
                         CZorComBuf* buffer, uint8_t* out) {
    Request(buffer, slave, kReadCoils).Word(start).Word(count).Finish();
    const int64_t passes = (count / 8 + 8) * int64_t{3000};
    return Transact(port, slave, buffer, passes,
                    [&] { std::memcpy(out, RtuFrame + 3, RtuFrame[2]); });
}

uint16_t OnWriteRegister(int32_t port, uint8_t slave, uint16_t address, CZorComBuf* buffer,
                         const uint16_t* value) {
    Request(buffer, slave, kWriteRegister).Word(address).Word(*value).Finish();
    return Transact(port, slave, buffer, 24000, NoCopy);
}

uint16_t OnWriteMRegister(int32_t port, uint8_t slave, uint16_t start, uint16_t count,
                          CZorComBuf* buffer, const uint16_t* values) {
    // More than 123 values cannot be framed (the CRC covers at most 255 bytes)
    // and would run past the transmit area: such a request is not sent.
    if (count > kMaxWriteCount)
        return RTU_SEND_FAILED;
    Request request(buffer, slave, kWriteMultiple);
    request.Word(start).Word(count).Byte(static_cast<uint8_t>(2 * count));
    for (int i = 0; i < count; ++i)
        request.Word(values[i]);
    request.Finish();
    return Transact(port, slave, buffer, 24000, NoCopy);
}

uint16_t OnSetBitStatus(int32_t port, uint8_t slave, uint16_t address, CZorComBuf* buffer) {
    Request(buffer, slave, kWriteCoil).Word(address).Word(0xFF00).Finish();
    return Transact(port, slave, buffer, 24000, NoCopy);
}

uint16_t OnClrBitStatus(int32_t port, uint8_t slave, uint16_t address, CZorComBuf* buffer) {
    Request(buffer, slave, kWriteCoil).Word(address).Word(0x0000).Finish();
    return Transact(port, slave, buffer, 24000, NoCopy);
}

} // extern "C"
