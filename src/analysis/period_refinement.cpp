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
        for (int r = j; r < e; ++r) {
            const int i = static_cast<int>(R * (t[r] - mP) + 0.5);
            if (static_cast<unsigned>(i) < static_cast<unsigned>(kFoldBins)) F[i] += x[r];
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
