#include "analysis/sensitive_periods.h"

#include <algorithm>
#include <cmath>

namespace {
constexpr double kOwnKeyingShare = 0.1;
}  // namespace

namespace sorv {

double KeyingScore(const KeyingSpectrum& spectrum, double f0, double topHz) {
    int count = 0;
    const double sum = spectrum.HarmonicSum(f0, topHz, 0, count);
    return NoiseUnitsScore(sum, count);
}

PeriodPeak BestRepetition(const KeyingSpectrum& spectrum, double fMin, double fMax, double topHz) {
    const std::vector<PeriodPeak> top = TopRepetitions(spectrum, fMin, fMax, topHz, 1, 0.0);
    return top.empty() ? PeriodPeak{} : top[0];
}

std::vector<PeriodPeak> TopRepetitions(const KeyingSpectrum& spectrum, double fMin, double fMax, double topHz,
                                       int most, double separation) {
    std::vector<PeriodPeak> peaks;
    std::vector<double> excesses;
    if (most < 1 || !(fMin > 0.0) || !(fMax > fMin) || !(spectrum.BinHz() > 0.0)) return peaks;
    const double mostHarmonics = std::floor(topHz / fMin);
    if (!(mostHarmonics >= 1.0)) return peaks;
    const double step = 0.5 * spectrum.BinHz() / mostHarmonics;
    const double steps = std::floor((fMax - fMin) / step);
    if (!(steps >= 0.0) || steps > 5e7) return peaks;
    // Peaks are chosen by the excess power over its noise in standard deviations, which
    // halves for twice the period (twice the harmonics, the same keying power); the score's
    // cube root would favour the longer period once the keying is strong.
    auto offer = [&](double f0, double excess) {
        int harmonics = 0;
        const double sum = spectrum.HarmonicSum(f0, topHz, 0, harmonics);
        const double score = NoiseUnitsScore(sum, harmonics);
        // A peak within the separation of a kept one replaces it only when higher.
        for (size_t i = 0; i < peaks.size(); ++i) {
            if (std::fabs(peaks[i].f0 - f0) > separation * f0) continue;
            if (excess > excesses[i]) {
                peaks[i] = {f0, score};
                excesses[i] = excess;
            }
            return;
        }
        if (static_cast<int>(peaks.size()) < most) {
            peaks.push_back({f0, score});
            excesses.push_back(excess);
            return;
        }
        size_t worst = 0;
        for (size_t i = 1; i < peaks.size(); ++i)
            if (excesses[i] < excesses[worst]) worst = i;
        if (excess > excesses[worst]) {
            peaks[worst] = {f0, score};
            excesses[worst] = excess;
        }
    };
    double previous = -1e300, beforePrevious = -1e300, previousF = 0.0;
    constexpr int kLanes = KeyingSpectrum::kHarmonicLanes;
    const long last = static_cast<long>(steps);
    double trial[kLanes], sums[kLanes];
    int counts[kLanes];
    for (long t = 0; t <= last + 1; ++t) {
        double excess = -1e300;
        const double f0 = fMin + t * step;
        const int lane = static_cast<int>(t % kLanes);
        if (lane == 0 && t <= last) {
            for (int i = 0; i < kLanes; ++i) trial[i] = t + i <= last ? fMin + (t + i) * step : 0.0;
            spectrum.HarmonicSums(trial, topHz, sums, counts);
        }
        if (t <= last) {
            const int count = counts[lane];
            if (count >= 1) excess = (sums[lane] - count) / std::sqrt(static_cast<double>(count));
        }
        // A local maximum of the scan (the ends count when higher than their one neighbour).
        if (previous > beforePrevious && previous >= excess && previous > -1e300) offer(previousF, previous);
        beforePrevious = previous;
        previous = excess;
        previousF = f0;
    }
    std::vector<size_t> order(peaks.size());
    for (size_t i = 0; i < order.size(); ++i) order[i] = i;
    std::sort(order.begin(), order.end(), [&](size_t a, size_t b) { return excesses[a] > excesses[b]; });
    std::vector<PeriodPeak> sorted;
    for (size_t i : order) sorted.push_back(peaks[i]);
    return sorted;
}

bool RepeatsOnlyEvery(const KeyingSpectrum& spectrum, double f0, int multiple, double topHz,
                      double threshold) {
    int count = 0;
    const double sum = spectrum.HarmonicSum(f0 / multiple, topHz, multiple, count);
    if (count < 1 || NoiseUnitsScore(sum, count) < threshold) return false;
    // Keying of its own, not the spill of strong harmonics beside them: a fair share of the
    // power that f0's harmonics carry above the noise.
    int own = 0;
    const double main = spectrum.HarmonicSum(f0, topHz, 0, own);
    return sum - count >= kOwnKeyingShare * (main - own);
}

bool RepeatsWithin(const KeyingSpectrum& spectrum, double f0, int parts, double topHz, double noiseLevel) {
    int count = 0;
    const double sum = spectrum.HarmonicSum(f0, topHz, parts, count);
    return count >= 1 && NoiseUnitsScore(sum, count) < noiseLevel;
}

}  // namespace sorv
