#include "linerate.h"

#include <asm/termbits.h>
#include <sys/ioctl.h>

namespace vantrel {

bool SetLineRate(int fd, uint32_t baud) {
    if (baud == 0)
        return false;
    struct termios2 tio {};
    if (ioctl(fd, TCGETS2, &tio) != 0)
        return false;
    tio.c_cflag &= ~(CBAUD | (CBAUD << IBSHIFT));
    tio.c_cflag |= BOTHER | (BOTHER << IBSHIFT);
    tio.c_ispeed = baud;
    tio.c_ospeed = baud;
    return ioctl(fd, TCSETS2, &tio) == 0;
}

uint32_t GetLineRate(int fd) {
    struct termios2 tio {};
    if (ioctl(fd, TCGETS2, &tio) != 0)
        return 0;
    return tio.c_ospeed;
}

} // namespace vantrel
