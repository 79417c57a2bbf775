// The sensitive detector's own rows, made from the audio beside the spectrogram producer.
//
// The stored rows come from a 128-point transform without a window, so a strong carrier leaks
// far into the lines around it: a steady carrier 30 dB above the noise 30 to 100 Hz away puts a
// leak 25 to 40 dB above a line's noise into an ident's line, and the product of that leak with
// the noise multiplies the noise of the line's power many times over. No scaling of the stored
// powers can undo that. This front end makes rows of its own from the same audio: it mixes the
// search's tone range down to zero, decimates it with filters that keep what lies outside
// away, and transforms 160 ms at a time under a Kaiser window (leakage below -74 dB from 25 Hz
// on, a noise bandwidth of 11 Hz) into lines 3.9 Hz apart. A tone is then never more than 2 Hz
// from a line's centre, wherever it lies between the stored lines.
//
// The rows follow the producer's cadence exactly: row j is centred on the middle of the frame
// of stored row j (the frame that ends after (j + 1) x D x S samples, for a decimation D and S
// slots a row), so that periods and phases mean the same in both. Each row also carries its
// noise floor: the median power across the whole passband, leaving out the bins a strong
// signal fills, which follows impulsive static and a receiver's gain control row by row.
// Clicks are blanked in the audio first (impulse_blanker.h), and mains hum near the searched
// tones is taken out of the decimated audio (hum_canceller.h).
//
//   DetectorFrontEnd front;
//   DetectorRows rows;
//   if (front.Configure({0, 2000, 2, 900.0, 1100.0}, rows)) {
//       front.Feed(samples, count);     // as often as audio arrives
//       front.Finish(front.ProducerRows());  // the last rows, as far as the producer made them
//   }
#pragma once

#include <cstdint>
#include <vector>

#include "analysis/detector_rows.h"
#include "analysis/hum_canceller.h"
#include "analysis/impulse_blanker.h"
#include "analysis/sensitive_spectrum.h"

namespace sorv {

struct FrontEndSettings {
    int bandLow = 0;         // the producer's band, Hz
    int bandHigh = 2000;
    int rowsPerFrame = 2;
    double toneMin = 900.0;  // the tones searched, Hz
    double toneMax = 1100.0;
};

class DetectorFrontEnd {
public:
    // Sets up the filters and the lines for these settings and resets rows to them. False,
    // with rows emptied, when the settings give no row cadence or no line within the band.
    bool Configure(const FrontEndSettings& settings, DetectorRows& rows);
    bool Configured() const { return rows_ != nullptr; }

    // Unsigned 8-bit samples at 48000 per second; every row whose window the audio now covers
    // is appended.
    void Feed(const uint8_t* samples, size_t count);
    // The end of the audio: appends the rows still waiting for audio beyond it (as silence)
    // until the rows number `rows`, but not beyond the rows the samples fed so far make.
    // Audio fed after it is ignored.
    void Finish(long long rows);

    // Empties the rows and leaves out every row before `row` (counted from the start) that is
    // still to come: the store was emptied with the producer's cadence running on.
    void DropRowsBefore(long long row);

    // The rows the spectrogram producer has made from the samples fed so far.
    long long ProducerRows() const;
    // How many of those rows may still wait for audio: a row's window reaches past the
    // producer's row, and the hum canceller holds up to two seconds back.
    long long MostRowsWaiting() const { return mostWaiting_; }
    uint64_t SamplesFed() const { return fed_; }
    const FrontEndSettings& Settings() const { return settings_; }

    // The line (0..127) of the stored rows into which the producer puts a tone: the line whose
    // transform bin holds it. -1 beyond the band.
    static int StoredLineOfTone(const FrontEndSettings& settings, double toneHz);

private:
    void Stage1();
    void Stage2();
    void MakeRows(long long limit);
    void MakeRow(long long first);

    FrontEndSettings settings_;
    DetectorRows* rows_ = nullptr;

    // Producer cadence.
    long long samplesPerRow_ = 0;
    long long mostWaiting_ = 0;
    double rowCentreOffset_ = 0.0;  // centre of row j: (j + 1) x samplesPerRow_ - this

    // Clicks blanked in the audio before it is mixed (impulse_blanker.h).
    std::vector<float> audio_;
    ImpulseBlanker blanker_;

    // Mixing.
    std::vector<float> mixCos_, mixSin_;
    size_t mixPhase_ = 0;

    // Decimation: stage 1 by d1_ (a cubed boxcar), stage 2 by d2_ (a Kaiser low-pass).
    int d1_ = 1, d2_ = 1;
    std::vector<float> h1_, h2_;
    std::vector<float> in1Re_, in1Im_;  // stage-1 input: history, then new mixed samples
    size_t in1Used_ = 0;                // valid samples in in1
    std::vector<float> in2Re_, in2Im_;
    size_t in2Used_ = 0;
    double decimatedTime0_ = 0.0;       // input time of decimated sample 0
    HumCanceller hum_;                  // between the decimation and the ring

    // Decimated samples, kept in a ring.
    std::vector<float> ringRe_, ringIm_;
    long long decimated_ = 0;

    // Row transform.
    int windowLength_ = 0;
    std::vector<double> window_;
    ComplexFft fft_;
    std::vector<double> re_, im_;
    std::vector<int> lineBins_;   // transform bin of each line
    std::vector<int> floorBins_;
    std::vector<float> power_, floorWork_;
    float quantisationFloor_ = 0.0f;

    uint64_t fed_ = 0;
    long long rowsMade_ = 0;
    long long rowLimit_ = -1;  // set by Finish: no rows beyond it, no more audio
    long long dropBefore_ = 0;
};

}  // namespace sorv
