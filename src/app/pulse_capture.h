// Capture from a source of the sound server by its name, through the server's own client
// library: the way to a monitor of an output, which Qt Multimedia does not list. The server
// converts to unsigned 8-bit mono at 48 kHz and keeps what is not read yet; a short timer on
// the UI thread reads it into the queued one-second buffers, as the Qt capture does.
#pragma once

#include <QTimer>
#include <memory>
#include <string>

#include "app/capture_queue.h"
#include "app/pulse_connection.h"
#include "engine/platform_services.h"

struct pa_stream;

namespace sorv {

class PulseWaveIn final : public IWaveIn {
public:
    explicit PulseWaveIn(std::string sourceName);
    ~PulseWaveIn() override;

    // Reaches the server: MM_NOERROR, or MM_NODRIVER when no server answers.
    int Connect();

    int Prepare(WaveHeader& h) override { return CaptureQueue::Prepare(h); }
    int AddBuffer(WaveHeader& h) override { return queue_.Add(h); }
    // Opens the recording stream on the source: MM_BADDEVICEID when the server has no such
    // source (any more), MM_ERROR for another refusal.
    int Start() override;
    int Reset() override;
    int Unprepare(WaveHeader& h) override { return CaptureQueue::Unprepare(h); }
    int Close() override { return Reset(); }

private:
    void Pull();
    void Stop();

    std::string source_;
    PulseConnection server_;
    pa_stream* stream_ = nullptr;
    QTimer timer_;
    CaptureQueue queue_;
};

}  // namespace sorv
