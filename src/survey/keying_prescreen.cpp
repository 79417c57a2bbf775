#include "survey/keying_prescreen.h"

#include <algorithm>
#include <cmath>

#include "analysis/detector_lines.h"
#include "analysis/sensitive_spectrum.h"

namespace sorv {

namespace {

constexpr double kTopHz = 3.0;
constexpr double kPeriodSlack = 0.005;
constexpr int kImageLength = 511;
constexpr int kPeriodsPerHalf = 3;

double Score(double sum, int count) {
    const double v = 1.0 / (9.0 * count);
    return (std::cbrt(std::max(0.0, sum) / count) - (1.0 - v)) / std::sqrt(v);
}

}  // namespace

double KeyingPrescreen::BestScore(const std::vector<double>& series, double rowRate, double periodMin,
                                  double periodMax, double enough) {
    const int rows = static_cast<int>(series.size());
    if (rows < 16 || !(rowRate > 0.0) || !(periodMin > 0.0)) return 0.0;
    const double seconds = rows / rowRate;
    const double pMin = periodMin * (1.0 - kPeriodSlack);
    const double pMax = std::min({periodMax * (1.0 + kPeriodSlack), (kImageLength - 0.5) / rowRate,
                                  seconds / (2.0 * kPeriodsPerHalf)});
    if (!(pMax > pMin)) return 0.0;

    // The line over its level, as the detector divides it out (a channel's noise may change
    // slowly), then the detector's own tapered, thinned and padded series, transformed in
    // single precision.
    const int blocks = BlockCount(rows, DetectorLines::kLevelBlockRows);
    blockLevel_.resize(static_cast<size_t>(blocks));
    BlockLevels(series.data(), rows, DetectorLines::kLevelBlockRows, blockLevel_.data());
    levelled_.resize(static_cast<size_t>(rows));
    for (int j = 0; j < rows; ++j)
        levelled_[static_cast<size_t>(j)] =
            series[static_cast<size_t>(j)] / LevelBetweenBlocks(blockLevel_.data(), blocks, DetectorLines::kLevelBlockRows, j);
    KeyingSeries shape;
    if (!PrepareKeyingSeries(levelled_.data(), rows, rowRate, kTopHz, work_, shape)) return 0.0;
    const int n = shape.size;
    if (n != size_) {
        size_ = n;
        plan_ = FftPlan(FftPlan::Kind::RealToComplex, n, false);
        in_ = RealBuffer(static_cast<size_t>(n));
        out_ = ComplexBuffer(static_cast<size_t>(n / 2 + 1));
    }
    for (int j = 0; j < n; ++j) in_[static_cast<size_t>(j)] = static_cast<float>(work_.re[static_cast<size_t>(j)]);
    plan_.Run(in_.data(), out_.data());

    const double binHz = rowRate / shape.decimation / n;
    const int used = std::min(n / 2, static_cast<int>(std::ceil(kTopHz * 1.1 / binHz) + 2.0));
    power_.resize(static_cast<size_t>(used));
    for (int k = 0; k < used; ++k) power_[static_cast<size_t>(k)] = std::norm(std::complex<double>(out_[static_cast<size_t>(k)]));
    DivideByLocalFloor(n / 2, power_, level_);  // as the detector divides its own

    // The trial repetition frequencies, stepped so that the top harmonic moves half a bin.
    const double fMin = 1.0 / pMax, fMax = 1.0 / pMin;
    const double mostHarmonics = std::floor(kTopHz / fMin);
    if (!(mostHarmonics >= 1.0)) return 0.0;
    const double step = 0.5 * binHz / mostHarmonics;
    const long steps = static_cast<long>(std::floor((fMax - fMin) / step));
    // The score grows with the sum for a given number of harmonics: the best sum of each
    // number gives the best score, with one cube root per number instead of per trial.
    bestSum_.assign(static_cast<size_t>(mostHarmonics) + 2, -1.0);
    // The score inverted, a little low: a sum above it is scored exactly, and returned when
    // that reaches `enough`.
    enoughSum_.assign(bestSum_.size(), std::numeric_limits<double>::infinity());
    if (std::isfinite(enough)) {
        for (size_t c = 1; c < enoughSum_.size(); ++c) {
            const double v = 1.0 / (9.0 * static_cast<double>(c));
            const double root = (1.0 - v) + enough * std::sqrt(v);
            enoughSum_[c] = root > 0.0 ? static_cast<double>(c) * root * root * root * (1.0 - 1e-9) : 0.0;
        }
    }
    const double* p = power_.data();
    constexpr int kLanes = 4;  // trials side by side: no trial's additions wait on another's
    for (long t = 0; t <= steps; t += kLanes) {
        // Harmonics counted and placed in bins exactly as the detector does.
        double binStep[kLanes], sum[kLanes] = {};
        int count[kLanes];
        int most = 0;
        for (int l = 0; l < kLanes; ++l) {
            const double f0 = fMin + (t + l) * step;
            binStep[l] = f0 / binHz;
            count[l] = t + l <= steps ? HarmonicsUpTo(f0, kTopHz) : 0;
            most = std::max(most, count[l]);
        }
        for (int k = 1; k <= most; ++k) {
            for (int l = 0; l < kLanes; ++l) {
                if (k > count[l]) continue;
                const double bin = k * binStep[l] + 0.5;
                if (bin < used) sum[l] += p[static_cast<size_t>(bin)];
            }
        }
        for (int l = 0; l < kLanes; ++l) {
            const size_t c = static_cast<size_t>(count[l]);
            if (count[l] <= 0 || c >= bestSum_.size()) continue;
            bestSum_[c] = std::max(bestSum_[c], sum[l]);
            if (sum[l] >= enoughSum_[c]) {
                const double score = Score(sum[l], count[l]);
                if (score >= enough) return score;
            }
        }
    }
    double best = 0.0;
    for (size_t c = 1; c < bestSum_.size(); ++c)
        if (bestSum_[c] >= 0.0) best = std::max(best, Score(bestSum_[c], static_cast<int>(c)));
    return best;
}

}  // namespace sorv
