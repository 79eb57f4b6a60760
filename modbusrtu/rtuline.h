// How the Modbus library reaches the line and the clock. The program always
// uses ZorComm and the steady clock; the fuzz target swaps in a line that
// serves its input bytes, so the recogniser and the copy-out run without a port.
#pragma once

#include <cstdint>

namespace zormodbus {

struct RtuLine {
    bool (*write)(const char* data, int32_t length, int32_t port);
    int32_t (*read)(char* buffer, uint32_t maxLength, int32_t port);
    // Blocks until bytes are waiting or the time is up.
    void (*wait)(int32_t port, uint32_t microseconds);
    int64_t (*nowMicroseconds)();
};

RtuLine& Line();

} // namespace zormodbus
