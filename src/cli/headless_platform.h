// The platform for sorvantel-cli: no window, no sound card, no settings file of the user's.
// Titles and redraws go to observers (progress, identifications), messages to stderr, file
// dialogs are answered from queues the command fills, and capture comes from an audio file.
// The clock is the real one for analysis and the recording's own clock for scripts.
#pragma once

#include <deque>
#include <functional>
#include <memory>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "engine/platform_services.h"

namespace sorv {

class CSorvantelDoc;
class AudioFileReader;

class HeadlessPlatform : public IPlatformServices {
public:
    // messages: where message boxes are written (stderr).
    explicit HeadlessPlatform(std::ostream& messages);
    ~HeadlessPlatform() override;  // removes the private settings folder
    HeadlessPlatform(const HeadlessPlatform&) = delete;
    HeadlessPlatform& operator=(const HeadlessPlatform&) = delete;

    // The document the capture ticks and observers work on; set once it exists.
    void Attach(CSorvantelDoc* doc) { doc_ = doc; }

    // ---- what commands set up
    std::deque<std::string> openAnswers, saveAnswers;
    std::deque<std::vector<std::string>> multiOpenAnswers;
    bool answerYes = true;
    std::function<void(std::string_view)> onTitle;
    std::function<void()> onViewsUpdated;
    std::string messagePrefix = "sorvantel-cli: ";
    std::vector<std::string> messages;  // every message shown, in order

    // Capture from a recording (for scripts): "start" opens it, each wait step delivers one
    // second of it and moves the clock on by that second; --realtime paces it by the wall
    // clock. Without audio flowing, waits pass on the clock alone. The script is ended, as a
    // failure naming its line, when it starts capture again after the input has ended, or when
    // a day of the clock has passed with no audio delivered.
    void SetCaptureInput(AudioFileReader* input, bool realtime);
    // Bounds the whole run by the wall clock: the script ends, as a failure, at the first wait
    // step after timeoutMs. 0 is no bound.
    void SetRunTimeout(int64_t timeoutMs) { timeoutMs_ = timeoutMs; }
    // The wall clock in milliseconds (a steady clock unless a test sets its own).
    std::function<int64_t()> wallClockMs;
    bool CaptureInputEnded() const { return inputEnded_; }
    double CaptureSecondsDelivered() const { return static_cast<double>(samplesDelivered_) / 48000.0; }
    // Where in the input the capture now running (or last run) began, in seconds.
    double CaptureStartSeconds() const { return captureStartSeconds_; }

    // ---- IPlatformServices
    void SetMainTitle(std::string_view title) override;
    void UpdateAllViews() override;
    void RefreshCommandStates() override {}
    void SetWaitCursor(bool) override {}
    void ShowMessage(const std::string& text) override;
    bool AskYesNo(const std::string& text) override;
    bool OpenFileDialog(const FileDialogSpec& spec, std::string& path) override;
    bool OpenFilesDialog(const FileDialogSpec& spec, std::vector<std::string>& paths) override;
    bool SaveFileDialog(const FileDialogSpec& spec, std::string& path) override;
    bool BrowseFolderDialog(const std::string&, const std::string&, std::string&) override { return false; }
    bool RunSpectrumDialog(SpectrumDlgValues&) override { return false; }
    bool RunPeriodDialog(PeriodDlgValues&) override { return false; }
    bool RunCarrierDialog(CarrierDlgValues&) override { return false; }
    bool RunPeriodScaleDialog(PerScaleDlgValues&) override { return false; }
    bool RunWpmDialog(WpmDlgValues&) override { return false; }
    bool RunAutoParmDialog(AutoParmDlgValues&) override { return false; }
    bool RunGriDialog(GriDlgValues&) override { return false; }
    int CreateViewTimer(int id, int) override { return id; }
    void KillViewTimer(int) override {}
    void StartVolumeControl(int) override {}
    void ShellOpen(const std::string& text) override;
    int CaptureDeviceCount() override { return 0; }
    int CaptureDeviceName(int, std::string&) override { return MM_BADDEVICEID; }
    int OpenCapture(int device, std::unique_ptr<IWaveIn>& out) override;
    int OpenPlayback(std::unique_ptr<IWaveOut>&) override { return MM_NODRIVER; }
    SerialOpenResult OpenSerialPort(const std::string& device, int baud, std::unique_ptr<ISerialPort>& out) override;
    int64_t NowUtc() override;
    CalendarTime ToUtc(int64_t t) override;
    CalendarTime ToLocal(int64_t t) override;
    bool LocalToUtc(const CalendarTime& local, int64_t& out) override;
    void WaitStep(int sleepMs) override;
    std::string SettingsFilePath() override;
    std::string DefaultLogDirectory() override;
    bool ScriptsRunUnattended() override { return true; }
    bool CaptureInputUsedUp() override { return inputEnded_; }

private:
    class FileWaveIn;
    void DeliverOneSecond();
    int64_t WallMs() const;

    std::ostream& messageStream_;
    CSorvantelDoc* doc_ = nullptr;
    std::string privateDir_;
    // Clock: for analysis the real time, read again at each redraw (so that a log entry and the
    // line printed for it agree on their minute); for scripts the recording's clock.
    int64_t clockStartUtc_ = 0;
    int64_t cachedNow_ = 0;
    bool recordingClock_ = false;
    int64_t elapsedMs_ = 0;
    int64_t wallStartMs_ = 0;
    bool realtime_ = false;
    AudioFileReader* input_ = nullptr;
    FileWaveIn* waveIn_ = nullptr;  // owned by the document's capture state while open
    bool inputEnded_ = false;
    int64_t lastAudioMs_ = 0;  // the clock when audio was last delivered (or the run began)
    int64_t timeoutMs_ = 0;
    uint64_t samplesDelivered_ = 0;
    double captureStartSeconds_ = 0.0;
};

}  // namespace sorv
