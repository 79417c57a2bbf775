// Keeps a timer handler from running inside itself. A message box (or a script's wait) shown
// from inside the handler runs an event loop that delivers further ticks; each would enter the
// handler again and could stack box on box. The flag is cleared on every way out, so that no
// failure inside the handler can stop it for good.
#pragma once

namespace sorv {

class ReentryGuard {
public:
    explicit ReentryGuard(int& flag) : flag_(flag) { flag_ = 1; }
    ~ReentryGuard() { flag_ = 0; }
    ReentryGuard(const ReentryGuard&) = delete;
    ReentryGuard& operator=(const ReentryGuard&) = delete;

private:
    int& flag_;
};

}  // namespace sorv
