#include "survey/keying_prescreen.h"

#include <algorithm>
#include <cmath>

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
                                  double periodMax) {
    const int rows = static_cast<int>(series.size());
    if (rows < 16 || !(rowRate > 0.0) || !(periodMin > 0.0)) return 0.0;
    const double seconds = rows / rowRate;
    const double pMin = periodMin * (1.0 - kPeriodSlack);
    const double pMax = std::min({periodMax * (1.0 + kPeriodSlack), (kImageLength - 0.5) / rowRate,
                                  seconds / (2.0 * kPeriodsPerHalf)});
    if (!(pMax > pMin)) return 0.0;

    // The detector's own tapered, thinned and padded series, transformed in single precision.
    KeyingSeries shape;
    if (!PrepareKeyingSeries(series.data(), rows, rowRate, kTopHz, work_, shape)) return 0.0;
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
    DivideByLocalFloor(n / 2, power_, level_, block_);  // as the detector divides its own

    // The trial repetition frequencies, stepped so that the top harmonic moves half a bin.
    const double fMin = 1.0 / pMax, fMax = 1.0 / pMin;
    const double mostHarmonics = std::floor(kTopHz / fMin);
    if (!(mostHarmonics >= 1.0)) return 0.0;
    const double step = 0.5 * binHz / mostHarmonics;
    const long steps = static_cast<long>(std::floor((fMax - fMin) / step));
    double best = 0.0;
    const double* p = power_.data();
    for (long t = 0; t <= steps; ++t) {
        const double f0 = fMin + t * step;
        const double binStep = f0 / binHz;
        const int count = static_cast<int>(std::floor(kTopHz / f0 + 1e-12));
        double sum = 0.0;
        double bin = binStep + 0.5;
        for (int k = 1; k <= count; ++k, bin += binStep) {
            const int i = static_cast<int>(bin);
            if (i < used) sum += p[i];
        }
        if (count > 0) best = std::max(best, Score(sum, count));
    }
    return best;
}

}  // namespace sorv
