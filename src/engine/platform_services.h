// Everything the core needs from the platform, named for what the core needs.
// The Qt shell implements it; the tests fake it. No toolkit type appears here.
#pragma once

#include <cstddef>
#include <cstdint>
#include <ctime>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace sorv {

// Multimedia result codes as the capture and playback code reports them (0 = success).
// 0..20 are the general codes with texts of their own; 32 and up are wave-specific.
enum MmResult : int {
    MM_NOERROR = 0,
    MM_ERROR = 1,
    MM_BADDEVICEID = 2,
    MM_NOTENABLED = 3,
    MM_ALLOCATED = 4,
    MM_INVALHANDLE = 5,
    MM_NODRIVER = 6,
    MM_NOMEM = 7,
    MM_NOTSUPPORTED = 8,
    MM_BADFORMAT = 32,  // wave-specific: format not supported
    MM_STILLPLAYING = 33,
    MM_UNPREPARED = 34,
};

// A one-second audio buffer handed to a device. The device sets kDone and bytesRecorded when
// it has filled (capture) or played (playback) the buffer.
struct WaveHeader {
    static constexpr uint32_t kDone = 1;
    static constexpr uint32_t kPrepared = 2;
    static constexpr uint32_t kQueued = 16;
    uint8_t* data = nullptr;
    uint32_t length = 0;
    uint32_t bytesRecorded = 0;
    uint32_t flags = 0;
};

// An open capture device: unsigned 8-bit mono at 48000 samples per second, always, whatever the
// hardware gives (the platform converts). Buffers are filled in the order they were queued.
class IWaveIn {
public:
    virtual ~IWaveIn() = default;
    virtual int Prepare(WaveHeader& hdr) = 0;
    virtual int AddBuffer(WaveHeader& hdr) = 0;
    virtual int Start() = 0;
    virtual int Reset() = 0;  // stops recording and marks every queued buffer done
    virtual int Unprepare(WaveHeader& hdr) = 0;
    virtual int Close() = 0;
};

// An open playback device in the same format.
class IWaveOut {
public:
    virtual ~IWaveOut() = default;
    virtual int Prepare(WaveHeader& hdr) = 0;
    virtual int Write(WaveHeader& hdr) = 0;  // queue for playing; kDone is set when played
    virtual int Reset() = 0;                 // drops queued audio, marks buffers done
    virtual int Unprepare(WaveHeader& hdr) = 0;
    virtual int Close() = 0;
};

// An open serial port (8N1, DTR and RTS on, no flow control).
class ISerialPort {
public:
    virtual ~ISerialPort() = default;
    // Writes all bytes, waiting at most timeoutMs. Returns false on failure or time-out.
    virtual bool Write(const uint8_t* bytes, size_t count, int timeoutMs) = 0;
    virtual void Flush() = 0;
    virtual void Close() = 0;
};

enum class SerialOpenResult {
    Ok,
    BadSettings,     // the port refuses the line settings (reported as "BuildCommDCB failed")
    OpenFailed,      // no such port, busy, no permission ("Error opening port")
    SetStateFailed,  // 8N1, flow control, DTR or RTS could not be applied ("Error setting comm state")
};

// Calendar time broken down, as struct tm holds it (year since 1900, month 0..11).
using CalendarTime = std::tm;

// File dialogs.
struct FileDialogSpec {
    std::string title;             // empty: the platform's default title
    std::string defaultSuffix;     // "svl", "txt"
    std::string initialName;       // proposed name or pattern ("*.svl")
    std::vector<std::string> filters;  // e.g. {"Spectrum files (*.svl)", "All files (*)"}
};

// Values exchanged with the parameter dialogs; each holds what the dialog shows and returns.
struct SpectrumDlgValues { int centreHz = 0; int bandwidthChoice = -1; };
struct PeriodDlgValues { double maxPeriod = 0; double minPeriod = 0; };
struct CarrierDlgValues { double carrierKHz = 0; int rxMode = -1; };
struct PerScaleDlgValues { int scaleChoice = -1; };
struct WpmDlgValues { int autoWpm = 0; int wpm = 0; };
struct AutoParmDlgValues { double toneMin = 0, toneMax = 0, periodMin = 0, periodMax = 0; };
struct GriDlgValues { double gri = 0; };

class IPlatformServices {
public:
    virtual ~IPlatformServices() = default;

    // Main window and views. The title comes once per spectrogram row, so this must not
    // allocate on the core's behalf: the text is only valid during the call.
    virtual void SetMainTitle(std::string_view title) = 0;
    virtual void UpdateAllViews() = 0;
    // Re-evaluates every menu and toolbar enable/check rule.
    virtual void RefreshCommandStates() = 0;
    virtual void SetWaitCursor(bool on) = 0;

    // Message boxes.
    virtual void ShowMessage(const std::string& text) = 0;  // OK button only
    virtual bool AskYesNo(const std::string& text) = 0;     // true for Yes

    // File and folder dialogs; false on Cancel.
    virtual bool OpenFileDialog(const FileDialogSpec& spec, std::string& path) = 0;
    virtual bool OpenFilesDialog(const FileDialogSpec& spec, std::vector<std::string>& paths) = 0;
    virtual bool SaveFileDialog(const FileDialogSpec& spec, std::string& path) = 0;
    virtual bool BrowseFolderDialog(const std::string& title, const std::string& initialDir,
                                    std::string& chosenDir) = 0;

    // Parameter dialogs: filled by the caller, changed only on OK (true).
    virtual bool RunSpectrumDialog(SpectrumDlgValues& v) = 0;
    virtual bool RunPeriodDialog(PeriodDlgValues& v) = 0;
    virtual bool RunCarrierDialog(CarrierDlgValues& v) = 0;
    virtual bool RunPeriodScaleDialog(PerScaleDlgValues& v) = 0;
    virtual bool RunWpmDialog(WpmDlgValues& v) = 0;
    virtual bool RunAutoParmDialog(AutoParmDlgValues& v) = 0;
    virtual bool RunGriDialog(GriDlgValues& v) = 0;

    // The view's periodic timers; returns the timer's identity (>= 0) or -1 on failure.
    // Ticks come back through CSorvantelDoc::OnViewTimer.
    virtual int CreateViewTimer(int id, int periodMs) = 0;
    virtual void KillViewTimer(int id) = 0;

    // Program and document start; never blocks, results are not examined.
    virtual void StartVolumeControl(int selectedCard) = 0;
    virtual void ShellOpen(const std::string& text) = 0;

    // Audio devices. Capture devices are listed in the order the platform knows them.
    virtual int CaptureDeviceCount() = 0;
    virtual int CaptureDeviceName(int device, std::string& name) = 0;  // 0 or an MmResult
    // device -1 is the system's default input.
    virtual int OpenCapture(int device, std::unique_ptr<IWaveIn>& out) = 0;
    virtual int OpenPlayback(std::unique_ptr<IWaveOut>& out) = 0;  // default output

    // Serial ports: device is a path such as "/dev/ttyS0" or "/dev/ttyUSB0".
    virtual SerialOpenResult OpenSerialPort(const std::string& device, int baud,
                                            std::unique_ptr<ISerialPort>& out) = 0;

    // Calendar clock, in whole seconds since 1970 UTC, and conversions.
    virtual int64_t NowUtc() = 0;
    virtual CalendarTime ToUtc(int64_t t) = 0;
    virtual CalendarTime ToLocal(int64_t t) = 0;
    // Local calendar fields to seconds, with the platform's daylight-saving rules; false if
    // the platform cannot convert. A time in a DST gap moves forward by the gap; a repeated
    // time takes its first occurrence.
    virtual bool LocalToUtc(const CalendarTime& local, int64_t& out) = 0;

    // One step of a script's wait: deliver pending events (but not a close request), run idle
    // processing, then sleep about sleepMs.
    virtual void WaitStep(int sleepMs) = 0;

    // Where things live.
    virtual std::string SettingsFilePath() = 0;
    virtual std::string DefaultLogDirectory() = 0;  // ends with '/'

    // Scripts run where no one can press Esc or Start (a command-line tool): a wait that
    // nothing can end any more then ends the script instead of waiting for ever. The window
    // answers false, since its user can still end or feed any wait.
    virtual bool ScriptsRunUnattended() { return false; }
    // True once the open capture device will deliver nothing more (its recording is used up).
    virtual bool CaptureInputUsedUp() { return false; }
};

}  // namespace sorv
