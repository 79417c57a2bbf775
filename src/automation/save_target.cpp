#include "automation/save_target.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>

namespace sorv {

namespace {

constexpr int kMaxLinks = 40;  // as the system's own path lookup allows

// The file that `path` names once every symbolic link in its last component is followed.
bool FollowLinks(const std::string& path, std::string& out) {
    std::filesystem::path p(path);
    for (int i = 0; i < kMaxLinks; ++i) {
        std::error_code ec;
        if (!std::filesystem::is_symlink(std::filesystem::symlink_status(p, ec))) {
            out = p.string();
            return true;
        }
        const std::filesystem::path next = std::filesystem::read_symlink(p, ec);
        if (ec) return false;
        p = next.is_absolute() ? next : p.parent_path() / next;
    }
    return false;
}

}  // namespace

bool FindSaveTarget(const std::string& path, SaveTarget& target) {
    target = SaveTarget{};
    if (!FollowLinks(path, target.path)) return false;
    struct stat st {};
    if (::stat(target.path.c_str(), &st) != 0) return errno == ENOENT;  // a new file
    target.exists = true;
    target.mode = st.st_mode & 07777;
    if (!S_ISREG(st.st_mode)) return false;
    // Opening it for writing, without truncating, is the one test that knows every reason a
    // write would be refused (permissions, access lists, a read-only mount).
    const int fd = ::open(target.path.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return false;
    ::close(fd);
    return true;
}

}  // namespace sorv
