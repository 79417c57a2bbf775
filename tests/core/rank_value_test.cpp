// The selection behind the detector's medians must give, to the bit, what nth_element gives:
// every level, floor and residual noise of a search rests on it.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <random>
#include <vector>

#include "analysis/rank_value.h"

namespace sorv::test {
namespace {

double NthElement(std::vector<double> v, size_t rank) {
    std::nth_element(v.begin(), v.begin() + static_cast<long>(rank), v.end());
    return v[rank];
}

void ExpectSameAtEveryRankOf(const std::vector<double>& v, const char* what) {
    for (size_t rank = 0; rank < v.size(); rank += std::max<size_t>(1, v.size() / 37)) {
        const double want = NthElement(v, rank);
        const double got = ValueAtRank(v.data(), v.size(), rank);
        ASSERT_EQ(std::signbit(got), std::signbit(want)) << what << ", " << v.size() << " values, rank " << rank;
        ASSERT_EQ(got, want) << what << ", " << v.size() << " values, rank " << rank;
    }
    const size_t last = v.size() - 1;
    EXPECT_EQ(ValueAtRank(v.data(), v.size(), last), NthElement(v, last)) << what << ", the largest";
}

TEST(RankValue, GivesWhatNthElementGivesForLineNoiseOfEverySize) {
    std::mt19937 rng(11);
    std::exponential_distribution<double> noise(1.0);
    for (size_t n : {1u, 2u, 3u, 31u, 32u, 33u, 64u, 127u, 128u, 511u, 512u, 513u, 2048u, 3001u}) {
        std::vector<double> v(n);
        for (double& x : v) x = noise(rng) * 0.37;
        ExpectSameAtEveryRankOf(v, "exponential noise");
    }
}

TEST(RankValue, HoldsForTiesSignsZerosAndExtremes) {
    std::mt19937 rng(5);
    std::uniform_int_distribution<int> pick(0, 9);
    const double specials[] = {0.0, -0.0, 1.0, -1.0, std::numeric_limits<double>::infinity(),
                               -std::numeric_limits<double>::infinity(), std::numeric_limits<double>::denorm_min(),
                               std::numeric_limits<double>::max(), 1e-300, -3.5};
    for (size_t n : {5u, 40u, 700u, 2048u}) {
        std::vector<double> v(n);
        for (double& x : v) x = specials[pick(rng)];
        // Only the order of -0 and +0 can differ from nth_element's, which counts them equal:
        // both are zero, and a zero's sign is all that may change.
        for (size_t rank = 0; rank < n; rank += std::max<size_t>(1, n / 23)) {
            const double want = NthElement(v, rank);
            const double got = ValueAtRank(v.data(), n, rank);
            ASSERT_EQ(got, want) << n << " special values, rank " << rank;
        }
    }
    // All equal, and one value among many equal ones.
    std::vector<double> same(1000, 2.5);
    ExpectSameAtEveryRankOf(same, "all equal");
    same[417] = 2.5000000000000004;
    ExpectSameAtEveryRankOf(same, "one just above the rest");
    same[417] = -7.0;
    ExpectSameAtEveryRankOf(same, "one far below the rest");
}

TEST(RankValue, SeparatesValuesThatDifferOnlyInTheirLowestBits) {
    // Keys that share all but the last few bits: the passes must reach the lowest digit.
    std::vector<double> v;
    for (int i = 0; i < 300; ++i) v.push_back(std::nextafter(1.0, 2.0) + (i % 7) * std::numeric_limits<double>::epsilon());
    std::shuffle(v.begin(), v.end(), std::mt19937(2));
    ExpectSameAtEveryRankOf(v, "neighbouring doubles");
    std::vector<double> wide;
    for (int i = 0; i < 900; ++i) wide.push_back(std::ldexp(1.0 + (i % 13) * 1e-9, (i * 37) % 400 - 200));
    ExpectSameAtEveryRankOf(wide, "values over 400 binary orders of magnitude");
}

TEST(RankValue, IsZeroForNothingAndLeavesItsInputAlone) {
    EXPECT_EQ(ValueAtRank(nullptr, 0, 0), 0.0);
    EXPECT_EQ(UpperMedian(nullptr, 0), 0.0);
    const std::vector<double> v = {3.0, 1.0, 2.0, 5.0};
    EXPECT_EQ(ValueAtRank(v.data(), v.size(), 4), 0.0);  // no such rank
    std::vector<double> copy = v;
    EXPECT_EQ(UpperMedian(copy.data(), copy.size()), 3.0);  // the upper of the middle two
    EXPECT_EQ(copy, v);
}

}  // namespace
}  // namespace sorv::test
