#include "analysis/sensitive_periods.h"

#include <cmath>

namespace sorv {

double KeyingScore(const KeyingSpectrum& spectrum, double f0, double topHz) {
    int count = 0;
    const double sum = spectrum.HarmonicSum(f0, topHz, 0, count);
    return NoiseUnitsScore(sum, count);
}

PeriodPeak BestRepetition(const KeyingSpectrum& spectrum, double fMin, double fMax, double topHz) {
    PeriodPeak best;
    if (!(fMin > 0.0) || !(fMax > fMin) || !(spectrum.BinHz() > 0.0)) return best;
    const double mostHarmonics = std::floor(topHz / fMin);
    if (!(mostHarmonics >= 1.0)) return best;
    const double step = 0.5 * spectrum.BinHz() / mostHarmonics;
    const double steps = std::floor((fMax - fMin) / step);
    if (!(steps >= 0.0) || steps > 1e7) return best;
    // The peak is chosen by the excess power over its noise in standard deviations, which
    // halves for twice the period (twice the harmonics, the same keying power); the score's
    // cube root would favour the longer period once the keying is strong.
    double bestExcess = -1e300;
    for (long t = 0; t <= static_cast<long>(steps); ++t) {
        const double f0 = fMin + t * step;
        int count = 0;
        const double sum = spectrum.HarmonicSum(f0, topHz, 0, count);
        if (count < 1) continue;
        const double excess = (sum - count) / std::sqrt(static_cast<double>(count));
        if (excess > bestExcess) {
            bestExcess = excess;
            best = {f0, NoiseUnitsScore(sum, count)};
        }
    }
    return best;
}

bool RepeatsOnlyEvery(const KeyingSpectrum& spectrum, double f0, int multiple, double topHz,
                      double threshold) {
    int count = 0;
    const double sum = spectrum.HarmonicSum(f0 / multiple, topHz, multiple, count);
    return count >= 1 && NoiseUnitsScore(sum, count) >= threshold;
}

bool RepeatsWithin(const KeyingSpectrum& spectrum, double f0, int parts, double topHz, double noiseLevel) {
    int count = 0;
    const double sum = spectrum.HarmonicSum(f0, topHz, parts, count);
    return count >= 1 && NoiseUnitsScore(sum, count) < noiseLevel;
}

}  // namespace sorv
