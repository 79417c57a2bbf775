// A FIFO that nothing writes to, for checks that a reader refuses it instead of blocking. If
// the reader does block, a watchdog opens the FIFO's write end after a grace period (which
// lets a blocked open or read go on, to end of file) and records that it had to: the test
// then fails instead of hanging. A reader that refuses the FIFO returns at once, and the
// watchdog never fires.
#pragma once

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>

namespace sorv::test {

class FifoGuard {
public:
    explicit FifoGuard(std::string path) : path_(std::move(path)) {
        made_ = ::mkfifo(path_.c_str(), 0600) == 0;
        if (made_) watchdog_ = std::thread([this] { Watch(); });
    }
    ~FifoGuard() {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            done_ = true;
        }
        wake_.notify_all();
        if (watchdog_.joinable()) watchdog_.join();
        ::unlink(path_.c_str());
    }
    FifoGuard(const FifoGuard&) = delete;
    FifoGuard& operator=(const FifoGuard&) = delete;

    bool Made() const { return made_; }
    const std::string& path() const { return path_; }
    // True when a reader blocked on the FIFO and had to be released.
    bool Blocked() {
        std::lock_guard<std::mutex> lock(mutex_);
        return fired_;
    }

private:
    void Watch() {
        std::unique_lock<std::mutex> lock(mutex_);
        for (;;) {
            if (wake_.wait_for(lock, std::chrono::seconds(10), [this] { return done_; })) return;
            // Still not done: whoever uses the FIFO is stuck in it. O_NONBLOCK succeeds only
            // while a reader has it open, and then the reader sees end of file on our close.
            const int fd = ::open(path_.c_str(), O_WRONLY | O_NONBLOCK);
            if (fd >= 0) {
                fired_ = true;
                ::close(fd);
            }
        }
    }

    std::string path_;
    bool made_ = false;
    std::mutex mutex_;
    std::condition_variable wake_;
    bool done_ = false;
    bool fired_ = false;
    std::thread watchdog_;
};

}  // namespace sorv::test
