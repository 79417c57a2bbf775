#include "cli/headless_platform.h"

#include <stdlib.h>
#include <time.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "audio/file/audio_file_reader.h"
#include "cli/posix_services.h"
#include "engine/sorvantel_doc.h"
#include "engine/system_calendar.h"
#include "engine/text_format.h"

namespace sorv {

namespace {

constexpr int64_t kDayMs = 24LL * 3600 * 1000;

int64_t SteadyMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

int64_t RealNow() { return static_cast<int64_t>(::time(nullptr)); }

}  // namespace

// The capture device of a script run: buffers are queued as a sound card's are, and the
// platform fills the oldest one with the next second of the recording at each wait step.
class HeadlessPlatform::FileWaveIn : public IWaveIn {
public:
    explicit FileWaveIn(HeadlessPlatform& owner) : owner_(owner) {}
    ~FileWaveIn() override {
        if (owner_.waveIn_ == this) owner_.waveIn_ = nullptr;
    }
    int Prepare(WaveHeader& h) override {
        h.flags |= WaveHeader::kPrepared;
        return MM_NOERROR;
    }
    int AddBuffer(WaveHeader& h) override {
        h.flags = (h.flags & ~WaveHeader::kDone) | WaveHeader::kQueued;
        queue_.push_back(&h);
        return MM_NOERROR;
    }
    int Start() override {
        started_ = true;
        return MM_NOERROR;
    }
    int Reset() override {
        for (WaveHeader* h : queue_) h->flags = (h->flags | WaveHeader::kDone) & ~WaveHeader::kQueued;
        queue_.clear();
        started_ = false;
        return MM_NOERROR;
    }
    int Unprepare(WaveHeader& h) override {
        h.flags &= ~WaveHeader::kPrepared;
        return MM_NOERROR;
    }
    int Close() override { return MM_NOERROR; }

    // The oldest queued buffer while recording runs, taken off the queue; null otherwise.
    WaveHeader* TakeNext() {
        if (!started_ || queue_.empty()) return nullptr;
        WaveHeader* h = queue_.front();
        queue_.pop_front();
        return h;
    }

private:
    HeadlessPlatform& owner_;
    std::deque<WaveHeader*> queue_;
    bool started_ = false;
};

HeadlessPlatform::HeadlessPlatform(std::ostream& messages) : messageStream_(messages) {
    std::error_code ec;
    std::string pattern = (std::filesystem::temp_directory_path(ec) / "sorvantel-cli-XXXXXX").string();
    if (ec) pattern = "/tmp/sorvantel-cli-XXXXXX";
    if (char* p = ::mkdtemp(pattern.data())) privateDir_ = p;
    clockStartUtc_ = RealNow();
    cachedNow_ = clockStartUtc_;
}

int64_t HeadlessPlatform::WallMs() const { return wallClockMs ? wallClockMs() : SteadyMs(); }

HeadlessPlatform::~HeadlessPlatform() {
    std::error_code ec;
    if (!privateDir_.empty()) std::filesystem::remove_all(privateDir_, ec);
}

void HeadlessPlatform::SetCaptureInput(AudioFileReader* input, bool realtime) {
    input_ = input;
    realtime_ = realtime;
    recordingClock_ = true;
    elapsedMs_ = 0;
    lastAudioMs_ = 0;
    wallStartMs_ = WallMs();
    clockStartUtc_ = RealNow();
}

void HeadlessPlatform::SetMainTitle(std::string_view title) {
    if (onTitle) onTitle(title);
}

void HeadlessPlatform::UpdateAllViews() {
    if (onViewsUpdated) onViewsUpdated();
    cachedNow_ = RealNow();
}

void HeadlessPlatform::ShowMessage(const std::string& text) {
    messages.push_back(text);
    messageStream_ << messagePrefix << text << '\n';
    messageStream_.flush();
}

bool HeadlessPlatform::AskYesNo(const std::string&) { return answerYes; }

bool HeadlessPlatform::OpenFileDialog(const FileDialogSpec&, std::string& path) {
    if (openAnswers.empty()) return false;
    path = openAnswers.front();
    openAnswers.pop_front();
    return true;
}

bool HeadlessPlatform::OpenFilesDialog(const FileDialogSpec&, std::vector<std::string>& paths) {
    if (multiOpenAnswers.empty()) return false;
    paths = multiOpenAnswers.front();
    multiOpenAnswers.pop_front();
    return true;
}

bool HeadlessPlatform::SaveFileDialog(const FileDialogSpec&, std::string& path) {
    if (saveAnswers.empty()) return false;
    path = saveAnswers.front();
    saveAnswers.pop_front();
    return true;
}

void HeadlessPlatform::ShellOpen(const std::string& text) { StartProgramDetached(text); }

int HeadlessPlatform::OpenCapture(int, std::unique_ptr<IWaveIn>& out) {
    if (!input_) return MM_BADDEVICEID;
    auto device = std::make_unique<FileWaveIn>(*this);
    waveIn_ = device.get();
    out = std::move(device);
    captureStartSeconds_ = CaptureSecondsDelivered();
    if (inputEnded_ && doc_ && doc_->m_bScriptRunning) {
        // Capturing again after the recording has ended would wait for ever: end the script.
        doc_->EndScriptOnFailure("starts capture again, but the input is used up");
    }
    return MM_NOERROR;
}

SerialOpenResult HeadlessPlatform::OpenSerialPort(const std::string& device, int baud,
                                                  std::unique_ptr<ISerialPort>& out) {
    return OpenPosixSerialPort(device, baud, out);
}

int64_t HeadlessPlatform::NowUtc() {
    return recordingClock_ ? clockStartUtc_ + elapsedMs_ / 1000 : cachedNow_;
}

CalendarTime HeadlessPlatform::ToUtc(int64_t t) { return SystemUtcTime(t); }

CalendarTime HeadlessPlatform::ToLocal(int64_t t) { return SystemLocalTime(t); }

bool HeadlessPlatform::LocalToUtc(const CalendarTime& local, int64_t& out) { return SystemLocalToUtc(local, out); }

void HeadlessPlatform::DeliverOneSecond() {
    WaveHeader* h = waveIn_ ? waveIn_->TakeNext() : nullptr;
    if (!h) return;
    const size_t n = input_->Read(h->data, h->length);
    h->bytesRecorded = static_cast<uint32_t>(n);
    h->flags = (h->flags | WaveHeader::kDone) & ~WaveHeader::kQueued;
    samplesDelivered_ += n;
    elapsedMs_ += static_cast<int64_t>(n) * 1000 / 48000;
    if (n > 0) lastAudioMs_ = elapsedMs_;
    if (n < h->length) inputEnded_ = true;
    // The poll timer's tick: the capture handler takes the buffer just filled.
    if (doc_ && doc_->m_nPollTimer != -1) doc_->OnViewTimer(doc_->m_nPollTimer);
}

void HeadlessPlatform::WaitStep(int sleepMs) {
    if (timeoutMs_ > 0 && WallMs() - wallStartMs_ >= timeoutMs_ && doc_ && !doc_->m_bScriptExit) {
        doc_->EndScriptOnFailure(FormatC("the run reached its --timeout of %lld s",
                                         static_cast<long long>(timeoutMs_ / 1000)));
        return;
    }
    const int64_t before = elapsedMs_;
    if (!inputEnded_) DeliverOneSecond();
    // Without audio flowing, time passes on the clock alone.
    if (elapsedMs_ == before) elapsedMs_ += sleepMs > 0 ? sleepMs : 0;
    if (realtime_) {
        const int64_t ahead = elapsedMs_ - (WallMs() - wallStartMs_);
        if (ahead > 0) std::this_thread::sleep_for(std::chrono::milliseconds(ahead));
    }
    // Waits on the clock alone go on for a day at most: in a run made to capture the input,
    // a script that long without audio only loops.
    if (elapsedMs_ - lastAudioMs_ > kDayMs && doc_ && !doc_->m_bScriptExit) {
        doc_->EndScriptOnFailure(inputEnded_ ? "a day has passed on the recording's clock since the input ended"
                                             : "a day has passed on the recording's clock without capture");
    }
}

std::string HeadlessPlatform::SettingsFilePath() { return privateDir_ + "/settings.reg"; }

std::string HeadlessPlatform::DefaultLogDirectory() { return privateDir_ + "/log/"; }

}  // namespace sorv
