#include "survey/keying_prescreen.h"

#include <algorithm>
#include <cmath>

namespace sorv {

namespace {

constexpr double kTopHz = 3.0;
constexpr double kPeriodSlack = 0.005;
constexpr int kImageLength = 511;
constexpr int kPeriodsPerHalf = 3;
constexpr int kMinBlockBins = 32;
constexpr int kBlocksPerSpectrum = 256;
constexpr double kLn2 = 0.6931471805599453;

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

    int n = 1;
    while (n < rows) n *= 2;
    n *= 2;
    if (n != size_) {
        size_ = n;
        plan_ = FftPlan(FftPlan::Kind::RealToComplex, n, false);
        in_ = RealBuffer(static_cast<size_t>(n));
        out_ = ComplexBuffer(static_cast<size_t>(n / 2 + 1));
    }
    double mean = 0.0;
    for (double v : series) mean += v;
    mean /= rows;
    for (int j = 0; j < rows; ++j) in_[static_cast<size_t>(j)] = static_cast<float>(series[static_cast<size_t>(j)] - mean);
    std::fill(in_.data() + rows, in_.data() + n, 0.0f);
    plan_.Run(in_.data(), out_.data());

    const double binHz = rowRate / n;
    const int used = std::min(n / 2, static_cast<int>(std::ceil(kTopHz * 1.1 / binHz) + 2.0));
    power_.resize(static_cast<size_t>(used));
    for (int k = 0; k < used; ++k) power_[static_cast<size_t>(k)] = std::norm(std::complex<double>(out_[static_cast<size_t>(k)]));
    // Each bin over the median of its block, interpolated between block centres.
    const int width = std::max(kMinBlockBins, (n / 2) / kBlocksPerSpectrum);
    const int blocks = std::max(1, used / width);
    level_.resize(static_cast<size_t>(blocks));
    for (int b = 0; b < blocks; ++b) {
        const int from = b * width, to = b == blocks - 1 ? used : from + width;
        block_.assign(power_.begin() + from, power_.begin() + to);
        const size_t mid = block_.size() / 2;
        std::nth_element(block_.begin(), block_.begin() + static_cast<long>(mid), block_.end());
        level_[static_cast<size_t>(b)] = block_[mid] / kLn2;
    }
    for (int k = 0; k < used; ++k) {
        const double position = (k + 0.5) / width - 0.5;
        double floor;
        if (blocks == 1 || position <= 0.0) floor = level_[0];
        else if (position >= blocks - 1) floor = level_[static_cast<size_t>(blocks - 1)];
        else {
            const int b = static_cast<int>(position);
            const double f = position - b;
            floor = level_[static_cast<size_t>(b)] * (1.0 - f) + level_[static_cast<size_t>(b + 1)] * f;
        }
        double& p = power_[static_cast<size_t>(k)];
        p = floor > 0.0 ? p / floor : 0.0;
    }

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
