// A quick look at a line before the detector reads it. The sensitive detector's first step is
// the score of the keying power at the harmonics of each trial period in units of the line's
// noise; a line that scores below its threshold at every period cannot give an ident, so the
// survey only hands the detector the tone ranges where some line reaches it. This computes the
// same score the same way -- the line over its level per block, the detector's own tapered,
// thinned and padded series, each bin of its power spectrum divided by the detector's floor,
// the harmonics up to 3 Hz summed at the same trial periods and in the same bins -- but with
// FFTW in single precision, a small fraction of the detector's cost. It takes the highest
// score at any trial period, never less than the score the detector ranks its peak by, less
// the rounding of single precision.
#pragma once

#include <limits>
#include <vector>

#include "analysis/sensitive_search.h"
#include "analysis/sensitive_spectrum.h"
#include "survey/fft_plans.h"

namespace sorv {

// Below the detector's own threshold by far more than single precision moves a score (less
// than 1e-4 over a band survey's lines): a group the detector would read is never passed over.
constexpr double kPrescreenThreshold = kSensitiveThreshold - 0.02;

class KeyingPrescreen {
public:
    // The best score of the series over the ident periods periodMin .. periodMax, limited as
    // the detector limits them (the integration image's length and three periods in each half).
    // Once some period scores `enough` or more, that score is returned without looking further.
    double BestScore(const std::vector<double>& series, double rowRate, double periodMin, double periodMax,
                     double enough = std::numeric_limits<double>::infinity());

private:
    int size_ = 0;
    FftPlan plan_;
    RealBuffer in_;
    ComplexBuffer out_;
    SpectrumWork work_;
    std::vector<double> power_, level_;
    std::vector<double> blockLevel_, levelled_;  // the line's level over its blocks, and the line over it
    std::vector<double> bestSum_;  // by the number of harmonics summed
    std::vector<double> enoughSum_;  // by the number: about the least sum that scores `enough`
};

}  // namespace sorv
