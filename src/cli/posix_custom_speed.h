// A line speed that has no Bnnn constant (31250, 250000, ...), as Linux's termios2 sets it.
// On its own, because the kernel's termios2 header and the C library's termios clash.
#pragma once

namespace sorv {

// Sets both directions of the open tty to baud; false when the driver refuses it.
bool SetCustomLineSpeed(int fd, int baud);

}  // namespace sorv
