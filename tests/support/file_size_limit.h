// A full disk, for tests: the body runs in a child process whose files may not grow past a
// limit. SIGXFSZ is ignored there, so a write past the limit fails with EFBIG as a write to a
// full disk fails with ENOSPC (a partial write first, then an error), and nothing else about
// the machine changes. The child reports through its exit status; the parent then looks at
// what was left on disk.
#pragma once

#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <functional>

namespace sorv::test {

// Runs body() in a child limited to `limitBytes` per file; returns its exit status (body's
// return value), or 128 + the signal that ended it.
inline int RunWithFileSizeLimit(rlim_t limitBytes, const std::function<int()>& body) {
    std::fflush(nullptr);
    const pid_t pid = fork();
    if (pid < 0) return -1;
    if (pid == 0) {
        signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{limitBytes, limitBytes};
        if (setrlimit(RLIMIT_FSIZE, &limit) != 0) _exit(100);
        const int rc = body();
        std::fflush(nullptr);
        _exit(rc);
    }
    int status = 0;
    if (waitpid(pid, &status, 0) != pid) return -1;
    if (WIFEXITED(status)) return WEXITSTATUS(status);
    return WIFSIGNALED(status) ? 128 + WTERMSIG(status) : -1;
}

}  // namespace sorv::test
