#include "analysis/sensitive_fold.h"

#include <algorithm>
#include <cmath>

namespace sorv {

namespace {

// The times j / R of rows 0 .. rows - 1, kept on each thread from one fold to the next: a
// search folds the same rows at many periods.
const double* RowTimes(double rowRate, int rows) {
    thread_local std::vector<double> times;
    thread_local double rate = 0.0;
    if (rate != rowRate) {
        times.clear();
        rate = rowRate;
    }
    for (size_t j = times.size(); j < static_cast<size_t>(std::max(rows, 0)); ++j)
        times.push_back(static_cast<double>(j) / rowRate);
    return times.data();
}

// Calls visit(j, m, bin) for rows from .. to - 1 with the whole periods m before row j and its
// phase bin, exactly as the integration computes them: t = j / R, m = trunc(t / period), bin =
// the phase in rows rounded to the nearest row. m never falls as j grows (each step is a
// rounded monotone function), so the rows of one m are a run whose end is found by the same
// test near where the period ends: a division per period, not per row. skip(m) true passes a
// run over without visiting it.
template <typename Skip, typename Visit>
void ForEachPhase(int from, int to, double rowRate, double period, Skip skip, Visit visit) {
    const double* t = RowTimes(rowRate, to);
    auto whole = [&](int j) { return std::trunc(t[j] / period); };
    int j = std::max(from, 0);
    while (j < to) {
        const double m = whole(j);
        // The first row of the next period, from its estimate.
        const double estimate = std::floor((m + 1.0) * period * rowRate);
        int end = estimate < static_cast<double>(to) ? std::max(j + 1, static_cast<int>(estimate)) : to;
        while (end < to && whole(end) <= m) ++end;
        while (end > j + 1 && whole(end - 1) > m) --end;
        if (!skip(m)) {
            for (int k = j; k < end; ++k) visit(k, static_cast<int>(rowRate * (t[k] - m * period) + 0.5));
        }
        j = end;
    }
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
    ForEachPhase(from, to, rowRate, period, [](double) { return false; }, [&](int j, int i) {
        // The phase lies in 0 .. n; the test only guards against what rounding cannot give.
        if (i < 0 || i > n) return;
        sum_[static_cast<size_t>(i)] += series[j];
        count_[static_cast<size_t>(i)] += 1;
    });
    length_ = n;
    TraceFromSums(sum_.data(), count_.data(), n, mean_.data());
    return true;
}

bool FoldForReading(const double* series, int from, int to, double rowRate, double period, int parity,
                    FoldedTrace& out, const double* weights) {
    int n = 0;
    if (!UsablePeriod(rowRate, period, n)) return false;
    out.value.assign(static_cast<size_t>(n), 0.0);
    out.count.assign(static_cast<size_t>(n), 0.0);
    std::vector<double> squares(weights ? static_cast<size_t>(n) : 0, 0.0);
    // m is a whole number of at most `to` periods: its parity is its last bit.
    auto otherParity = [parity](double m) { return parity >= 0 && static_cast<int>(static_cast<long long>(m) & 1) != parity; };
    ForEachPhase(from, to, rowRate, period, otherParity, [&](int j, int i) {
        if (i == n) i = 0;
        if (i < 0 || i > n) return;
        const double w = weights ? weights[j] : 1.0;
        out.value[static_cast<size_t>(i)] += w * series[j];
        out.count[static_cast<size_t>(i)] += w;
        if (weights) squares[static_cast<size_t>(i)] += w * w;
    });
    for (int i = 0; i < n; ++i) {
        double& count = out.count[static_cast<size_t>(i)];
        if (!(count > 0.0)) {
            count = 0.0;
            continue;
        }
        out.value[static_cast<size_t>(i)] /= count;
        if (weights) count = count * count / squares[static_cast<size_t>(i)];
    }
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

namespace {

// How much more a sum over neighbouring rows varies than if the rows were independent: the
// rows overlap in time, and so does their noise.
double CorrelationOf(const std::vector<double>& residual) {
    const size_t n = residual.size();
    double v0 = 0.0;
    for (double r : residual) v0 += r * r;
    if (!(v0 > 0.0)) return 1.0;
    double factor = 1.0;
    for (size_t lag = 1; lag <= 8 && lag < n; ++lag) {
        double v = 0.0;
        for (size_t j = lag; j < n; ++j) v += residual[j] * residual[j - lag];
        factor += 2.0 * std::max(0.0, v / v0);
    }
    return factor;
}

// The part of a fold's trace (n bins about its mean) that looks like the shape: its least-squares
// projection on the shape about their means.
void ProjectOnShape(const double* trace, int n, double mean, const std::vector<double>& shape,
                    std::vector<double>& out) {
    double shapeMean = 0.0;
    for (double v : shape) shapeMean += v;
    shapeMean /= n;
    double ts = 0.0, ss = 0.0;
    for (int i = 0; i < n; ++i) {
        const double d = shape[static_cast<size_t>(i)] - shapeMean;
        ts += (trace[i] - mean) * d;
        ss += d * d;
    }
    const double scale = ss > 0.0 ? ts / ss : 0.0;
    out.resize(static_cast<size_t>(n));
    for (int i = 0; i < n; ++i) out[static_cast<size_t>(i)] = mean + scale * (shape[static_cast<size_t>(i)] - shapeMean);
}

}  // namespace

int FoldLength(double rowRate, double period) {
    int n = 0;
    return UsablePeriod(rowRate, period, n) ? n : 0;
}

void RemovePeriodic(double* series, int rows, double rowRate, double period, PeriodFold& work,
                    const std::vector<double>* shape) {
    if (!work.Fold(series, 0, rows, rowRate, period)) return;
    const int n = work.Length();
    const double* trace = work.Trace();
    double mean = 0.0;
    for (int i = 0; i < n; ++i) mean += trace[i];
    mean /= n;
    std::vector<double> projected;
    if (shape && shape->size() == static_cast<size_t>(n)) {
        ProjectOnShape(trace, n, mean, *shape, projected);
        trace = projected.data();
    }
    std::vector<double> keying(static_cast<size_t>(rows), 0.0);
    double overall = 0.0;
    ForEachPhase(0, rows, rowRate, period, [](double) { return false; }, [&](int j, int i) {
        if (i == n) i = 0;
        if (i >= 0 && i < n) keying[static_cast<size_t>(j)] = trace[i] - mean;
    });
    for (int j = 0; j < rows; ++j) overall += series[j];
    overall /= rows;
    // The keying's gain over windows of a period, half overlapping (a window at the end takes
    // the last whole window's rows).
    const int window = std::min(rows, n);
    const int step = std::max(1, window / 2);
    std::vector<double> centre, gain, variance;
    for (int from = 0;; from += step) {
        const int start = std::min(from, rows - window);
        double xk = 0.0, kk = 0.0, x = 0.0, k = 0.0;
        for (int j = start; j < start + window; ++j) {
            xk += series[j] * keying[static_cast<size_t>(j)];
            kk += keying[static_cast<size_t>(j)] * keying[static_cast<size_t>(j)];
            x += series[j];
            k += keying[static_cast<size_t>(j)];
        }
        const double v = kk - k * k / window;
        centre.push_back(start + 0.5 * window);
        gain.push_back(v > 0.0 ? (xk - x * k / window) / v : 1.0);
        variance.push_back(v);
        if (start + window >= rows) break;
    }
    // What the gains leave is the noise; each gain's own noise follows from it.
    std::vector<double> gainAt, residual(static_cast<size_t>(rows));
    InterpolateOverRows(centre, gain, rows, gainAt);
    double residualPower = 0.0;
    for (int j = 0; j < rows; ++j) {
        const double r = series[j] - overall - gainAt[static_cast<size_t>(j)] * keying[static_cast<size_t>(j)];
        residual[static_cast<size_t>(j)] = r;
        residualPower += r * r;
    }
    const double rowNoise = residualPower / rows * CorrelationOf(residual);
    double scatter = 0.0, noise = 0.0;
    for (size_t k = 0; k < gain.size(); ++k) {
        scatter += (gain[k] - 1.0) * (gain[k] - 1.0);
        noise += variance[k] > 0.0 ? rowNoise / variance[k] : 0.0;
    }
    // Only as much of the gains' wandering as stands above what their noise alone would give:
    // a keying that does not fade keeps its mean, and a weaker beacon's keying on the same
    // line is not taken out with the noise of the gains.
    const double shrink = scatter > noise ? 1.0 - noise / scatter : 0.0;
    for (double& g : gain) g = 1.0 + shrink * (g - 1.0);
    InterpolateOverRows(centre, gain, rows, gainAt);
    for (int j = 0; j < rows; ++j) series[j] -= gainAt[static_cast<size_t>(j)] * keying[static_cast<size_t>(j)];
}

void InterpolateOverRows(const std::vector<double>& at, const std::vector<double>& value, int rows,
                         std::vector<double>& out) {
    out.assign(static_cast<size_t>(std::max(rows, 0)), value.empty() ? 1.0 : value.front());
    size_t k = 0;
    for (int j = 0; j < rows && !value.empty(); ++j) {
        while (k + 1 < at.size() && at[k + 1] <= j) ++k;
        double v = value[k];
        if (k + 1 < at.size() && j > at[k]) {
            const double t = (j - at[k]) / (at[k + 1] - at[k]);
            v = value[k] + t * (value[k + 1] - value[k]);
        }
        out[static_cast<size_t>(j)] = v;
    }
}

}  // namespace sorv
