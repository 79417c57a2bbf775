// The sensitive detector for the automatic search. Where the designed search judges the
// keying contrast of a fold in absolute power, this one judges every line by the keying power
// at the harmonics of each trial period in units of the line's own noise (so that the level
// of the audio does not matter and a longer recording only adds evidence), against a
// threshold set by calibration on pure noise. It then:
//
//   - takes the strongest line and period above the threshold, checks that the keying does
//     not in truth repeat only every second or third period, and refines the period by the
//     fold whose smoothed trace varies most;
//   - reads the fold and accepts only a plausible ident (1 to 4 Morse letters or digits with
//     Morse timing) that each half of the recording, read alone, spells the same;
//   - removes that period's keying from the neighbouring lines, where the same beacon leaks
//     through (so it is reported once, on its strongest line), and looks again.
#pragma once

#include <string>
#include <vector>

#include "engine/sorvantel_doc.h"

namespace sorv {

// The score a line and period must reach, in noise units (standard normal deviates): see
// docs/sensitivity.md for its calibration on pure noise.
constexpr double kSensitiveThreshold = 7.0;

struct SensitiveSearchInput {
    const double (*power)[kLines] = nullptr;  // rows x 128 lines
    int rows = 0;
    double rowRate = 0.0;    // rows per second
    int firstLine = 0;       // lines searched, inclusive
    int lastLine = -1;
    double periodMin = 0.0;  // ident periods accepted, seconds
    double periodMax = 0.0;
    double lineHz = 0.0;     // width of one line, for the neighbourhood of a beacon
    int manualWpm = 0;       // the user's speed, or 0 for automatic speed
};

struct SensitiveDetection {
    int line = -1;
    double period = 0.0;     // seconds: the middle of the range the integration is given
    double score = 0.0;      // noise units
    std::string ident;
    int wpm = 0;             // as the designed decoding would record it
};

// Every accepted ident, in ascending line order (then period).
std::vector<SensitiveDetection> RunSensitiveSearch(const SensitiveSearchInput& input);

// The range of the search's accepted period, as the integration then folds it: its middle
// trial is the verified fold.
constexpr double kSensitiveHalfRange = 0.02;
// The middle trial's period of the range period +- kSensitiveHalfRange, computed as the
// integration computes it.
double MiddleTrialPeriod(double period);

}  // namespace sorv
