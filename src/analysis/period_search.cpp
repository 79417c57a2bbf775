// The period search: the magnitude spectrum of the designated line's power history, which
// peaks at the repetition frequency of the beacon's ident. It stores the spectrum and clears
// the designated bin; picking a peak is left to the user or the searches.
#include <algorithm>
#include <cmath>
#include <vector>

#include "analysis/period_fft.h"
#include "engine/sorvantel_doc.h"

namespace sorv {

namespace {

// The largest power of two not above the row count (1 for 0 or 1 rows).
int SearchLength(int rows) {
    int n = 1;
    for (int h = rows; h > 1; h /= 2) n *= 2;
    return std::min(n, kMaxPeriodFftPoints);
}

// Removes the mean in place. A constant series becomes exactly zero, not the rounding
// residue of its mean, so that it yields an all-zero spectrum.
void RemoveMean(double* x, int n) {
    if (std::all_of(x, x + n, [&](double v) { return v == x[0]; })) {
        std::fill(x, x + n, 0.0);
        return;
    }
    double sum = 0.0;
    for (int i = 0; i < n; ++i) sum += x[i];
    const double mean = sum / n;
    for (int i = 0; i < n; ++i) x[i] -= mean;
}

// Scales the values so that the largest is exactly 1. An all-zero spectrum stays all zero.
void NormaliseToPeak(double* v, int count) {
    double peak = -1e99;
    for (int k = 0; k < count; ++k) peak = std::max(peak, v[k]);
    if (!(peak > 0.0)) return;
    for (int k = 0; k < count; ++k) v[k] /= peak;
}

}  // namespace

void CSorvantelDoc::OnPeriodSearch() {
    if (!LineIsValid()) return;
    const int line = m_nLine;
    m_nPeriodBin = -1;
    m_bLineSearched[line] = 1;

    const int n = SearchLength(m_nRows);
    m_pPeriodSpectrum.assign(static_cast<size_t>(n) + 1, 0.0);
    std::vector<double> im(static_cast<size_t>(n) + 1, 0.0);
    std::vector<double> cosTab(static_cast<size_t>(n) + 1);
    std::vector<double> sinTab(static_cast<size_t>(n) + 1);
    BuildPeriodTwiddles(n, cosTab.data(), sinTab.data());

    double* re = m_pPeriodSpectrum.data();
    for (int r = 0; r < n; ++r) re[r] = m_power[r][line];
    RemoveMean(re, n);
    PeriodFft(re, im.data(), n, cosTab.data(), sinTab.data());

    const int bins = n / 2;
    for (int k = 0; k < bins; ++k) {
        const double a = re[k] / n;
        const double b = im[k] / n;
        re[k] = std::sqrt(a * a + b * b);
    }
    m_nPeriodBins = bins;
    NormaliseToPeak(re, bins);

    m_nViewMode = 3;
    UpdateAllViews();
}

void CSorvantelDoc::OnNextSpec() {
    if (m_nViewMode != 3) return;
    if (m_nLine < 0 || m_nLine >= 127) return;
    ++m_nLine;
    OnPeriodSearch();
}

bool CSorvantelDoc::WriteDesignatedPeriodWindow() {
    if (m_nPeriodScale <= 0 || m_nPeriodBins <= 0) return false;
    const int shown = m_nPeriodBins / m_nPeriodScale;
    if (m_nPeriodBin < 1 || m_nPeriodBin >= shown) return false;
    const double binWidth = 0.5 * RowRate() / m_nPeriodBins;
    const double tp = 1.0 / (m_nPeriodBin * binWidth);
    // A window reaching zero or below would fold at no period; keep the old one then.
    if (!std::isfinite(tp) || tp <= 0.5) return false;
    m_dPeriodMax = tp + 0.5;
    m_dPeriodMin = tp - 0.5;
    return true;
}

void CSorvantelDoc::OnPrevSpec() {
    if (m_nViewMode != 3) return;
    if (m_nLine <= 0 || m_nLine > 127) return;
    --m_nLine;
    OnPeriodSearch();
}

}  // namespace sorv
