// Sound devices on Qt Multimedia (PulseAudio or PipeWire's pulse layer). Capture reads the
// source in pull mode on a short timer and fills the queued one-second buffers in order,
// converting to unsigned 8-bit mono at 48 kHz when the device gives something else. Playback
// feeds a sink from the queued buffers and marks each done once the sink has taken it all.
// Everything runs on the UI thread, like the engine that polls the done flags.
#include <QAudioDevice>
#include <QAudioFormat>
#include <QAudioSink>
#include <QAudioSource>
#include <QMediaDevices>
#include <QTimer>
#include <algorithm>
#include <cstring>
#include <deque>

#include "app/capture_queue.h"
#include "app/pulse_capture.h"
#include "app/pulse_sources.h"
#include "app/qt_platform.h"
#include "audio/sample_conversion.h"

namespace sorv {

namespace {

constexpr int kPullIntervalMs = 50;
constexpr int kPushIntervalMs = 50;
constexpr qsizetype kSinkBufferBytes = 24000;  // half a second: 250 ms feeding never runs dry

QAudioFormat EngineFormat() {
    QAudioFormat f;
    f.setSampleRate(48000);
    f.setChannelCount(1);
    f.setSampleFormat(QAudioFormat::UInt8);
    return f;
}

bool ToDeviceFormat(const QAudioFormat& f, DeviceFormat& out) {
    switch (f.sampleFormat()) {
        case QAudioFormat::UInt8: out.sample = SampleFormat::UInt8; break;
        case QAudioFormat::Int16: out.sample = SampleFormat::Int16; break;
        case QAudioFormat::Int32: out.sample = SampleFormat::Int32; break;
        case QAudioFormat::Float: out.sample = SampleFormat::Float; break;
        default: return false;
    }
    out.channels = f.channelCount();
    out.rate = f.sampleRate();
    return CaptureConverter(out).IsValid();
}

// No device of either direction means no sound server (or no driver) at all.
bool SoundServerPresent() {
    return !QMediaDevices::audioInputs().isEmpty() || !QMediaDevices::audioOutputs().isEmpty();
}

// The general result code whose meaning fits a failing Qt step.
int MmFromQtError(QAudio::Error e) {
    switch (e) {
        case QAudio::NoError: return MM_NOERROR;
        case QAudio::OpenError: return SoundServerPresent() ? MM_ALLOCATED : MM_NODRIVER;
        case QAudio::FatalError: return MM_NOTENABLED;
        case QAudio::IOError:
        case QAudio::UnderrunError: return MM_ERROR;
    }
    return MM_ERROR;
}

// A buffer handed back to the engine: done, no longer queued.
void MarkDone(WaveHeader& h) { h.flags = (h.flags | WaveHeader::kDone) & ~WaveHeader::kQueued; }

// Every queued buffer comes back done, a partly used one with what it holds.
void ReturnAll(std::deque<WaveHeader*>& queue) {
    for (WaveHeader* h : queue) MarkDone(*h);
    queue.clear();
}

// A buffer still queued cannot be unprepared, as with the original wave devices.
int UnprepareHeader(WaveHeader& h) {
    if (h.flags & WaveHeader::kQueued) return MM_STILLPLAYING;
    h.flags &= ~WaveHeader::kPrepared;
    return MM_NOERROR;
}

class QtWaveIn final : public IWaveIn {
public:
    QtWaveIn(const QAudioDevice& device, const QAudioFormat& format, const DeviceFormat& deviceFormat, bool convert)
        : source_(device, format), converter_(deviceFormat), convert_(convert) {
        // The source keeps Qt's default buffering: the server holds what is not read yet, so a
        // UI thread busy for seconds with an analysis loses nothing.
        timer_.setInterval(kPullIntervalMs);
        QObject::connect(&timer_, &QTimer::timeout, &timer_, [this] { Pull(); });
    }
    ~QtWaveIn() override { Stop(); }

    int Prepare(WaveHeader& h) override { return CaptureQueue::Prepare(h); }
    int AddBuffer(WaveHeader& h) override { return queue_.Add(h); }
    int Start() override {
        io_ = source_.start();
        if (!io_ || source_.error() != QAudio::NoError) {
            const int rc = io_ ? MmFromQtError(source_.error()) : MmFromQtError(QAudio::OpenError);
            Stop();
            return rc == MM_NOERROR ? MM_ERROR : rc;
        }
        timer_.start();
        return MM_NOERROR;
    }
    int Reset() override {
        if (io_) Pull();
        Stop();
        queue_.ReturnAll();
        return MM_NOERROR;
    }
    int Unprepare(WaveHeader& h) override { return CaptureQueue::Unprepare(h); }
    int Close() override { return Reset(); }

private:
    void Stop() {
        timer_.stop();
        if (io_) source_.stop();
        io_ = nullptr;
    }
    void Pull() {
        if (!io_) return;
        const QByteArray bytes = io_->readAll();
        if (bytes.isEmpty()) return;
        const auto* p = reinterpret_cast<const uint8_t*>(bytes.constData());
        if (!convert_) {
            queue_.Deliver(p, static_cast<size_t>(bytes.size()));
            return;
        }
        converted_.clear();
        converter_.Convert(p, static_cast<size_t>(bytes.size()), converted_);
        queue_.Deliver(converted_.data(), converted_.size());
    }

    QAudioSource source_;
    QIODevice* io_ = nullptr;
    QTimer timer_;
    CaptureQueue queue_;
    CaptureConverter converter_;
    bool convert_;
    std::vector<uint8_t> converted_;
};

class QtWaveOut final : public IWaveOut {
public:
    explicit QtWaveOut(const QAudioDevice& device) : sink_(device, EngineFormat()) {
        sink_.setBufferSize(kSinkBufferBytes);
        timer_.setInterval(kPushIntervalMs);
        QObject::connect(&timer_, &QTimer::timeout, &timer_, [this] { Push(); });
    }
    ~QtWaveOut() override { Stop(); }

    int Open() {
        io_ = sink_.start();
        if (!io_ || sink_.error() != QAudio::NoError) {
            const int rc = io_ ? MmFromQtError(sink_.error()) : MmFromQtError(QAudio::OpenError);
            Stop();
            return rc == MM_NOERROR ? MM_ERROR : rc;
        }
        timer_.start();
        return MM_NOERROR;
    }
    int Prepare(WaveHeader& h) override {
        h.flags |= WaveHeader::kPrepared;
        return MM_NOERROR;
    }
    int Write(WaveHeader& h) override {
        if (!(h.flags & WaveHeader::kPrepared)) return MM_UNPREPARED;
        if (!io_) {
            const int rc = Open();
            if (rc != MM_NOERROR) return rc;
        }
        h.flags = (h.flags & ~WaveHeader::kDone) | WaveHeader::kQueued;
        queue_.push_back(&h);
        Push();
        return MM_NOERROR;
    }
    int Reset() override {
        Stop();  // drops what the sink still holds
        ReturnAll(queue_);
        offset_ = 0;
        return MM_NOERROR;
    }
    int Unprepare(WaveHeader& h) override { return UnprepareHeader(h); }
    int Close() override { return Reset(); }

private:
    void Stop() {
        timer_.stop();
        if (io_) sink_.stop();
        io_ = nullptr;
    }
    // Hands the sink as much of the queued buffers as it has room for; a buffer is done once
    // the sink has taken its last byte, so the engine can refill it while the sink plays it.
    void Push() {
        while (io_ && !queue_.empty()) {
            const qsizetype room = sink_.bytesFree();
            if (room <= 0) break;
            WaveHeader& h = *queue_.front();
            const qint64 n = std::min<qint64>(room, static_cast<qint64>(h.length - offset_));
            const qint64 written = io_->write(reinterpret_cast<const char*>(h.data) + offset_, n);
            if (written <= 0) break;
            offset_ += static_cast<uint32_t>(written);
            if (offset_ == h.length) {
                MarkDone(h);
                queue_.pop_front();
                offset_ = 0;
            }
        }
    }

    QAudioSink sink_;
    QIODevice* io_ = nullptr;
    QTimer timer_;
    std::deque<WaveHeader*> queue_;
    uint32_t offset_ = 0;  // bytes of the front buffer already handed to the sink
};

}  // namespace

int QtPlatform::CaptureDeviceCount() {
    // Listed once: the card table refers to devices by their position in this list. Qt's inputs
    // keep the places they have always had; the monitors follow.
    captureInputs_.clear();
    for (const QAudioDevice& d : QMediaDevices::audioInputs())
        captureInputs_.push_back({d.id(), d.description().toStdString(), false});
    for (const PulseSource& s : ListPulseSources()) {
        if (!s.monitor) continue;
        const QByteArray id = QByteArray::fromStdString(s.name);
        const bool listed = std::any_of(captureInputs_.begin(), captureInputs_.end(),
                                        [&](const CaptureInput& c) { return c.id == id; });
        if (!listed) captureInputs_.push_back({id, s.description, true});
    }
    return static_cast<int>(captureInputs_.size());
}

int QtPlatform::CaptureDeviceName(int device, std::string& name) {
    if (device < 0 || device >= static_cast<int>(captureInputs_.size())) return MM_BADDEVICEID;
    name = captureInputs_[static_cast<size_t>(device)].name;
    return MM_NOERROR;
}

int QtPlatform::OpenCapture(int device, std::unique_ptr<IWaveIn>& out) {
    const bool listed = device >= 0 && device < static_cast<int>(captureInputs_.size());
    if (listed && captureInputs_[static_cast<size_t>(device)].monitor) {
        auto monitor = std::make_unique<PulseWaveIn>(captureInputs_[static_cast<size_t>(device)].id.toStdString());
        const int rc = monitor->Connect();
        if (rc != MM_NOERROR) return rc;
        out = std::move(monitor);
        return MM_NOERROR;
    }
    const QList<QAudioDevice> inputs = QMediaDevices::audioInputs();
    QAudioDevice chosen;
    if (device == -1) {
        chosen = QMediaDevices::defaultAudioInput();
    } else if (listed) {
        const QByteArray& id = captureInputs_[static_cast<size_t>(device)].id;
        for (const QAudioDevice& d : inputs)
            if (d.id() == id) chosen = d;
    }
    if (chosen.isNull()) return SoundServerPresent() ? MM_BADDEVICEID : MM_NODRIVER;

    QAudioFormat format = EngineFormat();
    DeviceFormat deviceFormat;
    bool convert = false;
    if (!chosen.isFormatSupported(format)) {
        // The device cannot give 8-bit mono at 48 kHz: take what it prefers and convert.
        format = chosen.preferredFormat();
        if (!ToDeviceFormat(format, deviceFormat)) return MM_BADFORMAT;
        convert = true;
    }
    out = std::make_unique<QtWaveIn>(chosen, format, deviceFormat, convert);
    return MM_NOERROR;
}

int QtPlatform::OpenPlayback(std::unique_ptr<IWaveOut>& out) {
    const QAudioDevice device = QMediaDevices::defaultAudioOutput();
    if (device.isNull()) return SoundServerPresent() ? MM_BADDEVICEID : MM_NODRIVER;
    if (!device.isFormatSupported(EngineFormat())) return MM_BADFORMAT;
    auto sink = std::make_unique<QtWaveOut>(device);
    const int rc = sink->Open();
    if (rc != MM_NOERROR) return rc;
    out = std::move(sink);
    return MM_NOERROR;
}

}  // namespace sorv
