// The sensitive detector for the automatic search. Where the designed search judges the
// keying contrast of a fold in absolute power, this one works in units of each line's own
// noise, on the detector's copy of the recording (its own rows from the audio where there is
// audio, otherwise the stored rows, see detector_rows.h), and reads what the fold holds by
// likelihood (morse_reader.h):
//
//   - every line's keying spectrum gives its candidate periods: the repetition frequencies
//     whose harmonics carry more power than the line's noise would (in noise units);
//   - the strongest candidate left is folded at its period, read, its period refined by the
//     same likelihood, and read again; the reading is accepted when its fit stands far
//     enough above noise and above the best other text, and each of two interleaved halves of
//     the recording (the even and the odd repetitions, so that slow fading leaves neither
//     empty) reads the same text at the same timing;
//   - whatever the verdict, that period's keying is taken out of the spectra of the lines
//     around, where the same beacon leaks or clicks, and the next candidate is taken.
//
// Thresholds and their calibration on noise: docs/sensitivity.md.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "analysis/detector_rows.h"
#include "analysis/morse_reader.h"
#include "engine/sorvantel_doc.h"

namespace sorv {

// The keying score (noise units) a line's period must reach to be read at all.
constexpr double kSensitiveThreshold = 4.5;
// What an accepted reading must reach: its fit in noise deviations, its chi-square margin
// over the best other text, and each interleaved half's fit of the same text.
constexpr double kAcceptScore = 11.0;
constexpr double kAcceptMargin = 4.0;
constexpr double kHalfScore = 4.0;
// One half may read another text at the whole's timing, as long as it fits that text by less
// than this (noise deviations) better than the whole's: the same elements split or joined
// differently fit a half of a weak ident about as well, while a half of noise reads a text
// of its own. A half that fits the whole's text at the acceptance score or more has shown a
// beacon by itself (no half of noise has come near), and what it leans to then says only how
// well the text is read: there it may lean by this much more for every deviation above it.
// The other half must spell the whole's text, unless the whole's fit stands at this score or
// more.
constexpr double kMostHalfLead = 0.5;
constexpr double kMostHalfLeadPerDeviation = 0.15;
constexpr double kSpelledBelowScore = 2.0 * kAcceptScore;
// ... and what it may leave unexplained: a key-down in the silence around the text (noise
// deviations, or for a strong beacon a share of its key-down amplitude), and a residual over
// a unit as a share of the key-down amplitude.
constexpr double kMostSilence = 5.0;
constexpr double kMostSilenceShare = 0.3;
constexpr double kMostMisfit = 0.3;
// ... and what it leaves over its units, one after another: about 1 deviation where the text
// fits, more for a strong beacon (its noise grows with its power in the key-downs), 2 where
// a slow swell was fitted by dashes at 26 deviations.
constexpr double kMostResidualRms = 1.5;
constexpr double kResidualRmsPerScore = 0.01;

// Whether a reading of a whole fold is good enough to accept, before its halves are read.
bool AcceptableReading(const MorseReading& reading);

// The fit a reading of a recording `seconds` long must reach: kAcceptScore from 35 minutes
// on, more for shorter ones. A fold of fewer periods is further from Gaussian (each row's
// power is skewed, and fewer of them are averaged), and the best of the many texts and
// timings a reading tries then scores higher in noise: calibrated on white noise, the
// scores that one candidate in a hundred exceeds were 9.7 at 35 minutes, 11.0 at 10 and
// 11.3 at 5. The threshold follows those tails (13.7 at 10 minutes, 16.0 at 5), so that a
// noise candidate reaches it about as often at each length as 11 at 35 minutes.
double AcceptScoreFor(double seconds);
// How much better one interleaved half may fit another text than the whole's, given its own
// fit of the whole's text (noise deviations).
double MostHalfLead(double halfScore);

// One candidate as the search judged it, for calibration on noise.
struct CandidateRecord {
    double hz = 0.0;           // the detector line's frequency
    double period = 0.0;
    double keyingScore = 0.0;
    double bound = 0.0;        // the best free keying's fit: the reading is skipped below kReadBound
    bool read = false;
    std::string text;
    double score = 0.0;
    double margin = 0.0;
    double silence = 0.0;
    double silenceShare = 0.0;
    double misfit = 0.0;
    double residualRms = 0.0;
    double halfScore[2] = {0.0, 0.0};
    double halfLead[2] = {0.0, 0.0};  // how much better each half fits its own reading
    bool halvesAgree = false;
    bool accepted = false;
};

// No text fits a fold much better than its best free keying does (the reading's finer timing
// adds a little): folds whose free keying fits below this are not read.
constexpr double kReadBound = kAcceptScore - 2.5;

struct SensitiveSearchSettings {
    double periodMin = 6.0;   // ident periods accepted, seconds
    double periodMax = 15.0;
    int manualWpm = 0;        // the user's speed, or 0 for automatic speed
    double longestPeriod = 0.0;  // seconds the integration can show (0: no limit of its own)
    int threads = 1;          // line spectra computed at once
    std::function<void(const CandidateRecord&)> observer;  // each candidate, as judged
    bool readEverything = false;  // read every candidate, whatever its bound (calibration)
};

struct SensitiveDetection {
    int line = -1;           // the line of the stored rows (for the road), -1 outside the band
    int detectorLine = -1;   // the detector's own line
    double toneHz = 0.0;     // measured, between the detector's lines
    double period = 0.0;     // seconds
    double score = 0.0;      // the reading's fit, in noise deviations
    double keyingScore = 0.0;  // the period's keying score, noise units
    double margin = 0.0;     // chi-square over the best other text
    std::string ident;
    std::string runnerUp;
    int wpm = 0;             // as the designed decoding would record it
    double unitSeconds = 0.0;  // the dot, as read
    double firstSeconds = 0.0;   // where in the rows the ident was heard
    double lastSeconds = 0.0;
    double strongestSeconds = 0.0;
};

// Every accepted ident of the rows, in ascending line order (then period). storedLine[l] is
// the stored line of detector line l (or -1).
std::vector<SensitiveDetection> SearchDetectorRows(const DetectorRows& rows, const std::vector<int>& storedLine,
                                                   const SensitiveSearchSettings& settings);

// Rows of the searched lines kept elsewhere in single precision, as a band survey's channels
// keep only their own lines: line l of row j is values[j * rowStride + column[l - firstLine]].
struct SearchedLineRows {
    const float* values = nullptr;
    size_t rowStride = 0;
    std::vector<int> column;
};

// The search on stored rows alone (a loaded spectrum file, or no audio copy).
struct SensitiveSearchInput {
    const double (*power)[kLines] = nullptr;  // rows x 128 lines
    // Instead of power: the searched lines alone, which needs floorFromLines false (the
    // lines around are not there).
    const SearchedLineRows* lineRows = nullptr;
    int rows = 0;
    double rowRate = 0.0;    // rows per second
    int firstLine = 0;       // lines searched, inclusive
    int lastLine = -1;
    double periodMin = 0.0;  // ident periods accepted, seconds
    double periodMax = 0.0;
    double lineHz = 0.0;     // width of one line
    double centreHz = 1000.0;  // the tone line 63 holds
    double windowRows = 2.0;   // the rows' transform spans this many rows
    int manualWpm = 0;
    // Each row's floor from the median of the searched lines and 8 on either side; false for
    // rows that hold the searched lines only, at a fixed gain: every row has the same floor.
    bool floorFromLines = true;
};

// The stored rows' lines firstLine .. lastLine as the detector's copy, each row's floor the
// median of the lines around them.
void CopyStoredRows(const SensitiveSearchInput& input, DetectorRows& rows, std::vector<int>& storedLine);
std::vector<SensitiveDetection> RunSensitiveSearch(const SensitiveSearchInput& input);

// The range of the search's accepted period, as the integration then folds it.
constexpr double kSensitiveHalfRange = 0.02;
// The middle trial's period of the range period +- kSensitiveHalfRange, computed as the
// integration computes it.
double MiddleTrialPeriod(double period);

}  // namespace sorv
