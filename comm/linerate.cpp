#include "linerate.h"

#include <asm/termbits.h>
#include <sys/ioctl.h>

namespace vantrel {
namespace {

void SetRate(termios2& tio, uint32_t baud) {
    tio.c_cflag &= ~(CBAUD | (CBAUD << IBSHIFT));
    tio.c_cflag |= BOTHER | (BOTHER << IBSHIFT);
    tio.c_ispeed = baud;
    tio.c_ospeed = baud;
}

} // namespace

bool SetLineState(int fd, const LineFlags& flags, uint32_t baud) {
    if (baud == 0)
        return false;
    termios2 tio{};
    if (ioctl(fd, TCGETS2, &tio) != 0)
        return false;
    tio.c_iflag = flags.iflag;
    tio.c_oflag = flags.oflag;
    tio.c_cflag = flags.cflag & ~(CBAUD | (CBAUD << IBSHIFT));
    tio.c_lflag = flags.lflag;
    tio.c_cc[VMIN] = flags.vmin;
    tio.c_cc[VTIME] = flags.vtime;
    SetRate(tio, baud);
    return ioctl(fd, TCSETS2, &tio) == 0;
}

bool SetLineRate(int fd, uint32_t baud) {
    if (baud == 0)
        return false;
    termios2 tio{};
    if (ioctl(fd, TCGETS2, &tio) != 0)
        return false;
    SetRate(tio, baud);
    return ioctl(fd, TCSETS2, &tio) == 0;
}

uint32_t GetLineRate(int fd) {
    termios2 tio{};
    if (ioctl(fd, TCGETS2, &tio) != 0)
        return 0;
    return tio.c_ospeed;
}

} // namespace vantrel
