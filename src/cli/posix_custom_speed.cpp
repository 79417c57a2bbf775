#include "cli/posix_custom_speed.h"

#if defined(__linux__)
#include <asm/termbits.h>
#include <sys/ioctl.h>
#endif

namespace sorv {

bool SetCustomLineSpeed(int fd, int baud) {
#if defined(__linux__) && defined(BOTHER)
    if (baud <= 0) return false;
    struct termios2 tio {};
    if (ioctl(fd, TCGETS2, &tio) != 0) return false;
    tio.c_cflag &= ~static_cast<tcflag_t>(CBAUD | (CBAUD << IBSHIFT));
    tio.c_cflag |= BOTHER | (BOTHER << IBSHIFT);
    tio.c_ispeed = static_cast<speed_t>(baud);
    tio.c_ospeed = static_cast<speed_t>(baud);
    return ioctl(fd, TCSETS2, &tio) == 0;
#else
    (void)fd;
    (void)baud;
    return false;
#endif
}

}  // namespace sorv
