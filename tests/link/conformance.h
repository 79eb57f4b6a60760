// The register contents of the libmodbus conformance slave.
#pragma once

#include <cstdint>

namespace linktest {

inline uint16_t ConformancePattern(int address) {
    return static_cast<uint16_t>(address * 0x0123 + 0x8001);
}

} // namespace linktest
