// Reading a folded trace by likelihood. A threshold on the trace throws away what the rows
// near the threshold hold; near the noise every bin is on one side or the other almost by
// chance. Here every Morse text of one to four letters or digits is weighed, with its timing,
// against the whole trace at once:
//
//   - the trace is modelled as a key-up level plus a key-down amplitude times the text's
//     keying as the rows see it (each row's window smears the edges; the model predicts that
//     exactly from the row response);
//   - a dynamic programme over the letters finds, for each trial unit and start, the texts
//     whose key-downs gather the most of the trace above the midpoint of the two levels;
//   - the best texts are then fitted exactly (levels, start, unit, the lengthening of dots and
//     dashes) by weighted least squares, in units of the trace's own noise.
//
// The reading reports the best text's score (the fit's improvement over "noise only", in
// noise deviations) and its margin over the best different text (in chi-square units), so
// that the caller can accept it only where noise would not give as much: see
// docs/sensitivity.md for how these are calibrated.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "analysis/detector_rows.h"

namespace sorv {

struct UnitRange;  // sensitive_decoding.h

// A folded trace: the mean power of each phase bin (bin i holds the rows whose phase rounds to
// i rows), the rows each bin holds, and the noise of one row as a slow template sees it.
struct FoldedTrace {
    std::vector<double> value;
    std::vector<double> count;
    double rowNoise = 1.0;
    const RowResponse* response = nullptr;  // none: rows see no smear
    int Length() const { return static_cast<int>(value.size()); }
};

struct MorseTiming {
    double unit = 0.0;       // rows per dot
    double start = 0.0;      // rows: where the first key-down begins, 0 .. trace length
    double dotExtra = 0.0;   // rows a dot's key-down is longer than its unit
    double dashExtra = 0.0;  // rows a dash's key-down is longer than three units
};

struct MorseFit {
    double amplitude = 0.0;  // key-down over key-up, in the trace's units
    double level = 0.0;      // key-up
    double score = 0.0;      // the fit's amplitude in noise deviations (0 when it cannot fit)
};

struct MorseReading {
    std::string text;      // empty: nothing fits
    MorseTiming timing;
    MorseFit fit;
    std::string runnerUp;  // the best other text
    double margin = 0.0;   // chi-square of the best over the best other text
    // What the text leaves unexplained: the strongest key-down of a unit's length in the
    // silence around it (noise deviations; keying there belongs to a text this is not), and
    // the largest residual over a unit that stands out of the noise, as a share of the
    // key-down amplitude (a text with an element too many or too few leaves a whole one).
    double silence = 0.0;
    double misfit = 0.0;
    // The residual's root mean square over the trace's successive units, in noise deviations:
    // about 1 where the text fits and only noise is left.
    double residualRms = 0.0;
    // That strongest key-down in the silence as a share of the key-down amplitude: what tells
    // a missing element (a whole one) from a strong beacon's small leftovers, which stand many
    // noise deviations out when the beacon stands thousands out.
    double silenceShare = 0.0;
    // The noise of a row the scores are in units of: the trace's, or less where the fit's
    // residual shows it to be less (a strong keying's own leakage can make a line's noise
    // look larger than it is).
    double rowNoise = 0.0;
};

// The key-down intervals of a text at a timing, in rows from the start of the trace (they may
// run past its end, which continues at its start). Empty for a text with a character that has
// no Morse code here.
struct KeyInterval {
    double on, off;
};
std::vector<KeyInterval> MorseIntervals(const std::string& text, const MorseTiming& timing);
// The text's length in units from its first key-down to its last key-up.
double MorseUnits(const std::string& text);

// The trace a text at a timing would leave with a key-down amplitude of 1 and key-up 0.
void RenderMorse(const std::string& text, const MorseTiming& timing, const RowResponse* response, int length,
                 std::vector<double>& out);

void RenderKeying(const std::vector<KeyInterval>& keys, const RowResponse* response, int length,
                  std::vector<double>& out);

// The least-squares fit of one text at one timing.
MorseFit FitMorse(const FoldedTrace& trace, const std::string& text, const MorseTiming& timing);

// About the best fit any text could reach (the fit of the best free sequence of dots and
// dashes): a quick bound, to pass over folds that cannot hold an ident worth reading.
double KeyingBound(const FoldedTrace& trace, const UnitRange& units);

// The best text and its runner-up over the speeds of `units` (rows per dot).
MorseReading ReadMorse(const FoldedTrace& trace, const UnitRange& units);

// Fills in the reading's silence and misfit for its text and timing.
void JudgeMorse(const FoldedTrace& trace, MorseReading& reading);

// The best text at a given timing (to read part of a recording as the whole was read); the
// timing's start and unit are kept, its lengthenings refitted.
MorseReading ReadMorseAt(const FoldedTrace& trace, const MorseTiming& timing);

}  // namespace sorv
