// The integration: the designated line's power history folded at 512 trial periods spread over
// the period range, one image row per trial, so that the keyed ident adds up at the right
// period while the noise averages out.
//
// Each image cell is the sum of its rows in row order, exactly as a plain trial-by-trial,
// row-by-row fold with two divisions per step would give it. The work is only arranged for
// speed: the trials are shared between two threads, each walks the rows once for all of its
// trials (so each row's time and power are fetched once), and the whole number of periods
// before a row is found with a multiplication, falling back to the division whenever the
// product lies too near a whole number to be sure of the same result.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <functional>
#include <thread>

#include "engine/sorvantel_doc.h"

namespace sorv {

namespace {

struct TrialPlan {
    double period = 0.0;     // seconds; only trials with rows to fold use it
    double inverse = 0.0;    // 1 / period
    int foldRows = 0;        // rows 0 .. foldRows-1 are folded (the last g + 1 never are)
    bool multiply = false;   // the quotient stays small enough for the multiplication path
};

struct FoldInput {
    const double (*power)[kLines];
    int line;
    double rowRate;
    const TrialPlan* plans;
    double (*image)[kPhaseBins];
};

// Whole periods before time t: the integer part of t / P, as the division gives it.
inline double WholePeriods(double t, const TrialPlan& plan) {
    if (plan.multiply) {
        const double q = t * plan.inverse;
        const double whole = static_cast<double>(static_cast<int64_t>(q));
        const double frac = q - whole;
        // t * (1/P) differs from t / P by a few units in the last place at most; away from a
        // whole number both truncate alike.
        const double margin = q * 1e-14;
        if (frac > margin && frac < 1.0 - margin) return whole;
    }
    return std::trunc(t / plan.period);
}

void FoldTrials(const FoldInput& in, int firstTrial, int endTrial) {
    int rows = 0;
    for (int d = firstTrial; d < endTrial; ++d) rows = std::max(rows, in.plans[d].foldRows);
    const double R = in.rowRate;
    for (int j = 0; j < rows; ++j) {
        const double t = j / R;
        const double x = in.power[j][in.line];
        for (int d = firstTrial; d < endTrial; ++d) {
            const TrialPlan& plan = in.plans[d];
            if (j >= plan.foldRows) continue;
            const double m = WholePeriods(t, plan);
            const double phase = R * (t - m * plan.period) + 0.5;
            // Truncation toward zero, as the integer part is taken; never outside the image.
            if (!(phase > -1.0 && phase < kPhaseBins)) continue;
            in.image[d][static_cast<int>(phase)] += x;
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
    plan.inverse = 1.0 / period;
    plan.multiply = (static_cast<double>(rows) / rowRate) * plan.inverse < 1e9;
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
