// A platform for tests: records what the core shows, answers dialogs from queues, offers a
// settable clock and scriptable capture, playback and serial devices. Header-only.
#pragma once

#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <deque>
#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/platform_services.h"

namespace sorv::test {

// A temporary directory removed with the object.
class TempDir {
public:
    TempDir() {
        std::string pattern = (std::filesystem::temp_directory_path() / "sorvantel-test-XXXXXX").string();
        if (char* p = mkdtemp(pattern.data())) path_ = p;
    }
    ~TempDir() {
        std::error_code ec;
        if (!path_.empty()) std::filesystem::remove_all(path_, ec);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::string& path() const { return path_; }
    std::string file(const std::string& name) const { return path_ + "/" + name; }

private:
    std::string path_;
};

// A capture device the test fills by hand: FillNext() completes the oldest queued buffer.
class FakeWaveIn : public IWaveIn {
public:
    struct Log {
        int prepares = 0, adds = 0, starts = 0, resets = 0, unprepares = 0, closes = 0;
        bool open = false;
    };
    explicit FakeWaveIn(Log& log) : log_(log) { log_.open = true; }
    ~FakeWaveIn() override { log_.open = false; }
    int failPrepare = 0, failAdd = 0, failStart = 0;

    int Prepare(WaveHeader& h) override {
        ++log_.prepares;
        if (failPrepare) return failPrepare;
        h.flags |= WaveHeader::kPrepared;
        return 0;
    }
    int AddBuffer(WaveHeader& h) override {
        ++log_.adds;
        if (failAdd) return failAdd;
        h.flags &= ~WaveHeader::kDone;
        h.flags |= WaveHeader::kQueued;
        queue_.push_back(&h);
        return 0;
    }
    int Start() override {
        ++log_.starts;
        return failStart;
    }
    int Reset() override {
        ++log_.resets;
        for (WaveHeader* h : queue_) {
            h->flags = (h->flags | WaveHeader::kDone) & ~WaveHeader::kQueued;
        }
        queue_.clear();
        return 0;
    }
    int Unprepare(WaveHeader& h) override {
        ++log_.unprepares;
        h.flags &= ~WaveHeader::kPrepared;
        return 0;
    }
    int Close() override {
        ++log_.closes;
        log_.open = false;
        return 0;
    }
    // Completes the oldest queued buffer with these bytes (at most its length).
    bool FillNext(const std::vector<uint8_t>& bytes) {
        if (queue_.empty()) return false;
        WaveHeader* h = queue_.front();
        queue_.pop_front();
        size_t n = std::min<size_t>(bytes.size(), h->length);
        std::copy(bytes.begin(), bytes.begin() + static_cast<long>(n), h->data);
        h->bytesRecorded = static_cast<uint32_t>(n);
        h->flags = (h->flags | WaveHeader::kDone) & ~WaveHeader::kQueued;
        return true;
    }
    size_t Queued() const { return queue_.size(); }

private:
    Log& log_;
    std::deque<WaveHeader*> queue_;
};

// A playback device that "plays" a buffer the moment PlayNext() is called.
class FakeWaveOut : public IWaveOut {
public:
    struct Log {
        int prepares = 0, writes = 0, resets = 0, unprepares = 0, closes = 0;
        bool open = false;
        std::vector<uint8_t> played;
    };
    explicit FakeWaveOut(Log& log) : log_(log) { log_.open = true; }
    ~FakeWaveOut() override { log_.open = false; }
    int failPrepare = 0, failWrite = 0;
    int Prepare(WaveHeader& h) override {
        ++log_.prepares;
        if (failPrepare) return failPrepare;
        h.flags |= WaveHeader::kPrepared;
        return 0;
    }
    int Write(WaveHeader& h) override {
        ++log_.writes;
        if (failWrite) return failWrite;
        h.flags &= ~WaveHeader::kDone;
        queue_.push_back(&h);
        return 0;
    }
    int Reset() override {
        ++log_.resets;
        for (WaveHeader* h : queue_) h->flags |= WaveHeader::kDone;
        queue_.clear();
        return 0;
    }
    int Unprepare(WaveHeader& h) override {
        ++log_.unprepares;
        h.flags &= ~WaveHeader::kPrepared;
        return 0;
    }
    int Close() override {
        ++log_.closes;
        log_.open = false;
        return 0;
    }
    bool PlayNext() {
        if (queue_.empty()) return false;
        WaveHeader* h = queue_.front();
        queue_.pop_front();
        log_.played.insert(log_.played.end(), h->data, h->data + h->length);
        h->flags |= WaveHeader::kDone;
        return true;
    }

private:
    Log& log_;
    std::deque<WaveHeader*> queue_;
};

class FakeSerialPort : public ISerialPort {
public:
    struct Log {
        std::string device;
        int baud = 0;
        std::vector<uint8_t> written;
        int flushes = 0, closes = 0;
    };
    explicit FakeSerialPort(Log& log) : log_(log) {}
    bool failWrite = false;
    bool Write(const uint8_t* bytes, size_t count, int) override {
        if (failWrite) return false;
        log_.written.insert(log_.written.end(), bytes, bytes + count);
        return true;
    }
    void Flush() override { ++log_.flushes; }
    void Close() override { ++log_.closes; }

private:
    Log& log_;
};

class FakePlatform : public IPlatformServices {
public:
    FakePlatform() {
        settingsPath = dir.file("config/settings.reg");
        logDirectory = dir.path() + "/log files/";
    }

    // ---- what the core did
    std::vector<std::string> titles;
    std::vector<std::string> messages;
    int redraws = 0;
    int refreshes = 0;
    std::vector<bool> waitCursor;
    std::vector<std::pair<int, int>> timersCreated;  // (id, period)
    std::vector<int> timersKilled;
    std::vector<int> volumeControls;
    std::vector<std::string> shellOpens;
    std::vector<FileDialogSpec> fileDialogs;
    std::string title() const { return titles.empty() ? std::string() : titles.back(); }
    // Where nothing may allocate, set recordTitles to false: titles are then only counted and
    // the last one kept in a fixed buffer.
    bool recordTitles = true;
    int titleCalls = 0;
    char lastTitle[192] = {};
    std::function<void()> onRedraw;  // runs inside each request to redraw

    // ---- answers (an empty optional is Cancel)
    std::deque<bool> yesNoAnswers;
    std::deque<std::optional<std::string>> openAnswers, saveAnswers, folderAnswers;
    std::deque<std::optional<std::vector<std::string>>> multiOpenAnswers;
    std::deque<std::optional<SpectrumDlgValues>> spectrumAnswers;
    std::deque<std::optional<PeriodDlgValues>> periodAnswers;
    std::deque<std::optional<CarrierDlgValues>> carrierAnswers;
    std::deque<std::optional<PerScaleDlgValues>> scaleAnswers;
    std::deque<std::optional<WpmDlgValues>> wpmAnswers;
    std::deque<std::optional<AutoParmDlgValues>> autoParmAnswers;
    std::deque<std::optional<GriDlgValues>> griAnswers;
    // What each parameter dialog was opened with, for checks of the filling.
    std::vector<SpectrumDlgValues> spectrumShown;
    std::vector<PeriodDlgValues> periodShown;
    std::vector<CarrierDlgValues> carrierShown;
    std::vector<PerScaleDlgValues> scaleShown;
    std::vector<WpmDlgValues> wpmShown;
    std::vector<AutoParmDlgValues> autoParmShown;
    std::vector<GriDlgValues> griShown;

    // ---- devices
    std::vector<std::string> captureDevices;  // names of devices 0..n-1
    std::map<int, int> captureNameErrors;     // device -> error from CaptureDeviceName
    int captureOpenError = 0;
    FakeWaveIn* lastWaveIn = nullptr;  // the device most recently opened (owned by the core)
    FakeWaveIn::Log waveInLog;
    std::vector<int> captureOpens;     // device ids requested
    std::function<void(FakeWaveIn&)> configureWaveIn;
    int playbackOpenError = 0;
    FakeWaveOut* lastWaveOut = nullptr;
    FakeWaveOut::Log waveOutLog;
    std::function<void(FakeWaveOut&)> configureWaveOut;
    SerialOpenResult serialOpenResult = SerialOpenResult::Ok;
    FakeSerialPort::Log serialLog;
    std::vector<std::string> serialOpens;
    std::function<void(FakeSerialPort&)> configureSerial;

    // ---- clock: UTC seconds, and the local offset (seconds east of UTC)
    int64_t now = 1700000000;  // 2023-11-14 22:13:20 UTC
    int64_t nowMs = 0;         // sub-second part advanced by waits
    long localOffset = 0;
    std::function<void()> onWaitStep;  // runs inside each script wait step
    std::function<void(const std::string&)> onMessage;  // runs inside each message box
    int waitSteps = 0;

    TempDir dir;
    std::string settingsPath;
    std::string logDirectory;

    // ---- IPlatformServices
    void SetMainTitle(std::string_view t) override {
        ++titleCalls;
        const size_t n = std::min(t.size(), sizeof lastTitle - 1);
        std::copy_n(t.data(), n, lastTitle);
        lastTitle[n] = '\0';
        if (recordTitles) titles.emplace_back(t);
    }
    void UpdateAllViews() override {
        ++redraws;
        if (onRedraw) onRedraw();
    }
    void RefreshCommandStates() override { ++refreshes; }
    void SetWaitCursor(bool on) override { waitCursor.push_back(on); }
    void ShowMessage(const std::string& text) override {
        messages.push_back(text);
        if (onMessage) onMessage(text);  // a message box runs a loop of its own: ticks can arrive
    }
    bool AskYesNo(const std::string& text) override {
        messages.push_back(text);
        if (yesNoAnswers.empty()) return false;
        bool a = yesNoAnswers.front();
        yesNoAnswers.pop_front();
        return a;
    }
    bool OpenFileDialog(const FileDialogSpec& spec, std::string& path) override {
        fileDialogs.push_back(spec);
        return Answer(openAnswers, path);
    }
    bool OpenFilesDialog(const FileDialogSpec& spec, std::vector<std::string>& paths) override {
        fileDialogs.push_back(spec);
        return Answer(multiOpenAnswers, paths);
    }
    bool SaveFileDialog(const FileDialogSpec& spec, std::string& path) override {
        fileDialogs.push_back(spec);
        return Answer(saveAnswers, path);
    }
    bool BrowseFolderDialog(const std::string&, const std::string&, std::string& chosen) override {
        return Answer(folderAnswers, chosen);
    }
    bool RunSpectrumDialog(SpectrumDlgValues& v) override { return Dialog(spectrumShown, spectrumAnswers, v); }
    bool RunPeriodDialog(PeriodDlgValues& v) override { return Dialog(periodShown, periodAnswers, v); }
    bool RunCarrierDialog(CarrierDlgValues& v) override { return Dialog(carrierShown, carrierAnswers, v); }
    bool RunPeriodScaleDialog(PerScaleDlgValues& v) override { return Dialog(scaleShown, scaleAnswers, v); }
    bool RunWpmDialog(WpmDlgValues& v) override { return Dialog(wpmShown, wpmAnswers, v); }
    bool RunAutoParmDialog(AutoParmDlgValues& v) override { return Dialog(autoParmShown, autoParmAnswers, v); }
    bool RunGriDialog(GriDlgValues& v) override { return Dialog(griShown, griAnswers, v); }
    int CreateViewTimer(int id, int periodMs) override {
        timersCreated.emplace_back(id, periodMs);
        return id;
    }
    void KillViewTimer(int id) override { timersKilled.push_back(id); }
    void StartVolumeControl(int card) override { volumeControls.push_back(card); }
    void ShellOpen(const std::string& text) override { shellOpens.push_back(text); }
    int CaptureDeviceCount() override { return static_cast<int>(captureDevices.size()); }
    int CaptureDeviceName(int device, std::string& name) override {
        if (auto it = captureNameErrors.find(device); it != captureNameErrors.end()) return it->second;
        if (device < 0 || device >= static_cast<int>(captureDevices.size())) return MM_BADDEVICEID;
        name = captureDevices[static_cast<size_t>(device)];
        return MM_NOERROR;
    }
    int OpenCapture(int device, std::unique_ptr<IWaveIn>& out) override {
        captureOpens.push_back(device);
        if (captureOpenError) return captureOpenError;
        auto dev = std::make_unique<FakeWaveIn>(waveInLog);
        if (configureWaveIn) configureWaveIn(*dev);
        lastWaveIn = dev.get();
        out = std::move(dev);
        return MM_NOERROR;
    }
    int OpenPlayback(std::unique_ptr<IWaveOut>& out) override {
        if (playbackOpenError) return playbackOpenError;
        auto dev = std::make_unique<FakeWaveOut>(waveOutLog);
        if (configureWaveOut) configureWaveOut(*dev);
        lastWaveOut = dev.get();
        out = std::move(dev);
        return MM_NOERROR;
    }
    SerialOpenResult OpenSerialPort(const std::string& device, int baud,
                                    std::unique_ptr<ISerialPort>& out) override {
        serialOpens.push_back(device);
        serialLog.device = device;
        serialLog.baud = baud;
        if (serialOpenResult != SerialOpenResult::Ok) return serialOpenResult;
        auto port = std::make_unique<FakeSerialPort>(serialLog);
        if (configureSerial) configureSerial(*port);
        out = std::move(port);
        return SerialOpenResult::Ok;
    }
    int64_t NowUtc() override { return now; }
    CalendarTime ToUtc(int64_t t) override {
        time_t tt = static_cast<time_t>(t);
        CalendarTime tm{};
        gmtime_r(&tt, &tm);
        return tm;
    }
    CalendarTime ToLocal(int64_t t) override { return ToUtc(t + localOffset); }
    bool LocalToUtc(const CalendarTime& local, int64_t& out) override {
        CalendarTime copy = local;
        time_t t = timegm(&copy);
        if (t == static_cast<time_t>(-1) && !(local.tm_year == 69 && local.tm_mon == 11 && local.tm_mday == 31))
            return false;
        out = static_cast<int64_t>(t) - localOffset;
        return true;
    }
    void WaitStep(int sleepMs) override {
        ++waitSteps;
        nowMs += sleepMs;
        now += nowMs / 1000;
        nowMs %= 1000;
        if (onWaitStep) onWaitStep();
    }
    std::string SettingsFilePath() override { return settingsPath; }
    std::string DefaultLogDirectory() override { return logDirectory; }
    bool ScriptsRunUnattended() override { return unattended; }
    bool CaptureInputUsedUp() override { return captureUsedUp; }

    // ---- scripts without a user (a command-line tool)
    bool unattended = false;
    bool captureUsedUp = false;

private:
    template <typename T>
    static bool Answer(std::deque<std::optional<T>>& q, T& out) {
        if (q.empty()) return false;
        auto a = q.front();
        q.pop_front();
        if (!a) return false;
        out = *a;
        return true;
    }
    template <typename T>
    static bool Dialog(std::vector<T>& shown, std::deque<std::optional<T>>& q, T& v) {
        shown.push_back(v);
        return Answer(q, v);
    }
};

}  // namespace sorv::test
