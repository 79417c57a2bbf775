#include "cli/posix_services.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>

#include "automation/shell_program.h"
#include "cli/posix_custom_speed.h"

extern char** environ;

namespace sorv {

namespace {

// Runs argv detached: a child that starts the program and exits at once, so that nothing is
// left for us to reap and the program is not ours to wait for.
void SpawnDetached(const char* path, char* const argv[], bool searchPath) {
    const pid_t child = fork();
    if (child < 0) return;
    if (child == 0) {
        setsid();
        pid_t grandchild = 0;
        if (searchPath)
            posix_spawnp(&grandchild, path, nullptr, nullptr, argv, environ);
        else
            posix_spawn(&grandchild, path, nullptr, nullptr, argv, environ);
        _exit(0);
    }
    int status = 0;
    waitpid(child, &status, 0);
}

speed_t SpeedOf(int baud) {
    switch (baud) {
        case 50: return B50;
        case 75: return B75;
        case 110: return B110;
        case 134: return B134;
        case 150: return B150;
        case 200: return B200;
        case 300: return B300;
        case 600: return B600;
        case 1200: return B1200;
        case 1800: return B1800;
        case 2400: return B2400;
        case 4800: return B4800;
        case 9600: return B9600;
        case 19200: return B19200;
        case 38400: return B38400;
        case 57600: return B57600;
        case 115200: return B115200;
        case 230400: return B230400;
        case 460800: return B460800;
        case 921600: return B921600;
        default: return B0;
    }
}

class PosixSerialPort : public ISerialPort {
public:
    explicit PosixSerialPort(int fd) : fd_(fd) {}
    ~PosixSerialPort() override { Close(); }
    bool Write(const uint8_t* bytes, size_t count, int timeoutMs) override {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        size_t done = 0;
        while (done < count && fd_ >= 0) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
            if (left.count() <= 0) return false;
            pollfd p{fd_, POLLOUT, 0};
            if (poll(&p, 1, static_cast<int>(left.count())) <= 0) return false;
            const ssize_t n = ::write(fd_, bytes + done, count - done);
            if (n < 0) return false;
            done += static_cast<size_t>(n);
        }
        return done == count;
    }
    void Flush() override {
        if (fd_ >= 0) tcdrain(fd_);
    }
    void Close() override {
        if (fd_ >= 0) ::close(fd_);
        fd_ = -1;
    }

private:
    int fd_;
};

}  // namespace

void StartProgramDetached(const std::string& text) {
    if (text.empty()) return;
    // The window's rule: a path, or a name found in PATH.
    if (std::string program = ProgramForShellText(text); !program.empty()) {
        std::string name = text;
        char* const argv[] = {name.data(), nullptr};
        SpawnDetached(program.c_str(), argv, false);
        return;
    }
    std::string opener = "xdg-open";
    std::string target = text;
    char* const argv[] = {opener.data(), target.data(), nullptr};
    SpawnDetached(opener.c_str(), argv, true);
}

SerialOpenResult OpenPosixSerialPort(const std::string& device, int baud, std::unique_ptr<ISerialPort>& out) {
    if (baud <= 0) return SerialOpenResult::BadSettings;
    // A rate without a Bnnn constant is set through termios2 once the rest is in place; the
    // port decides whether it takes it, as it does for the window.
    const speed_t speed = SpeedOf(baud);
    const int fd = ::open(device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return SerialOpenResult::OpenFailed;
    termios tio{};
    if (tcgetattr(fd, &tio) != 0) {
        ::close(fd);
        return SerialOpenResult::SetStateFailed;
    }
    cfmakeraw(&tio);
    tio.c_cflag &= ~(PARENB | CSTOPB | CSIZE | CRTSCTS);
    tio.c_cflag |= CS8 | CLOCAL | CREAD;
    tio.c_iflag &= ~(IXON | IXOFF | IXANY);
    if ((speed != B0 && (cfsetispeed(&tio, speed) != 0 || cfsetospeed(&tio, speed) != 0)) ||
        tcsetattr(fd, TCSANOW, &tio) != 0) {
        ::close(fd);
        return SerialOpenResult::SetStateFailed;
    }
    if (speed == B0 && !SetCustomLineSpeed(fd, baud)) {
        ::close(fd);
        return SerialOpenResult::BadSettings;
    }
    // DTR and RTS on; a pty refuses the modem lines, which is no failure.
    int lines = TIOCM_DTR | TIOCM_RTS;
    ioctl(fd, TIOCMBIS, &lines);
    out = std::make_unique<PosixSerialPort>(fd);
    return SerialOpenResult::Ok;
}

}  // namespace sorv
