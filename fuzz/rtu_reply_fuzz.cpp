// Arbitrary reply bytes through the recogniser and every operation's copy-out.
//
// Input: byte 0 picks the operation, bytes 1..2 its count, byte 3 how the
// reply is cut into reads; the rest is what the line delivers. The line here is
// a stand-in that serves those bytes and a clock that moves only when the
// operation waits, so each run spends its whole budget in microseconds.
// Out areas are allocated exactly as large as the operation may fill, plus
// guard bytes that must stay untouched.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "rtuline.h"
#include "zormodbusrtu.h"

namespace {

struct FakeLine {
    const uint8_t* data = nullptr;
    size_t size = 0;
    size_t pos = 0;
    size_t chunk = 1;
    int64_t nowUs = 0;
} g_line;

bool Write(const char*, int32_t, int32_t) {
    return true;
}

int32_t Read(char* buffer, uint32_t maxLength, int32_t) {
    size_t n = std::min<size_t>({g_line.chunk, size_t{maxLength}, g_line.size - g_line.pos});
    std::memcpy(buffer, g_line.data + g_line.pos, n);
    g_line.pos += n;
    return static_cast<int32_t>(n);
}

void Wait(int32_t, uint32_t microseconds) {
    // Bytes still to come arrive after a short while; otherwise the time runs out.
    g_line.nowUs += g_line.pos < g_line.size ? 100 : microseconds;
}

int64_t Now() {
    return g_line.nowUs;
}

constexpr uint8_t kGuard = 0xA5;

void CheckGuards(const std::vector<uint8_t>& area, size_t used) {
    for (size_t i = used; i < area.size(); ++i)
        if (area[i] != kGuard)
            std::abort();
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    zormodbus::Line() = zormodbus::RtuLine{Write, Read, Wait, Now};
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 4)
        return 0;
    const uint8_t operation = data[0] % 8;
    const uint16_t count = static_cast<uint16_t>((data[1] << 8 | data[2]) % 126);
    g_line = FakeLine{data + 4, size - 4, 0, static_cast<size_t>(data[3] % 64) + 1, 0};

    static CZorComBuf buffer;
    std::vector<uint8_t> bytes(256 + 16, kGuard);
    std::vector<uint16_t> words(count + 8, 0xA5A5);
    uint16_t result = 0;
    const uint16_t value = 0x1234;
    const uint16_t values[123] = {};
    switch (operation) {
    case 0:
        result = OnDeviceInfo(1, 1, &buffer, bytes.data());
        // out[0] and at most byte count - 2 further bytes (at most 253 + 1).
        CheckGuards(bytes, result == RTU_OK ? 1 + (bytes[0] <= 253 ? bytes[0] : 0) : 0);
        break;
    case 1:
        result = OnReadRegister(1, 1, count, &buffer, words.data());
        for (size_t i = result == RTU_OK ? 1 : 0; i < words.size(); ++i)
            if (words[i] != 0xA5A5)
                std::abort();
        break;
    case 2:
        result = OnReadMRegister(1, 1, 0, count, &buffer, words.data());
        for (size_t i = result == RTU_OK ? count : 0; i < words.size(); ++i)
            if (words[i] != 0xA5A5)
                std::abort();
        break;
    case 3:
        result = OnReadBitStatus(1, 1, 0, count, &buffer, bytes.data());
        CheckGuards(bytes, result == RTU_OK ? 251 : 0); // a frame holds at most 251 data bytes
        break;
    case 4:
        result = OnWriteRegister(1, 1, count, &buffer, &value);
        break;
    case 5:
        result = OnWriteMRegister(1, 1, 0, std::min<uint16_t>(count, 123), &buffer, values);
        break;
    case 6:
        result = OnSetBitStatus(1, 1, count, &buffer);
        break;
    default:
        result = OnClrBitStatus(1, 1, count, &buffer);
        break;
    }
    if (result != RTU_OK && result != RTU_CRC_ERROR && result != RTU_TIMEOUT)
        std::abort();
    return 0;
}
