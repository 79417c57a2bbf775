// The sensitive search's period scan: for every repetition frequency f0 of the expected ident
// periods, the keying power at the harmonics of f0 in noise units, turned into a score. The
// scan steps f0 finely enough that the highest harmonic summed moves by half a bin per step.
#pragma once

#include <vector>

#include "analysis/sensitive_spectrum.h"

namespace sorv {

struct PeriodPeak {
    double f0 = 0.0;     // repetition frequency, Hz; 0 when there is none
    double score = 0.0;  // noise units (a standard normal deviate under noise)
};

// Score of one repetition frequency: the harmonics of f0 up to topHz.
double KeyingScore(const KeyingSpectrum& spectrum, double f0, double topHz);

// The highest-scoring frequency from fMin to fMax (both > 0, fMin < fMax).
PeriodPeak BestRepetition(const KeyingSpectrum& spectrum, double fMin, double fMax, double topHz);

// The `most` highest peaks from fMin to fMax, each the best within a relative distance
// `separation` of its frequency, highest first.
std::vector<PeriodPeak> TopRepetitions(const KeyingSpectrum& spectrum, double fMin, double fMax, double topHz,
                                       int most, double separation);

// Whether the keying at f0 repeats only every `multiple` periods: the harmonics of f0/multiple
// that are not harmonics of f0 carry keying power of their own, scored above threshold.
bool RepeatsOnlyEvery(const KeyingSpectrum& spectrum, double f0, int multiple, double topHz,
                      double threshold);

// Whether the keying at f0 in truth repeats `parts` times within the period: the harmonics of
// f0 that are not multiples of `parts` hold no more than noise (scored below noiseLevel).
bool RepeatsWithin(const KeyingSpectrum& spectrum, double f0, int parts, double topHz, double noiseLevel);

}  // namespace sorv
