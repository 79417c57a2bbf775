#include "analysis/peak_window.h"

#include <cmath>

namespace sorv {

namespace {

// The integer part of 1 / (period * c) as a double, so that an infinite or huge value can be
// limited before it becomes an integer.
double BinOfPeriod(double period, double c) { return std::trunc(1.0 / (period * c)); }

}  // namespace

double PeriodBinWidth(double rowRate, int periodBins) {
    return periodBins > 0 ? rowRate * 0.5 / periodBins : 0.0;
}

PeakWindowBounds PeakWindowFor(const PeakWindowInput& in) {
    if (in.spectrum == nullptr || in.periodBins <= 0 || in.periodScale <= 0) return {};
    const int b = in.periodBins / in.periodScale;
    // Fewer than three shown bins leave no room for a peak between two neighbours; this also
    // keeps the low edge from becoming -1 and an infinite bin width from being used.
    if (b < 3) return {};
    const double c = PeriodBinWidth(in.rowRate, in.periodBins);
    if (!(c > 0.0) || !std::isfinite(c)) return {};
    const double hv = BinOfPeriod(in.periodMin, c);
    const double lv = BinOfPeriod(in.periodMax, c);
    if (std::isnan(hv) || std::isnan(lv)) return {};

    int h = hv < 0.0 ? 1 : hv > b ? b : static_cast<int>(hv);
    const int l = lv < 0.0 ? 0 : lv > b ? b - 1 : static_cast<int>(lv);
    if (h <= l) h = l + 1;
    // h is at most b + 1, which lies inside the spectrum because b is at most a third of it.
    return {l, h};
}

std::vector<int> FindPeakCandidates(const PeakWindowInput& in, double k) {
    std::vector<int> candidates;
    const PeakWindowBounds w = PeakWindowFor(in);
    if (w.empty() || w.high >= in.periodBins) return candidates;

    const double* s = in.spectrum;
    const int e = w.high - w.low + 1;
    double sum = 0.0;
    for (int i = w.low; i <= w.high; ++i) sum += s[i];
    const double mean = sum / e;
    double squares = 0.0;
    for (int i = w.low; i <= w.high; ++i) squares += (s[i] - mean) * (s[i] - mean);
    const double sigma = std::sqrt(squares / e);
    const double threshold = mean + k * sigma;

    for (int i = w.low + 1; i <= w.high - 1; ++i) {
        if (s[i] > s[i - 1] && s[i] > s[i + 1] && s[i] > threshold) candidates.push_back(i);
    }
    return candidates;
}

}  // namespace sorv
