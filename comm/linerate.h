// Applies line settings through the Linux termios2 interface: any rate in bits
// per second (also those termios has no constant for, via BOTHER), in one
// call with the flags. Kept in a file of its own because the kernel's termios2
// header clashes with <termios.h>. glibc's tcsetattr is not used for the flags
// because it reports failure whenever a pseudo-terminal ignores data bits or
// parity, which it always does (it carries bytes, not bits).
#pragma once

#include <cstdint>

namespace vantrel {

// The termios fields, as <termios.h> and the kernel share them.
struct LineFlags {
    uint32_t iflag;
    uint32_t oflag;
    uint32_t cflag; // without the rate bits
    uint32_t lflag;
    uint8_t vmin;
    uint8_t vtime;
};

// Sets the flags and the rate for both directions; true when the driver accepted them.
bool SetLineState(int fd, const LineFlags& flags, uint32_t baud);

// Sets only the rate.
bool SetLineRate(int fd, uint32_t baud);

// The output rate the driver reports, or 0.
uint32_t GetLineRate(int fd);

} // namespace vantrel
