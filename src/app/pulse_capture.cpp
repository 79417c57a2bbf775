#include "app/pulse_capture.h"

#include <pulse/error.h>
#include <pulse/stream.h>

namespace sorv {

namespace {

constexpr int kPullIntervalMs = 50;
constexpr std::chrono::milliseconds kConnectTimeout{2000};
constexpr std::chrono::milliseconds kStreamTimeout{3000};

bool Settled(pa_stream* s) {
    const pa_stream_state_t st = pa_stream_get_state(s);
    return st == PA_STREAM_READY || st == PA_STREAM_FAILED || st == PA_STREAM_TERMINATED;
}

}  // namespace

PulseWaveIn::PulseWaveIn(std::string sourceName) : source_(std::move(sourceName)) {
    timer_.setInterval(kPullIntervalMs);
    QObject::connect(&timer_, &QTimer::timeout, &timer_, [this] { Pull(); });
}

PulseWaveIn::~PulseWaveIn() { Stop(); }

int PulseWaveIn::Connect() { return server_.Connect(kConnectTimeout) ? MM_NOERROR : MM_NODRIVER; }

int PulseWaveIn::Start() {
    if (!server_.Context()) return MM_NODRIVER;
    Stop();
    const pa_sample_spec spec{PA_SAMPLE_U8, 48000, 1};
    stream_ = pa_stream_new(server_.Context(), "Sorvantel capture", &spec, nullptr);
    if (!stream_) return MM_NOMEM;
    // The server keeps up to its own limit of what is not read yet (seconds), so a UI thread
    // busy with an analysis loses nothing; fragments of 100 ms keep the reads small.
    pa_buffer_attr attr{};
    attr.maxlength = static_cast<uint32_t>(-1);
    attr.fragsize = 4800;
    attr.tlength = attr.prebuf = attr.minreq = static_cast<uint32_t>(-1);
    if (pa_stream_connect_record(stream_, source_.c_str(), &attr, PA_STREAM_ADJUST_LATENCY) < 0) {
        Stop();
        return MM_ERROR;
    }
    const bool settled = server_.RunUntil([this] { return Settled(stream_); }, kStreamTimeout);
    if (!settled || pa_stream_get_state(stream_) != PA_STREAM_READY) {
        const int error = pa_context_errno(server_.Context());
        Stop();
        return error == PA_ERR_NOENTITY ? MM_BADDEVICEID : MM_ERROR;
    }
    timer_.start();
    return MM_NOERROR;
}

int PulseWaveIn::Reset() {
    if (stream_) Pull();
    Stop();
    queue_.ReturnAll();
    return MM_NOERROR;
}

void PulseWaveIn::Stop() {
    timer_.stop();
    if (!stream_) return;
    pa_stream_disconnect(stream_);
    pa_stream_unref(stream_);
    stream_ = nullptr;
}

void PulseWaveIn::Pull() {
    if (!stream_) return;
    server_.Poll();
    // A source that went away mid-run delivers nothing more: the buffers simply stay queued,
    // as with a stalled device, until Stop.
    if (pa_stream_get_state(stream_) != PA_STREAM_READY) return;
    for (;;) {
        const void* data = nullptr;
        size_t n = 0;
        if (pa_stream_peek(stream_, &data, &n) < 0 || n == 0) break;
        // A hole in the stream (data is null) is dropped like the server dropped it.
        if (data) queue_.Deliver(static_cast<const uint8_t*>(data), n);
        pa_stream_drop(stream_);
    }
}

}  // namespace sorv
