// The integration: the designated line's power history folded at 512 trial periods spread over
// the period range, one image row per trial, so that the keyed ident adds up at the right
// period while the noise averages out.
//
// Each image cell is the sum of its rows in row order, exactly as a plain trial-by-trial,
// row-by-row fold with two divisions per step would give it. The work is only arranged for
// speed: the trials are shared between two threads, each walks the rows in blocks fetched
// once for all of its trials (each row's time and power), and the whole number of periods
// before a row, which changes only once a period, is divided out again only for the rows
// near the end of each period where it may change.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <functional>
#include <thread>

#include "engine/sorvantel_doc.h"

namespace sorv {

namespace {

struct TrialPlan {
    double period = 0.0;  // seconds; only trials with rows to fold use it
    int foldRows = 0;     // rows 0 .. foldRows-1 are folded (the last g + 1 never are)
};

struct FoldInput {
    const double (*power)[kLines];
    int line;
    double rowRate;
    const TrialPlan* plans;
    double (*image)[kPhaseBins];
};

// After the division gave `whole` (the integer part of t / P) at row j: below row
// (whole + 1) P R, less a relative margin far above the few units in the last place that
// t = j / R and t / P can be off, the quotient stays below whole + 1, and it never falls as
// t grows. Until that row the division need not be done again.
int RecheckRow(double whole, double period, double rowRate, int j) {
    const double bound = (whole + 1.0) * period * rowRate * (1.0 - 1e-12);
    if (!(bound > static_cast<double>(j + 1))) return j + 1;
    if (bound >= static_cast<double>(kMaxRows)) return kMaxRows;
    return static_cast<int>(bound);
}

// Where one trial stands in the walk over the rows: the whole periods before the current row
// and the first row at which that count may have grown.
struct PeriodCount {
    double whole = 0.0;
    int recheckRow = 0;
};

// Folds rows j0 .. j1-1 (times t[], powers x[] from row j0 on) into one trial's image row and
// returns the trial's period count for the next block. (Kept in locals, not behind a
// reference that the image writes might alias, so that the loop runs from registers.)
PeriodCount FoldBlock(const double* t, const double* x, int j0, int j1, double period, double rowRate,
                      PeriodCount count, double* imageRow) {
    double whole = count.whole;
    int recheckRow = count.recheckRow;
    for (int j = j0; j < j1; ++j) {
        const double tj = t[j - j0];
        if (j >= recheckRow) {
            whole = std::trunc(tj / period);
            recheckRow = RecheckRow(whole, period, rowRate, j);
        }
        const double phase = rowRate * (tj - whole * period) + 0.5;
        // Truncation toward zero, as the integer part is taken; never outside the image.
        if (!(phase > -1.0 && phase < kPhaseBins)) continue;
        imageRow[static_cast<int>(phase)] += x[j - j0];
    }
    return {whole, recheckRow};
}

// Walks the rows in blocks; within a block, trial by trial. Each cell still receives its
// rows in row order. The block's times and powers are fetched once for all trials.
void FoldTrials(const FoldInput& in, int firstTrial, int endTrial) {
    constexpr int kBlock = 256;
    PeriodCount counts[kTrials];
    double t[kBlock];
    double x[kBlock];
    int rows = 0;
    for (int d = firstTrial; d < endTrial; ++d) rows = std::max(rows, in.plans[d].foldRows);
    for (int j0 = 0; j0 < rows; j0 += kBlock) {
        const int j1 = std::min(rows, j0 + kBlock);
        for (int j = j0; j < j1; ++j) {
            t[j - j0] = j / in.rowRate;
            x[j - j0] = in.power[j][in.line];
        }
        for (int d = firstTrial; d < endTrial; ++d) {
            const int end = std::min(j1, in.plans[d].foldRows);
            if (end > j0) counts[d] = FoldBlock(t, x, j0, end, in.plans[d].period, in.rowRate, counts[d], in.image[d]);
        }
    }
}

// The plan of one trial. A trial whose period is not a positive finite number folds nothing
// and has the length 0: a zero period has no fold at all, and a negative one would give
// negative lengths to the graph, the decoding and playback.
bool PeriodUsable(double period) { return period > 0.0 && std::isfinite(period); }

TrialPlan PlanTrial(double period, double rowRate, int rows) {
    TrialPlan plan;
    plan.period = period;
    if (!PeriodUsable(period)) return plan;
    const double g = std::trunc(period * rowRate);  // whole rows in one period
    if (g < static_cast<double>(rows) - 1.0) plan.foldRows = rows - 1 - static_cast<int>(g);
    return plan;
}

int TrialLength(double period, double rowRate) {
    const double n = period * rowRate + 0.5;
    if (!(n > 0.0)) return 0;  // also a NaN
    if (n > 511.0) return 511;
    return static_cast<int>(n);
}

// Folds the two halves of the trials side by side; false (nothing done) when a second thread
// would not pay or cannot be had.
bool FoldOnTwoThreads(const FoldInput& in, int rows) {
    if (rows < 2048 || std::thread::hardware_concurrency() < 2) return false;
    std::thread helper;
    try {
        helper = std::thread(FoldTrials, std::cref(in), 0, kTrials / 2);
    } catch (...) {
        return false;
    }
    FoldTrials(in, kTrials / 2, kTrials);
    helper.join();
    return true;
}

}  // namespace

void CSorvantelDoc::OnIntegrate() {
    if (!LineIsValid()) return;
    m_strIdent.clear();
    std::fill_n(&m_integral[0][0], static_cast<size_t>(kTrials) * kPhaseBins, 0.0);

    const double R = RowRate();
    const bool rateUsable = R > 0.0 && std::isfinite(R);
    const int rows = std::min(m_nRows, kMaxRows);
    TrialPlan plans[kTrials];
    for (int d = 0; d < kTrials; ++d) {
        const double P = m_dPeriodMin + (m_dPeriodMax - m_dPeriodMin) * (d * 0.001953125);
        if (rateUsable) plans[d] = PlanTrial(P, R, rows);
        m_nTrialRows[d] = rateUsable && PeriodUsable(P) ? TrialLength(P, R) : 0;
    }

    if (rateUsable) {
        const FoldInput in{m_power.get(), m_nLine, R, plans, m_integral.get()};
        // Two threads only pay for a long recording; each owns half of the image rows.
        if (!FoldOnTwoThreads(in, rows)) FoldTrials(in, 0, kTrials);
    }

    m_nViewMode = 4;
    UpdateAllViews();
}

void CSorvantelDoc::SetRangeFromBin(int k) {
    // Bin 0 stands for no period, and bins outside the spectrum for nothing: neither may
    // become an infinite or negative period.
    if (k < 1 || k >= m_nPeriodBins) return;
    const double c = RowRate() * 0.5 / m_nPeriodBins;
    if (!(c > 0.0) || !std::isfinite(c)) return;
    m_nPeriodBin = k;
    m_dPeriodMax = 1.0 / (c * (k - 0.5));
    m_dPeriodMin = 1.0 / (c * (k + 0.5));
    OnIntegrate();
}

void CSorvantelDoc::NarrowRangeAround(double p) {
    if (!std::isfinite(p)) return;
    const double quarter = (m_dPeriodMax - m_dPeriodMin) / 4.0;
    m_dPeriodMax = p + quarter;
    m_dPeriodMin = p - quarter;
    OnIntegrate();
}

}  // namespace sorv
