#include <gtest/gtest.h>

#include <vector>

#include "analysis/peak_window.h"
#include "analysis/period_refinement.h"

namespace sorv::test {
namespace {

// The start-up band (row rate 31.25) with 4096 rows: 2048 bins of 0.00762939453125 Hz.
PeakWindowInput Window4096(const std::vector<double>& s) {
    PeakWindowInput in;
    in.spectrum = s.data();
    in.periodBins = static_cast<int>(s.size());
    in.periodScale = 32;
    in.rowRate = 31.25;
    in.periodMin = 6.0;
    in.periodMax = 15.0;
    return in;
}

TEST(PeakWindow, StartUpBandWith4096RowsCoversBins8To21AndBin16Tries2081Periods) {
    std::vector<double> s(2048, 0.0);
    const PeakWindowBounds w = PeakWindowFor(Window4096(s));
    EXPECT_EQ(w.low, 8);
    EXPECT_EQ(w.high, 21);

    const double c = PeriodBinWidth(31.25, 2048);
    EXPECT_EQ(c, 0.00762939453125);
    const TrialRange r = TrialRangeForBin(16, c);
    EXPECT_NEAR(r.first, 7.282, 0.001);
    EXPECT_NEAR(r.last, 9.362, 0.001);
    std::vector<double> silence(4096, 0.0);
    PeriodRefiner refiner(4096, 31.25);
    const RefinementResult result = refiner.Refine(silence.data(), r);
    EXPECT_EQ(result.trials, 2081);
    EXPECT_EQ(result.bestPeriod, -1.0);  // nothing keyed: no score above 0
}

TEST(PeakWindow, CandidatesComeInBinOrderAboveMeanPlusKSigma) {
    std::vector<double> s(2048, 0.1);
    s[10] = 0.9;  // weaker than bin 15, but a longer period: it comes first
    s[15] = 1.0;
    s[13] = 0.3;  // a local maximum, but below mean + 2 sigma (about 0.83)
    EXPECT_EQ(FindPeakCandidates(Window4096(s), 2.0), (std::vector<int>{10, 15}));
    EXPECT_TRUE(FindPeakCandidates(Window4096(s), 4.0).empty());
}

TEST(PeakWindow, PeaksOnTheWindowEdgesOrOutsideAreNeverCandidates) {
    std::vector<double> s(2048, 0.1);
    s[8] = 1.0;   // the low edge lacks a neighbour inside the window
    s[21] = 1.0;  // so does the high edge
    s[30] = 1.0;  // outside the period limits
    s[4] = 1.0;
    EXPECT_TRUE(FindPeakCandidates(Window4096(s), 2.0).empty());
}

TEST(PeakWindow, SemiAutoFactorNeedsEighteenBins) {
    // 14 bins: one value can exceed the mean by at most 13/sqrt(14) = 3.47 sigma.
    std::vector<double> s(2048, 0.1);
    s[15] = 1000.0;
    EXPECT_EQ(FindPeakCandidates(Window4096(s), 2.0), std::vector<int>{15});
    EXPECT_TRUE(FindPeakCandidates(Window4096(s), 4.0).empty());

    // 8192 rows: the window grows to bins 17..43 and the same kind of peak is found.
    std::vector<double> wide(4096, 0.1);
    wide[30] = 1000.0;
    PeakWindowInput in = Window4096(wide);
    const PeakWindowBounds w = PeakWindowFor(in);
    EXPECT_EQ(w.low, 17);
    EXPECT_EQ(w.high, 43);
    EXPECT_EQ(FindPeakCandidates(in, 4.0), std::vector<int>{30});
}

TEST(PeakWindow, TooFewBinsOrInvertedLimitsGiveNothing) {
    std::vector<double> s(64, 0.1);
    s[1] = 1.0;
    // b = 64 / 32 = 2: no bin has two neighbours, and bin -1 is never read.
    EXPECT_TRUE(PeakWindowFor(Window4096(s)).empty());
    EXPECT_TRUE(FindPeakCandidates(Window4096(s), 2.0).empty());
    std::vector<double> none;
    EXPECT_TRUE(FindPeakCandidates(Window4096(none), 2.0).empty());

    // Limits the wrong way round leave a two-bin window with no inside.
    std::vector<double> big(2048, 0.1);
    big[15] = 1000.0;
    PeakWindowInput in = Window4096(big);
    in.periodMin = 15.0;
    in.periodMax = 6.0;
    EXPECT_TRUE(FindPeakCandidates(in, 2.0).empty());
    // A zero or negative period limit is limited to the shown bins, not converted from infinity.
    in.periodMin = 0.0;
    in.periodMax = -1.0;
    const PeakWindowBounds w = PeakWindowFor(in);
    EXPECT_EQ(w.low, 0);
    EXPECT_EQ(w.high, 64);
}

TEST(TrialRange, BinsOneAndTwoHaveNoBoundedRange) {
    const double c = PeriodBinWidth(31.25, 2048);
    EXPECT_TRUE(TrialRangeForBin(1, c).empty());
    EXPECT_TRUE(TrialRangeForBin(2, c).empty());
    EXPECT_TRUE(TrialRangeForBin(0, c).empty());
    EXPECT_FALSE(TrialRangeForBin(3, c).empty());
    EXPECT_TRUE(TrialRangeForBin(16, 0.0).empty());
}

}  // namespace
}  // namespace sorv::test
