// The sensitive detector over a whole recording, however long: it takes the audio block by
// block (or, where there is no audio, the stored spectrogram's rows), keeps only its own copy
// of the lines it searches (floats, about 31 rows a second; 8 hours at the default band are
// about 220 MB), and at the end searches the whole at once, so that a longer recording reads
// weaker idents. Each beacon is reported once, with the part of the recording in which it was
// heard.
//
// It owns all its state (no globals, no Qt): several may run at once, on different threads,
// one per receiver channel for instance. One instance is used by one thread at a time.
//
//   BeaconDetectorSettings settings;          // the band, tone and period range, speed
//   settings.band = {0, 2000, 2, 900.0, 1100.0};
//   BeaconDetector detector(settings);
//   while (more audio)
//       detector.AddAudio(samples, count);    // unsigned 8-bit, 48000 per second
//   for (const SensitiveDetection& d : detector.Finish())
//       ... d.ident, d.toneHz, d.period, d.score, d.firstSeconds ...
//
// Rows instead of audio: AddStoredRow() for each row (128 lines, as the producer stores them);
// the detector then reads the stored lines themselves (with their leakage, see
// detector_front_end.h). A detector takes one kind or the other, never both.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "analysis/detector_front_end.h"
#include "analysis/detector_rows.h"
#include "analysis/sensitive_search.h"

namespace sorv {

struct BeaconDetectorSettings {
    FrontEndSettings band;
    double periodMin = 6.0;   // seconds
    double periodMax = 15.0;
    int manualWpm = 0;        // 0: automatic speed
    int threads = 1;          // for the final search
    // The longest period reported: one the integration image can show whole (511 rows).
    bool integrationLimit = true;
    std::function<void(const CandidateRecord&)> observer;  // each candidate, for calibration
    bool readEverything = false;                            // ... read whatever its bound
};

class BeaconDetector {
public:
    explicit BeaconDetector(const BeaconDetectorSettings& settings);

    // False when the settings give no line to search (a band without the tone range).
    bool Usable() const { return usable_; }

    void AddAudio(const uint8_t* samples, size_t count);
    void AddStoredRow(const double* power);  // 128 lines

    // The rows made so far, and the seconds of audio they span.
    int Rows() const { return rows_.Rows(); }
    double Seconds() const;
    size_t BytesHeld() const { return rows_.BytesHeld(); }
    const DetectorRows& DetectorCopy() const { return rows_; }

    // Searches everything added. Call once; nothing may be added afterwards.
    std::vector<SensitiveDetection> Finish();

private:
    BeaconDetectorSettings settings_;
    DetectorFrontEnd front_;
    DetectorRows rows_;
    std::vector<int> storedLine_;
    bool usable_ = false;
    bool audio_ = false;
    bool stored_ = false;
    bool finished_ = false;
    SensitiveSearchInput storedInput_;  // the stored lines' layout
    std::vector<float> rowWork_;
    std::vector<double> floorWork_;
};

}  // namespace sorv
