// The one document: every store, parameter and activity flag of the program.
// Its member functions live with the subsystem that owns them (engine/, audio/, analysis/,
// automation/); this header is the single list of the state they share.
#pragma once

#include <array>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/platform_services.h"

namespace sorv {

constexpr int kSampleRate = 48000;
constexpr int kLines = 128;
constexpr int kMaxRows = 65536;
constexpr int kRawRingSize = 1024;
constexpr int kLoranSlots = 256;
constexpr int kLoranSlotLength = 16384;
constexpr int kTrials = 512;
constexpr int kPhaseBins = 512;
constexpr int kCaptureBuffers = 4;
constexpr int kBufferBytes = 48000;

constexpr int kPollTimerId = 1;
constexpr int kRedrawTimerId = 2;

// Capture device state: the open device, four buffer headers, the buffers and the index of
// the buffer awaited next.
struct CaptureState {
    std::unique_ptr<IWaveIn> device;
    std::array<std::unique_ptr<WaveHeader>, kCaptureBuffers> headers;  // null while closed
    std::array<std::vector<uint8_t>, kCaptureBuffers> buffers;
    std::vector<uint8_t> work;
    int index = 0;
};

// Playback device state: the open device, two headers (null while stopped), two buffers.
struct PlaybackState {
    std::unique_ptr<IWaveOut> device;
    std::array<std::unique_ptr<WaveHeader>, 2> headers;
    std::array<std::vector<uint8_t>, 2> buffers;
    double toneHz = 0.0;  // tone of the last valid designated line, kept while none is designated
};

struct SensitiveDetection;  // analysis/sensitive_search.h
class DetectorCopy;         // analysis/detector_copy.h
class OscillatorRun;        // engine/oscillator_run.h

// What the sensitive detector knows of an identification beyond the road's fields: valid
// only while the road of its detection runs (and read by whoever watches the redraws).
struct DetectionReport {
    bool valid = false;
    double score = 0.0;        // the reading's fit, in noise deviations
    double keyingScore = 0.0;  // the period's keying score, in noise units
    double toneHz = 0.0;       // measured between lines
    double dotSeconds = 0.0;
    double firstSeconds = 0.0, lastSeconds = 0.0, strongestSeconds = 0.0;  // in the rows searched
};

class CSorvantelDoc {
public:
    explicit CSorvantelDoc(IPlatformServices& platform);
    ~CSorvantelDoc();
    CSorvantelDoc(const CSorvantelDoc&) = delete;
    CSorvantelDoc& operator=(const CSorvantelDoc&) = delete;

    IPlatformServices& Platform() { return m_platform; }

    // ---------------------------------------------------------------- engine/
    // Settings (settings.cpp)
    void LoadSettings();
    void SaveSettings();

    // FFT (fft.cpp): builds the twiddle tables, and the in-place 128-point transform on
    // m_fftA/m_fftB (1-based).
    void BuildFftTables();
    void Fft(int m, int n, int d, int normalise);

    // Spectrogram producer (spectrogram_producer.cpp): one unsigned 8-bit sample, or a run of
    // them. ProduceSamples stops early only when processing has ended (the row limit's Stop)
    // and returns how many samples it took; it does not look at m_bProcessing before the first.
    void ProcessSample(uint8_t b);
    size_t ProduceSamples(const uint8_t* samples, size_t count);

    // Loran-C (loran.cpp)
    void LoranAccumulate(int x);
    void LoranSlotClock();
    void LoranReset();
    // Refuses (with a message) a GRI whose length does not fit a slot; true when accepted.
    bool SetGri(double gri);

    // Processing control (processing_control.cpp)
    void OnStart();
    // What Start resets before it opens capture: designations, oscillator, ring, stores.
    void ResetForStart();
    void OnStop();
    void OnPurge();
    void OnRecord();
    void OnLoranMode();
    void OnViewSignal();
    void OnViewSpectrum();
    bool CanStart() const { return m_bProcessing == 0; }
    bool CanStop() const { return m_bProcessing != 0; }
    bool HasRows() const { return m_nRows > 0; }
    bool IsRecordChecked() const { return m_bProcessing == 1 && m_bRecording == 1; }
    bool IsLoranChecked() const { return m_bLoran != 0; }
    // Recordings (recording_input.cpp): the engine fed from an audio file instead of a device.
    // StartRecordingInput resets the engine as Start does and sets processing, without a
    // capture device; ProcessAudioBlock is the capture handler's step for one buffer of
    // unsigned 8-bit 48 kHz samples (clipping flag cleared, then every byte through the
    // producer until processing stops) and returns how many bytes it took: fewer than count
    // when the store filled. OnStop ends the input as it ends capture.
    void StartRecordingInput();
    size_t ProcessAudioBlock(const uint8_t* samples, size_t count);
    // The 250 ms and 4000 ms view timers: created once, on the first Start or Load.
    void EnsureViewTimers();
    void OnViewTimer(int timerId);

    // Shared derived quantities. The band's edges are any integers, so their difference is
    // taken in 64 bits.
    int64_t BandWidth() const { return static_cast<int64_t>(m_nBandHigh) - m_nBandLow; }
    int Decimation() const;                 // mixed samples per ring slot, at least 1
    double MixerIncrement() const;          // the oscillator's phase per sample, to the band's centre
    double RowRate() const;                 // rows per second
    double LineFrequency(int line) const;   // audio Hz of a line, real division
    bool LineIsValid() const { return m_nLine >= 0 && m_nLine <= 127 && m_nRows >= 1; }
    // The row-count title of the producer, also used after loads.
    void SetTitle(std::string_view text) { m_platform.SetMainTitle(text); }
    void UpdateAllViews() { m_platform.UpdateAllViews(); }

    // ---------------------------------------------------------------- audio/
    // Capture (capture.cpp)
    void OpenCapture();
    void CloseCapture();
    void CaptureBufferHandler();
    void ReportMmError(const char* step, int code);
    static const char* MmErrorText(int code);
    void OnCard(int card);  // 0..3
    bool IsCardEnabled(int card) const;
    bool IsCardChecked(int card) const;
    void OnMixer();

    // WAV recording (wav_recording.cpp)
    void StartRecording();
    void AppendRecording(const uint8_t* bytes, uint32_t n);
    void FinaliseRecording();

    // Playback (playback.cpp)
    void OnPlayback();
    bool IsPlaybackEnabled() const;
    bool IsPlaybackChecked() const;
    void StartPlayback();
    void StopPlayback();
    void PlaybackRefill();

    // ---------------------------------------------------------------- analysis/
    // Parameters (parameters.cpp)
    void OnSpectralRange();
    void OnPeriodRange();
    void OnPeriodScale();
    void OnNominalCarrier();
    void OnIdentWpm();
    void OnGri();
    bool CanLoranMode() const { return m_bProcessing == 0; }
    // Radio frequency of an audio frequency, for the log entry (mode 1 lower, else upper).
    double RadioFrequencyKHz(double audioHz) const;

    // Spectral density, period search, integration, decoding.
    void OnSpectralDensity();
    bool CanSpectralDensity() const { return m_nRows > 0; }
    bool IsSpectralDensityChecked() const { return m_nRows > 0 && m_nViewMode == 2; }
    void OnPeriodSearch();
    bool CanPeriodSearch() const { return m_nLine != -1 && m_nRows >= 1; }
    void OnNextSpec();
    void OnPrevSpec();
    // The integration window Tp +- 0.5 s of the designated bin, when it is one of the bins
    // 1 .. M-1 that the Periodicity graph shows; true when written.
    bool WriteDesignatedPeriodWindow();
    bool CanNextSpec() const { return m_nLine != -1 && m_nLine < 127; }
    bool CanPrevSpec() const { return m_nLine > 0; }
    void OnIntegrate();
    bool CanIntegrate() const { return m_nLine != -1 && m_nPeriodBin != -1 && m_nRows >= 1; }
    // Both set the period range and then integrate. SetRangeFromBin also designates bin k and
    // does nothing for a bin outside 1 .. m_nPeriodBins - 1.
    void SetRangeFromBin(int k);       // Enter / double click in the periodicity graph
    void NarrowRangeAround(double p);  // double click in the integral graph
    void OnIdent();
    bool CanIdent() const { return m_nViewMode == 4; }
    static std::string MorseChar(unsigned m, int e);

    // Searches (auto_search.cpp)
    void OnAutoSetup();
    void OnAutoSearch();
    void OnSemiAutoFwd();
    void OnSemiAutoBack();
    void SemiAutoSearch(int step);
    // The sensitive detector (sensitive_auto_search.cpp), chosen by m_bSensitiveDetection:
    // OnAutoSearch runs SensitiveAutoSearch instead of the designed refinement.
    void OnSensitiveDetection();
    bool IsSensitiveDetectionChecked() const { return m_bSensitiveDetection != 0; }
    void SensitiveAutoSearch();
    // The road of one accepted ident: designate the line, set the range around the period,
    // integrate, take the detector's reading (and, with automatic speed, its speed) as the
    // ident, and log it. m_detectionReport describes the detection while the road runs.
    void IdentifyDetection(const SensitiveDetection& detection);
    // Reads the integration's middle trial as the sensitive detector reads a fold.
    void ReadSensitiveIdent();
    // The sensitive detector's own copy of the audio fed (detector_copy.cpp): made at Start
    // when the sensitive detection is chosen, fed with the samples the producer took, emptied
    // by Purge; CurrentDetectorCopy is null unless it matches the store row for row.
    void ResetDetectorCopy();
    void FeedDetectorCopy(const uint8_t* samples, size_t count);
    void PurgeDetectorCopy();
    void DropDetectorCopy() { m_pDetectorCopy.reset(); }
    const DetectorCopy* CurrentDetectorCopy() const;

    // ---------------------------------------------------------------- automation/
    // Spectrum data file (spectrum_file.cpp)
    void OnSave();
    void OnLoad();

    // Ident log (ident_log.cpp)
    void OnLogIdents();
    void OnLogDirectory();
    void WriteLogEntry();
    // When an entry is logged: the stored rows' own time when they come from a recording whose
    // start is known (m_tRowsStart), otherwise now. Its UTC day names the daily log file.
    int64_t LogTimeUtc();
    // The entry's stamp: the rows' time, else the stamp of a loaded file's name, else now, as
    // "%Y%m%d %H%M " in UTC.
    std::string LogTimeStamp();
    bool IsLogChecked() const { return m_bLogCheck != 0; }

    // Script interpreter (script.cpp) and batch search (batch_search.cpp)
    void OnScript();
    bool CanScript() const { return m_bProcessing == 0 && !m_bScriptRunning; }
    // A failure of the running script, kept in m_scriptFailures with the line it happened on.
    // EndScriptOnFailure also ends the script before its next line, as Esc would.
    void NoteScriptFailure(const std::string& reason);
    void EndScriptOnFailure(const std::string& reason);
    void OnBatchAutoSearch();

    // ================================================================ state
    // Processing state and counters.
    int m_bProcessing = 0;
    int m_nRows = 0;
    int m_bClipping = 0;
    int m_nRawPos = 0;
    int m_rawRing[kRawRingSize] = {};

    // Mixing and decimation.
    double m_dPhase = 0.0;
    int m_nDecimCount = 0;
    int m_nRingPos = 0;
    double m_ringI[kLines] = {};
    double m_ringQ[kLines] = {};
    // Set while the band survey's channels take turns on this document: the oscillator's values
    // for the audio being fed, shared by all of them, and how far into it the step has come.
    // Not owned. The step mixes by them only where their phases are its own.
    const OscillatorRun* m_pSharedOscillator = nullptr;
    size_t m_nSharedOscillatorAt = 0;

    // Spectrogram store: [row][line], allocated once.
    std::unique_ptr<double[][kLines]> m_power;
    std::unique_ptr<int[][kLines]> m_level;

    // FFT work area, 1-based.
    double m_twCos[129] = {};
    double m_twSin[129] = {};
    double m_fftA[129] = {};
    double m_fftB[129] = {};

    // Band and receiver.
    int m_nBandLow = 0;
    int m_nBandHigh = 2000;
    int m_nRowsPerFrame = 2;
    double m_dCarrierKHz = 0.0;
    int m_nRxMode = -1;

    // Capture selection and timers.
    std::string m_strCardName[4];
    int m_nCardDevice[4] = {-1, -1, -1, -1};
    int m_nSoundcard = 0;
    int m_nPollTimer = -1;
    int m_nRedrawTimer = -1;
    int m_bInBufferHandler = 0;

    // Analysis parameters.
    double m_dPeriodMax = 10.0;
    double m_dPeriodMin = 9.0;
    int m_nWpm = 6;
    int m_bAutoWpm = 1;
    double m_dAutoToneMin = 900.0;
    double m_dAutoToneMax = 1100.0;
    double m_dAutoPeriodMin = 6.0;
    double m_dAutoPeriodMax = 15.0;

    // Analysis results.
    double m_specDensity[kLines] = {};
    int m_nLine = -1;
    int m_nPeriodBin = -1;
    std::vector<double> m_pPeriodSpectrum;  // empty until the first period search
    int m_nPeriodBins = 0;
    int m_bLineSearched[kLines] = {};
    int m_nPeriodScale = 32;
    int m_bAutoSearching = 0;
    int m_bSensitiveDetection = 0;  // settings value "SensitiveDetection"
    DetectionReport m_detectionReport;
    std::unique_ptr<DetectorCopy, void (*)(DetectorCopy*)> m_pDetectorCopy{nullptr, nullptr};
    std::string m_strIdent;
    int m_nViewMode = 0;
    int m_bScriptExit = 0;

    // Integration image: [trial][phase bin].
    std::unique_ptr<double[][kPhaseBins]> m_integral;
    int m_nTrialRows[kTrials] = {};

    // The main window's place and size (settings values after the original ones); while
    // m_bWindowStored is 0 (a first start) the window opens at its default size.
    int m_bWindowStored = 0;
    int m_nWindowLeft = 0;
    int m_nWindowTop = 0;
    int m_nWindowWidth = 0;
    int m_nWindowHeight = 0;
    int m_bWindowMaximized = 0;

    // Files and logging.
    int m_bLogCheck = 1;
    std::string m_strLogDirectory;
    std::string m_strTimeStamp;
    // UTC seconds of the first stored row when the rows were made from a recording whose start
    // is known (its chunks, its name or its file time); empty otherwise. Start and Load clear it.
    std::optional<int64_t> m_tRowsStart;

    // Recording and playback.
    int m_bRecording = 0;
    std::FILE* m_fileWav = nullptr;
    std::string m_strWavPath;
    uint64_t m_nWavDataBytes = 0;
    int m_bPlaying = 0;
    int m_bInPlaybackRefill = 0;  // keeps the refill from running inside its own message box
    int m_nPlayLen = 0;
    double m_playEnvelope[512] = {};
    double m_dPlayPhase = 0.0;
    double m_dPlayPos = 0.0;

    // Loran-C.
    int m_bLoran = 0;
    double m_dGri = 6731.0;
    std::unique_ptr<double[][kLoranSlotLength]> m_loranRing;
    double m_dLoranLength = 3230.88;
    double m_dLoranPos = 0.0;
    int m_nLoranSlot = 0;
    int64_t m_tLoranSlotStart = 0;

    // Script.
    int m_bScriptRunning = 0;
    std::unique_ptr<ISerialPort> m_hComPort;
    int m_nScriptLine = 0;          // number of the line being carried out, 1 the first
    std::string m_strScriptLine;    // its text
    // What went wrong in the last script run, each as `line N "text": reason`: the error that
    // ended it and the failures on the way (a "save" that wrote nothing). Empty after a clean run.
    std::vector<std::string> m_scriptFailures;

    // Devices.
    CaptureState m_capture;
    PlaybackState m_playback;

private:
    IPlatformServices& m_platform;
};

}  // namespace sorv
