#include "engine/regular_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace sorv {

namespace {

std::string WhyNotRegular(mode_t mode) {
    if (S_ISDIR(mode)) return "is a directory";
    if (S_ISFIFO(mode)) return "is not a regular file (a FIFO)";
    if (S_ISCHR(mode) || S_ISBLK(mode)) return "is not a regular file (a device)";
    if (S_ISSOCK(mode)) return "is not a regular file (a socket)";
    return "is not a regular file";
}

std::string WhyNotOpened(int error) {
    if (error == ENOENT) return "No such file";
    return std::strerror(error);
}

}  // namespace

int OpenRegularFileDescriptor(const std::string& path, std::string& why, bool* notRegular) {
    if (notRegular) *notRegular = false;
    // O_NONBLOCK lets the open of a FIFO without a writer return at once; the type is then
    // checked on what was opened, so nothing can be swapped in between.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) {
        why = WhyNotOpened(errno);
        return -1;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        why = WhyNotOpened(errno);
        ::close(fd);
        return -1;
    }
    if (!S_ISREG(st.st_mode)) {
        why = WhyNotRegular(st.st_mode);
        if (notRegular) *notRegular = true;
        ::close(fd);
        return -1;
    }
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags == -1 || ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) == -1) {
        why = WhyNotOpened(errno);
        ::close(fd);
        return -1;
    }
    why.clear();
    return fd;
}

std::FILE* OpenRegularFile(const std::string& path, std::string& why, bool* notRegular) {
    const int fd = OpenRegularFileDescriptor(path, why, notRegular);
    if (fd < 0) return nullptr;
    std::FILE* f = ::fdopen(fd, "rb");
    if (!f) {
        why = WhyNotOpened(errno);
        ::close(fd);
    }
    return f;
}

}  // namespace sorv
