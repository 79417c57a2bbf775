// The command line's serial port takes every rate the port takes, as the window's does: the
// standard ones through their constants, others (31250 for MIDI-style links, 250000) through
// termios2. A pseudo-terminal stands in for the receiver's port.
#include <gtest/gtest.h>

#include <asm/termbits.h>
#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <string>

#include "cli/posix_services.h"

namespace sorv {
namespace {

class PseudoTerminal {
public:
    PseudoTerminal() {
        master_ = posix_openpt(O_RDWR | O_NOCTTY);
        if (master_ >= 0 && grantpt(master_) == 0 && unlockpt(master_) == 0) slave_ = ptsname(master_);
    }
    ~PseudoTerminal() {
        if (master_ >= 0) ::close(master_);
    }
    const std::string& slave() const { return slave_; }
    // What has arrived at the far end (the port was flushed and closed before).
    std::string Arrived() {
        std::string got;
        char buf[64];
        pollfd p{master_, POLLIN, 0};
        while (::poll(&p, 1, 0) > 0 && (p.revents & POLLIN)) {
            const ssize_t n = ::read(master_, buf, sizeof buf);
            if (n <= 0) break;
            got.append(buf, static_cast<size_t>(n));
        }
        return got;
    }

private:
    int master_ = -1;
    std::string slave_;
};

// The output speed the port is set to now, as the kernel reports it.
unsigned OutputSpeed(const std::string& device) {
    const int fd = ::open(device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (fd < 0) return 0;
    struct termios2 tio {};
    const bool ok = ioctl(fd, TCGETS2, &tio) == 0;
    ::close(fd);
    return ok ? tio.c_ospeed : 0;
}

TEST(CliSerialPort, RatesWithoutAConstantAreSetAndTheBytesGoOut) {
    PseudoTerminal pty;
    ASSERT_FALSE(pty.slave().empty());
    for (int baud : {9600, 31250, 250000, 115200}) {
        SCOPED_TRACE(baud);
        std::unique_ptr<ISerialPort> port;
        ASSERT_EQ(OpenPosixSerialPort(pty.slave(), baud, port), SerialOpenResult::Ok);
        EXPECT_EQ(OutputSpeed(pty.slave()), static_cast<unsigned>(baud));
        const uint8_t bytes[] = {'A', 'B', 13, 10};
        EXPECT_TRUE(port->Write(bytes, sizeof bytes, 100));
        port->Flush();
        port->Close();
        EXPECT_EQ(pty.Arrived(), "AB\r\n");
    }
    std::unique_ptr<ISerialPort> port;
    EXPECT_EQ(OpenPosixSerialPort(pty.slave(), 0, port), SerialOpenResult::BadSettings);
    EXPECT_EQ(OpenPosixSerialPort(pty.slave(), -9600, port), SerialOpenResult::BadSettings);
    EXPECT_EQ(OpenPosixSerialPort("/dev/no-such-port", 31250, port), SerialOpenResult::OpenFailed);
    EXPECT_EQ(port, nullptr);
}

}  // namespace
}  // namespace sorv
