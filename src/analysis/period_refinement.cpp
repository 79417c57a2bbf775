#include "analysis/period_refinement.h"

#include <algorithm>
#include <cmath>
#include <mutex>
#include <system_error>
#include <thread>

#include "analysis/keying_levels.h"

namespace sorv {

namespace {

constexpr int kChunk = 32;  // trials handed to a thread at a time

// Hands out trial periods in chunks, in ascending order, accumulating P exactly as a serial
// loop would (each period is the previous one plus 0.001).
class TrialDealer {
public:
    explicit TrialDealer(const TrialRange& r) : next_(r.first), last_(r.last), done_(r.empty()) {}

    // Fills up to kChunk periods; returns the count and the index of the first.
    int Deal(double* periods, long long& firstIndex) {
        std::lock_guard<std::mutex> lock(mutex_);
        firstIndex = index_;
        int n = 0;
        while (!done_ && n < kChunk) {
            periods[n++] = next_;
            const double following = next_ + kTrialStep;
            // A period so large that adding 1 ms no longer changes it ends the range.
            if (!(following <= last_) || following == next_) done_ = true;
            next_ = following;
        }
        index_ += n;
        return n;
    }
    long long dealt() const { return index_; }

private:
    std::mutex mutex_;
    double next_;
    double last_;
    bool done_;
    long long index_ = 0;
};

struct BestTrial {
    double score = 0.0;
    double period = -1.0;
    long long index = -1;
};

// Serial rule: a trial becomes the best only when its score is strictly greater, so among
// equal scores the earliest (shortest) trial stays; merging keeps the same choice.
void Consider(BestTrial& best, double score, double period, long long index) {
    if (score > best.score || (score == best.score && best.index >= 0 && index < best.index)) {
        best = {score, period, index};
    }
}

// Folds rows [j, e), which share the whole-period count whose start is mP seconds, when that
// can be done as one contiguous add. Row r's phase index is the integer part of
// u(r) = R * (t[r] - mP) + 0.5, and u grows by exactly one per row apart from rounding errors
// below 1e-10 (at most 65536 rows of at most a few thousand rows' period). So when the first
// row's u lies well inside its unit interval, the rows land on consecutive bins, and adding
// them in row order gives every bin exactly the sums a row-by-row fold gives. Returns false
// when the first row lies too close to a bin edge; the caller then computes each row.
bool FoldRunInOrder(const double* x, const double* t, int j, int e, double R, double mP, double* F) {
    constexpr double kMargin = 1e-6;
    const double u0 = R * (t[j] - mP) + 0.5;
    if (u0 >= kFoldBins) return true;  // this row and every later one lie beyond the buffer
    if (!(u0 >= 0.0)) return false;
    const double whole = std::floor(u0);
    const double fraction = u0 - whole;
    if (fraction < kMargin || fraction > 1.0 - kMargin) return false;
    const int i0 = static_cast<int>(whole);
    const int count = std::min(e - j, kFoldBins - i0);
    double* f = F + i0;
    const double* xs = x + j;
    for (int k = 0; k < count; ++k) f[k] += xs[k];
    return true;
}

}  // namespace

TrialRange TrialRangeForBin(int k, double c) {
    if (k <= 2 || !(c > 0.0) || !std::isfinite(c)) return {};
    const double first = 1.0 / ((k + 2) * c);
    const double last = 1.0 / ((k - 2) * c);
    if (!std::isfinite(first) || !std::isfinite(last)) return {};
    return {first, last};
}

PeriodRefiner::PeriodRefiner(int rows, double rowRate)
    : rows_(rows > 0 ? rows : 0), rowRate_(rowRate), times_(static_cast<size_t>(rows_)) {
    for (int j = 0; j < rows_; ++j) times_[static_cast<size_t>(j)] = j / rowRate_;
    const unsigned cores = std::thread::hardware_concurrency();
    threads_ = cores == 0 ? 1 : static_cast<int>(std::min(cores, 8u));
}

void PeriodRefiner::SetThreads(int threads) { threads_ = std::clamp(threads, 1, 64); }

void PeriodRefiner::Fold(const double* x, double P, double* F) const {
    std::fill(F, F + kFoldBins, 0.0);
    const double R = rowRate_;
    const double PR = P * R;
    // Rows j with rows - j - 1 > integer part of P*R take part: the last periods' worth of
    // rows never does.
    if (!(PR < rows_)) return;
    const int end = rows_ - 1 - static_cast<int>(PR);
    const double* t = times_.data();

    // The whole-period count m = integer part of t/P never decreases with j, so the rows fall
    // into runs of equal m. A run's end is estimated from the period and then settled with
    // the exact quotient, which leaves a handful of divisions per period instead of one per row.
    int j = 0;
    while (j < end) {
        const int m = static_cast<int>(t[j] / P);
        const double guess = std::ceil((m + 1.0) * PR);
        int e = guess <= j + 1.0 ? j + 1 : guess >= end ? end : static_cast<int>(guess);
        while (e > j + 1 && static_cast<int>(t[e - 1] / P) != m) --e;
        while (e < end && static_cast<int>(t[e] / P) == m) ++e;

        const double mP = m * P;
        if (!FoldRunInOrder(x, t, j, e, R, mP, F)) {
            for (int r = j; r < e; ++r) {
                const int i = static_cast<int>(R * (t[r] - mP) + 0.5);
                if (static_cast<unsigned>(i) < static_cast<unsigned>(kFoldBins)) F[i] += x[r];
            }
        }
        j = e;
    }
}

bool PeriodRefiner::ScoreTrial(const double* x, double P, double* F, double* Y,
                               double& score) const {
    const double PR = P * rowRate_;
    const double length = std::trunc(PR + 0.5);
    if (!(length >= 1.0)) return false;
    const int n = length > kFoldBins ? kFoldBins : static_cast<int>(length);
    const int q = rows_ / n;  // whole periods in the recording
    if (q == 0) return false;

    Fold(x, P, F);
    for (int i = 0; i < n; ++i) F[i] /= q;
    SmoothCircular(F, n, Y);
    const KeyingLevels levels = FindKeyingLevels(Y, n);
    score = (levels.g90 - levels.g50) / (rows_ / PR);
    return true;
}

RefinementResult PeriodRefiner::Refine(const double* series, const TrialRange& range) {
    RefinementResult result;
    if (range.empty() || rows_ == 0) return result;
    TrialDealer dealer(range);

    // Few trials are not worth a thread.
    const double expected = (range.last - range.first) / kTrialStep;
    const int threads = expected < 2.0 * kChunk ? 1 : threads_;
    std::vector<BestTrial> best(static_cast<size_t>(threads));

    auto work = [&](int w) {
        std::vector<double> fold(kFoldBins), smooth(kFoldBins);
        double periods[kChunk];
        long long first = 0;
        while (int n = dealer.Deal(periods, first)) {
            for (int c = 0; c < n; ++c) {
                double score = 0.0;
                if (ScoreTrial(series, periods[c], fold.data(), smooth.data(), score))
                    Consider(best[static_cast<size_t>(w)], score, periods[c], first + c);
            }
        }
    };

    std::vector<std::thread> helpers;
    for (int w = 1; w < threads; ++w) {
        try {
            helpers.emplace_back(work, w);
        } catch (const std::system_error&) {
            break;  // the calling thread takes the remaining trials
        }
    }
    work(0);
    for (auto& h : helpers) h.join();

    BestTrial overall;
    for (const BestTrial& b : best) {
        if (b.index >= 0) Consider(overall, b.score, b.period, b.index);
    }
    result.bestScore = overall.score;
    result.bestPeriod = overall.period;
    result.trials = dealer.dealt();
    return result;
}

}  // namespace sorv
