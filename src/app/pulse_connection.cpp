#include "app/pulse_connection.h"

#include <pulse/context.h>
#include <pulse/mainloop.h>

namespace sorv {

namespace {

bool Failed(pa_context* c) {
    const pa_context_state_t s = pa_context_get_state(c);
    return s == PA_CONTEXT_FAILED || s == PA_CONTEXT_TERMINATED;
}

}  // namespace

PulseConnection::PulseConnection() : loop_(pa_mainloop_new()) {
    if (loop_) context_ = pa_context_new(pa_mainloop_get_api(loop_), "Sorvantel");
}

PulseConnection::~PulseConnection() {
    if (context_) {
        pa_context_disconnect(context_);
        pa_context_unref(context_);
    }
    if (loop_) pa_mainloop_free(loop_);
}

bool PulseConnection::Connect(std::chrono::milliseconds timeout) {
    if (!context_ || pa_context_connect(context_, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0) return false;
    return RunUntil([this] { return pa_context_get_state(context_) == PA_CONTEXT_READY; }, timeout);
}

bool PulseConnection::RunUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
    using Clock = std::chrono::steady_clock;
    const Clock::time_point end = Clock::now() + timeout;
    while (!done()) {
        if (!context_ || Failed(context_)) return false;
        const auto left = std::chrono::duration_cast<std::chrono::microseconds>(end - Clock::now());
        if (left.count() <= 0) return false;
        if (pa_mainloop_prepare(loop_, static_cast<int>(left.count())) < 0 || pa_mainloop_poll(loop_) < 0 ||
            pa_mainloop_dispatch(loop_) < 0)
            return false;
    }
    return true;
}

void PulseConnection::Poll() {
    // A bounded number of turns: a server that floods us cannot keep the UI thread here.
    for (int i = 0; i < 64 && loop_; ++i) {
        if (pa_mainloop_iterate(loop_, 0, nullptr) <= 0) break;
    }
}

}  // namespace sorv
