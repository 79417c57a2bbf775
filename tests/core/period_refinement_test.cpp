#include <gtest/gtest.h>

#include <bit>
#include <cstdint>
#include <memory>
#include <vector>

#include "analysis/peak_window.h"
#include "analysis/period_refinement.h"
#include "support/keyed_rows.h"
#include "support/refinement_reference.h"

namespace sorv::test {
namespace {

uint64_t Bits(double d) { return std::bit_cast<uint64_t>(d); }

struct Store {
    std::unique_ptr<double[][128]> power;
    std::vector<double> column;
    int rows;
    int line;
    Store(int n, const KeyedRowsSpec& spec) : power(new double[n][128]()), column(n), rows(n), line(spec.line) {
        FillKeyedRows(power.get(), n, spec);
        for (int j = 0; j < n; ++j) column[j] = power[j][line];
    }
    ReferenceFold Reference(double rowRate) const { return {power.get(), line, rows, rowRate}; }
};

// Every trial's score, and the chosen best, must be the reference's to the last bit, on one
// thread and on several.
void ExpectIdentical(const Store& store, double rowRate, const TrialRange& range) {
    PeriodRefiner refiner(store.rows, rowRate);
    std::vector<double> fold(kFoldBins), smooth(kFoldBins), F, Y;
    int compared = 0;
    for (double P = range.first; P <= range.last; P += kTrialStep) {
        double fast = 0.0, slow = 0.0;
        const bool a = refiner.ScoreTrial(store.column.data(), P, fold.data(), smooth.data(), fast);
        const bool b = ReferenceTrialScore(store.Reference(rowRate), P, F, Y, slow);
        ASSERT_EQ(a, b) << P;
        if (a) {
            ASSERT_EQ(Bits(fast), Bits(slow)) << "period " << P;
            ++compared;
        }
    }
    EXPECT_GT(compared, 0);

    const RefinementResult reference = ReferenceRefine(store.Reference(rowRate), range);
    for (int threads : {1, 2, 3}) {
        refiner.SetThreads(threads);
        const RefinementResult r = refiner.Refine(store.column.data(), range);
        EXPECT_EQ(r.trials, reference.trials) << threads;
        EXPECT_EQ(Bits(r.bestScore), Bits(reference.bestScore)) << threads;
        EXPECT_EQ(Bits(r.bestPeriod), Bits(reference.bestPeriod)) << threads;
    }
}

TEST(PeriodRefinement, MatchesTheStraightforwardFoldBitForBit) {
    KeyedRowsSpec spec;  // DGU every 9 s at the start-up row rate
    const Store store(4096, spec);
    const double c = PeriodBinWidth(31.25, 2048);
    ExpectIdentical(store, 31.25, TrialRangeForBin(16, c));  // 2081 trials around 8 s
    ExpectIdentical(store, 31.25, TrialRangeForBin(15, c));
    // 8.016 s is 250.5 rows: every other period starts half a row off, so the phases of
    // whole runs of rows sit on a rounding edge and must be computed row by row.
    ExpectIdentical(store, 31.25, TrialRange{8.016, 8.016});
    ExpectIdentical(store, 31.25, TrialRange{8.0, 8.0});

    const RefinementResult r = ReferenceRefine(store.Reference(31.25), TrialRangeForBin(15, c));
    EXPECT_NEAR(r.bestPeriod, 9.0, 0.05);  // the keyed period is found
    EXPECT_GT(r.bestScore, 80.0);
}

TEST(PeriodRefinement, MatchesOnAnOddRowCountAndRowRate) {
    KeyedRowsSpec spec;
    spec.rowRate = 23.4375;  // 0..1500 Hz, 2 rows a frame
    spec.periodSeconds = 12.345;
    spec.ident = "K7Q";
    spec.line = 17;
    const Store store(5001, spec);
    const double c = PeriodBinWidth(spec.rowRate, 2048);
    ExpectIdentical(store, spec.rowRate, TrialRangeForBin(17, c));
    // Periods of two whole periods in the recording, and of one, where only a few rows fold.
    ExpectIdentical(store, spec.rowRate, TrialRange{100.0, 100.2});
    ExpectIdentical(store, spec.rowRate, TrialRange{213.0, 213.4});
    // Periods whose whole-period boundaries fall exactly on rows (3.2896 s is 77.1 rows, so
    // row 771 starts period 10): there the estimate of a period's end is one row off and only
    // the exact quotient puts the row right.
    ExpectIdentical(store, spec.rowRate, TrialRange{3.2896, 3.2896});
    ExpectIdentical(store, spec.rowRate, TrialRange{1.63968, 1.63968});
}

TEST(PeriodRefinement, PeriodsBeyondTheFoldBufferFoldOnlyIts4095Bins) {
    KeyedRowsSpec spec;
    spec.rowRate = 250.0;  // 20 s periods are 5000 rows
    spec.periodSeconds = 20.0;
    spec.dotRows = 40;
    const Store store(16384, spec);
    ExpectIdentical(store, 250.0, TrialRange{19.98, 20.03});
}

TEST(PeriodRefinement, TrialsLongerThanTheRecordingAreSkipped) {
    KeyedRowsSpec spec;
    const Store store(100, spec);  // 3.2 s of rows, trial periods of 5 s
    PeriodRefiner refiner(100, 31.25);
    const RefinementResult r = refiner.Refine(store.column.data(), TrialRange{5.0, 5.0105});
    EXPECT_EQ(r.trials, 11);
    EXPECT_EQ(r.bestPeriod, -1.0);
    EXPECT_EQ(r.bestScore, 0.0);
}

}  // namespace
}  // namespace sorv::test
