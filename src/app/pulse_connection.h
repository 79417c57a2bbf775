// A connection to the sound server (PulseAudio, or PipeWire's pulse layer) through its own
// client library, run on the UI thread: its main loop is turned by hand, with time limits, so
// that a server that does not answer never hangs the program.
#pragma once

#include <chrono>
#include <functional>

struct pa_context;
struct pa_mainloop;

namespace sorv {

class PulseConnection {
public:
    PulseConnection();
    ~PulseConnection();
    PulseConnection(const PulseConnection&) = delete;
    PulseConnection& operator=(const PulseConnection&) = delete;

    // Connects (never starting a server of its own); false when no server answers in time.
    bool Connect(std::chrono::milliseconds timeout);
    pa_context* Context() const { return context_; }

    // Turns the loop until `done` holds or the time is up; false on time-out or a lost link.
    bool RunUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout);
    // Handles whatever is pending, without waiting.
    void Poll();

private:
    pa_mainloop* loop_ = nullptr;
    pa_context* context_ = nullptr;
};

}  // namespace sorv
