#include "analysis/sensitive_fold.h"

#include <algorithm>
#include <cmath>

namespace sorv {

namespace {

// Phase bin of row j, exactly as the integration computes it: t = j / R, m = whole periods
// before t, bin = the phase in rows rounded to the nearest row.
inline int PhaseBin(int j, double rowRate, double period) {
    const double t = j / rowRate;
    const double m = std::trunc(t / period);
    return static_cast<int>(rowRate * (t - m * period) + 0.5);
}

bool UsablePeriod(double rowRate, double period, int& length) {
    if (!(rowRate > 0.0) || !(period > 0.0) || !std::isfinite(rowRate) || !std::isfinite(period)) return false;
    const double rows = period * rowRate + 0.5;
    if (!(rows >= 1.0) || rows >= kMaxFoldLength + 1.0) return false;
    length = static_cast<int>(rows);
    return true;
}

}  // namespace

bool PeriodFold::Fold(const double* series, int from, int to, double rowRate, double period) {
    length_ = 0;
    int n = 0;
    if (!UsablePeriod(rowRate, period, n)) return false;
    std::fill(sum_.begin(), sum_.begin() + n + 1, 0.0);
    std::fill(count_.begin(), count_.begin() + n + 1, 0);
    for (int j = std::max(from, 0); j < to; ++j) {
        const int i = PhaseBin(j, rowRate, period);
        // The phase lies in 0 .. n; the test only guards against what rounding cannot give.
        if (i < 0 || i > n) continue;
        sum_[static_cast<size_t>(i)] += series[j];
        count_[static_cast<size_t>(i)] += 1;
    }
    length_ = n;
    TraceFromSums(sum_.data(), count_.data(), n, mean_.data());
    return true;
}

bool FoldForReading(const double* series, int from, int to, double rowRate, double period, int parity,
                    FoldedTrace& out) {
    int n = 0;
    if (!UsablePeriod(rowRate, period, n)) return false;
    out.value.assign(static_cast<size_t>(n), 0.0);
    out.count.assign(static_cast<size_t>(n), 0.0);
    for (int j = std::max(from, 0); j < to; ++j) {
        const double t = j / rowRate;
        const double m = std::trunc(t / period);
        if (parity >= 0 && static_cast<int>(std::fmod(m, 2.0)) != parity) continue;
        int i = static_cast<int>(rowRate * (t - m * period) + 0.5);
        if (i == n) i = 0;
        if (i < 0 || i > n) continue;
        out.value[static_cast<size_t>(i)] += series[j];
        out.count[static_cast<size_t>(i)] += 1.0;
    }
    for (int i = 0; i < n; ++i)
        if (out.count[static_cast<size_t>(i)] > 0.0) out.value[static_cast<size_t>(i)] /= out.count[static_cast<size_t>(i)];
    return true;
}

double PeriodFold::SmoothedVariance() const {
    const int n = length_;
    if (n < 1) return 0.0;
    double sum = 0.0, squares = 0.0;
    for (int i = 0; i < n; ++i) {
        const double y = mean_[static_cast<size_t>((i + n - 1) % n)] + mean_[static_cast<size_t>(i)] +
                         mean_[static_cast<size_t>((i + 1) % n)];
        sum += y;
        squares += y * y;
    }
    const double mean = sum / n;
    return std::max(0.0, squares / n - mean * mean);
}

void TraceFromSums(const double* sums, const int* counts, int n, double* trace) {
    if (n < 1) return;
    double total = 0.0;
    long long rows = 0;
    for (int i = 0; i <= n; ++i) {
        total += sums[i];
        rows += counts[i];
    }
    const double overall = rows > 0 ? total / static_cast<double>(rows) : 0.0;
    for (int i = 0; i < n; ++i) {
        double s = sums[i];
        int c = counts[i];
        if (i == 0) {
            s += sums[n];
            c += counts[n];
        }
        trace[i] = c > 0 ? s / c : overall;
    }
}

int FoldedRows(int rows, double rowRate, double period) {
    const double whole = std::trunc(period * rowRate);
    if (!(whole >= 0.0) || !(whole < rows - 1.0)) return 0;
    return rows - 1 - static_cast<int>(whole);
}

void RemovePeriodic(double* series, int rows, double rowRate, double period, PeriodFold& work) {
    if (!work.Fold(series, 0, rows, rowRate, period)) return;
    const int n = work.Length();
    const double* trace = work.Trace();
    double mean = 0.0;
    for (int i = 0; i < n; ++i) mean += trace[i];
    mean /= n;
    for (int j = 0; j < rows; ++j) {
        int i = PhaseBin(j, rowRate, period);
        if (i == n) i = 0;
        if (i < 0 || i > n) continue;
        series[j] -= trace[i] - mean;
    }
}

}  // namespace sorv
