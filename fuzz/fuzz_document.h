// What every harness shares: one document on the test platform, built once per process (the
// stores take 136 MB and a minute of zeroing would dwarf every input), and put back to the
// state of a fresh document before each input, so that one input cannot steer the next.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "engine/sorvantel_doc.h"
#include "support/fake_platform.h"

namespace sorv::fuzz {

// A finding: the harness found the product breaking a promise. Aborting makes libFuzzer save
// the input and stop, as for a crash.
#define FUZZ_CHECK(condition, what)                                                        \
    do {                                                                                   \
        if (!(condition)) {                                                                \
            std::fprintf(stderr, "FUZZ CHECK FAILED: %s (%s:%d)\n", what, __FILE__, __LINE__); \
            std::abort();                                                                  \
        }                                                                                  \
    } while (0)

// The test platform, with a wait that the user ends: a script that would wait for hours, for
// rows that never come, or repeat for ever gets its Esc after a fixed number of steps. While
// processing runs, every step delivers a tenth of a second of quiet noise through the capture
// device (a short buffer, as a device stopped early gives one): a few rows a step, so that
// "wait samples" is reached while the inputs stay quick.
class FuzzPlatform : public test::FakePlatform {
public:
    CSorvantelDoc* doc = nullptr;
    int waitBudget = 20;

    void Restart() {
        titles.clear();
        messages.clear();
        shellOpens.clear();
        fileDialogs.clear();
        serialOpens.clear();
        serialLog = {};
        captureOpens.clear();
        waveInLog = {};
        openAnswers.clear();
        saveAnswers.clear();
        folderAnswers.clear();
        yesNoAnswers.clear();
        spectrumAnswers.clear();
        periodAnswers.clear();
        carrierAnswers.clear();
        spectrumShown.clear();
        periodShown.clear();
        carrierShown.clear();
        serialOpenResult = SerialOpenResult::Ok;
        now = 1700000000;
        nowMs = 0;
        waitSteps = 0;
        redraws = 0;
        refreshes = 0;
        waitCursor.clear();
    }

    void WaitStep(int sleepMs) override {
        test::FakePlatform::WaitStep(sleepMs);
        if (!doc) return;
        if (waitSteps >= waitBudget) {
            doc->m_bScriptExit = 1;  // the user's Esc
            return;
        }
        if (doc->m_bProcessing && lastWaveIn && lastWaveIn->FillNext(Noise())) doc->OnViewTimer(doc->m_nPollTimer);
    }

private:
    const std::vector<uint8_t>& Noise() {
        static const std::vector<uint8_t> noise = [] {
            std::vector<uint8_t> v(kBufferBytes / 10);
            uint32_t x = 12345;
            for (auto& b : v) {
                x = x * 1664525u + 1013904223u;
                b = static_cast<uint8_t>(118 + (x >> 28) + ((x >> 20) & 3));
            }
            return v;
        }();
        return noise;
    }
};

// The one document of the process and its platform.
struct FuzzDocument {
    FuzzPlatform platform;
    CSorvantelDoc* doc = nullptr;
    int rowsHighWater = 0;  // rows that may hold data from an earlier input

    FuzzDocument() {
        doc = new CSorvantelDoc(platform);  // lives for the whole process
        platform.doc = doc;
    }
    ~FuzzDocument() {
        platform.doc = nullptr;
        delete doc;
    }
    FuzzDocument(const FuzzDocument&) = delete;
    FuzzDocument& operator=(const FuzzDocument&) = delete;

    // Back to the state of a freshly constructed document (without the settings file).
    CSorvantelDoc& Fresh() {
        CSorvantelDoc& d = *doc;
        if (d.m_bPlaying) d.StopPlayback();
        if (d.m_bRecording) d.FinaliseRecording();
        if (d.m_bProcessing) d.OnStop();
        d.m_bProcessing = 0;
        rowsHighWater = std::max(rowsHighWater, std::min(d.m_nRows, kMaxRows));
        std::fill_n(&d.m_power[0][0], static_cast<size_t>(rowsHighWater) * kLines, 0.0);
        std::fill_n(&d.m_level[0][0], static_cast<size_t>(rowsHighWater) * kLines, 0);
        rowsHighWater = 0;
        d.m_nRows = 0;
        d.m_bClipping = 0;
        d.m_nRawPos = 0;
        std::fill(std::begin(d.m_rawRing), std::end(d.m_rawRing), 0);
        d.m_dPhase = 0.0;
        d.m_nDecimCount = 0;
        d.m_nRingPos = 0;
        std::fill(std::begin(d.m_ringI), std::end(d.m_ringI), 0.0);
        std::fill(std::begin(d.m_ringQ), std::end(d.m_ringQ), 0.0);
        d.m_nBandLow = 0;
        d.m_nBandHigh = 2000;
        d.m_nRowsPerFrame = 2;
        d.m_dCarrierKHz = 0.0;
        d.m_nRxMode = -1;
        d.m_nSoundcard = 0;
        d.m_bInBufferHandler = 0;
        d.m_dPeriodMax = 10.0;
        d.m_dPeriodMin = 9.0;
        d.m_nWpm = 6;
        d.m_bAutoWpm = 1;
        d.m_dAutoToneMin = 900.0;
        d.m_dAutoToneMax = 1100.0;
        d.m_dAutoPeriodMin = 6.0;
        d.m_dAutoPeriodMax = 15.0;
        std::fill(std::begin(d.m_specDensity), std::end(d.m_specDensity), 0.0);
        d.m_nLine = -1;
        d.m_nPeriodBin = -1;
        d.m_pPeriodSpectrum.clear();
        d.m_nPeriodBins = 0;
        std::fill(std::begin(d.m_bLineSearched), std::end(d.m_bLineSearched), 0);
        d.m_nPeriodScale = 32;
        d.m_bAutoSearching = 0;
        d.m_strIdent.clear();
        d.m_nViewMode = 0;
        d.m_bScriptExit = 0;
        std::fill_n(&d.m_integral[0][0], static_cast<size_t>(kTrials) * kPhaseBins, 0.0);
        std::fill(std::begin(d.m_nTrialRows), std::end(d.m_nTrialRows), 0);
        d.m_bLogCheck = 1;
        d.m_strLogDirectory = platform.logDirectory;
        d.m_strTimeStamp.clear();
        d.m_tRowsStart.reset();
        d.m_bLoran = 0;
        d.m_dGri = 6731.0;
        d.m_dLoranLength = 3230.88;
        d.m_dLoranPos = 0.0;
        d.m_nLoranSlot = 0;
        d.m_tLoranSlotStart = 0;
        d.m_bScriptRunning = 0;
        d.m_hComPort.reset();
        platform.Restart();
        // Whatever the last input wrote goes, so that files never pile up between inputs.
        std::error_code ec;
        std::filesystem::remove_all(platform.logDirectory, ec);
        return d;
    }

    // Rows the input may have filled, to be cleared before the next one.
    void NoteRows() { rowsHighWater = std::max(rowsHighWater, std::min(doc->m_nRows, kMaxRows)); }
};

// Destroyed at exit, so that the test platform's folder goes with it.
inline FuzzDocument& TheDocument() {
    static FuzzDocument instance;
    return instance;
}

inline void WriteBytes(const std::string& path, const uint8_t* data, size_t size) {
    std::ofstream(path, std::ios::binary | std::ios::trunc).write(reinterpret_cast<const char*>(data),
                                                                   static_cast<std::streamsize>(size));
}

}  // namespace sorv::fuzz
