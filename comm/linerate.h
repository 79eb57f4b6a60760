// Sets any line rate in bits per second, also those termios has no constant
// for, through the Linux arbitrary-rate interface (termios2, BOTHER). Kept in a
// file of its own because the kernel's termios2 header clashes with <termios.h>.
#pragma once

#include <cstdint>

namespace vantrel {

// True when the driver accepted the rate for both directions.
bool SetLineRate(int fd, uint32_t baud);

// The output rate the driver reports, or 0.
uint32_t GetLineRate(int fd);

} // namespace vantrel
