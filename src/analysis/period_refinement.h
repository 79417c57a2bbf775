// The automatic search's refinement of a candidate period: the designated line is folded at
// trial periods 1 ms apart over the candidate bin's neighbourhood, and each folded trace is
// scored by its keying contrast. This is the heaviest work of the program, so the trials are
// shared among threads; every trial is computed exactly as a single straightforward fold would
// compute it, and the best trial is chosen as a serial walk would choose it.
#pragma once

#include <cstddef>
#include <vector>

namespace sorv {

constexpr int kFoldBins = 4095;
constexpr double kTrialStep = 0.001;  // seconds between trial periods

// The trial range of candidate bin k of a period spectrum with bin width c: from the period of
// bin k + 2 up to that of bin k - 2. Bins 1 and 2 have no upper end and yield no range.
struct TrialRange {
    double first = 0.0;
    double last = -1.0;
    bool empty() const { return !(first <= last); }
};
TrialRange TrialRangeForBin(int k, double c);

struct RefinementResult {
    double bestScore = 0.0;
    double bestPeriod = -1.0;  // -1: no trial scored above 0
    long long trials = 0;      // trial periods tried
};

class PeriodRefiner {
public:
    // rows rows at rowRate rows per second; the series is given to each Refine call.
    PeriodRefiner(int rows, double rowRate);

    // Folds series[0..rows-1] at P = first, first + 0.001, ... (each the previous plus 0.001)
    // while P is not above last, and keeps the first trial with the greatest score above 0.
    RefinementResult Refine(const double* series, const TrialRange& range);

    // Threads used by Refine (1 = on the calling thread only); the default is one per core.
    void SetThreads(int threads);

    // Score of one trial period, or false when the trial is skipped (shorter than half a
    // row, or longer than the recording). fold and smooth hold kFoldBins values.
    bool ScoreTrial(const double* series, double period, double* fold, double* smooth,
                    double& score) const;

private:
    void Fold(const double* series, double period, double* fold) const;

    int rows_;
    double rowRate_;
    std::vector<double> times_;  // row j lies at times_[j] = j / rowRate seconds
    int threads_;
};

}  // namespace sorv
