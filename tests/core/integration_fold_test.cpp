#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>
#include <vector>

#include "engine/sorvantel_doc.h"
#include "support/fake_platform.h"

namespace sorv::test {
namespace {

// The fold written the plain way: trial by trial, row by row, two divisions a step. A trial
// whose period is not a positive finite number stays empty with the length 0.
struct ReferenceImage {
    std::vector<double> cells = std::vector<double>(static_cast<size_t>(kTrials) * kPhaseBins, 0.0);
    int lengths[kTrials] = {};
    double at(int d, int i) const { return cells[static_cast<size_t>(d) * kPhaseBins + i]; }
};

ReferenceImage ReferenceFold(const CSorvantelDoc& doc) {
    ReferenceImage out;
    const double R = (doc.m_nBandHigh - doc.m_nBandLow) / (128.0 / doc.m_nRowsPerFrame);
    for (int d = 0; d < kTrials; ++d) {
        const double P = doc.m_dPeriodMin + (doc.m_dPeriodMax - doc.m_dPeriodMin) * (d * 0.001953125);
        if (!(P > 0.0) || !std::isfinite(P)) continue;
        const long long g = static_cast<long long>(P * R);
        for (int j = 0; doc.m_nRows - j - 1 > g; ++j) {
            const double t = j / R;
            const long long m = static_cast<long long>(t / P);
            const long long i = static_cast<long long>(R * (t - m * P) + 0.5);
            if (i < kPhaseBins) out.cells[static_cast<size_t>(d) * kPhaseBins + i] += doc.m_power[j][doc.m_nLine];
        }
        const double n = P * R + 0.5;
        out.lengths[d] = n > 511 ? 511 : static_cast<int>(n);
    }
    return out;
}

class IntegrationTest : public ::testing::Test {
protected:
    FakePlatform platform;
    CSorvantelDoc doc{platform};
    void RandomLine(int rows, int line, uint32_t seed) {
        std::mt19937 rng(seed);
        std::uniform_real_distribution<double> u(0.0, 1e4);
        doc.m_nRows = rows;
        doc.m_nLine = line;
        for (int r = 0; r < rows; ++r) doc.m_power[r][line] = u(rng);
    }
    void Band(int lo, int hi, int rowsPerFrame) {
        doc.m_nBandLow = lo;
        doc.m_nBandHigh = hi;
        doc.m_nRowsPerFrame = rowsPerFrame;
    }
    void Range(double lo, double hi) {
        doc.m_dPeriodMin = lo;
        doc.m_dPeriodMax = hi;
    }
    void ExpectSameAsReference(const char* what) {
        const ReferenceImage ref = ReferenceFold(doc);
        doc.OnIntegrate();
        for (int d = 0; d < kTrials; ++d) {
            ASSERT_EQ(doc.m_nTrialRows[d], ref.lengths[d]) << what << " trial " << d;
            for (int i = 0; i < kPhaseBins; ++i)
                ASSERT_EQ(doc.m_integral[d][i], ref.at(d, i)) << what << " trial " << d << " bin " << i;
        }
    }
    double TrialSum(int d) const {
        double s = 0;
        for (int i = 0; i < kPhaseBins; ++i) s += doc.m_integral[d][i];
        return s;
    }
};

// The command folds trials on two threads, in blocks of rows, dividing out the whole periods
// only near the end of each period; every cell must still be the plain fold's, bit for bit.
TEST_F(IntegrationTest, ImageIsBitIdenticalToThePlainFold) {
    struct Case { int lo, hi, rpf, rows; double pmin, pmax; const char* what; };
    const Case cases[] = {
        {0, 2000, 2, 5000, 9.0, 10.0, "default range"},
        {0, 2000, 2, 1500, 2.0, 3.0, "a short recording, folded on one thread"},
        {0, 2000, 2, 5000, 10.0, 9.0, "inverted range"},
        {0, 2000, 2, 4000, 0.32, 0.32, "P R = 10"},
        {0, 2048, 2, 6000, 2.0, 2.0, "exact quotients at R = 32"},
        {0, 2048, 2, 6000, 1.5, 4.0, "R = 32, many exact quotients"},
        {812, 1188, 8, 7001, 6.0, 15.0, "R = 23.5"},
        {-500, 2500, 1, 3000, 15.0, 30.0, "periods beyond 512 rows"},
        {0, 2000, 2, 3000, -1.0, 1.0, "range through zero"},
        {0, 2000, 2, 2500, 1e-6, 2e-6, "periods shorter than a row"},
        {0, 2000, 2, 2500, 1e-12, 1e-11, "quotients beyond the multiplication path"},
    };
    uint32_t seed = 1;
    for (const Case& c : cases) {
        Band(c.lo, c.hi, c.rpf);
        RandomLine(c.rows, 77, seed++);
        Range(c.pmin, c.pmax);
        ExpectSameAsReference(c.what);
    }
}

TEST_F(IntegrationTest, FullStoreIsBitIdenticalToThePlainFold) {
    RandomLine(kMaxRows, 3, 99);
    Range(8.7, 9.3);
    ExpectSameAsReference("full store");
}

TEST_F(IntegrationTest, EqualMinimumAndMaximumGiveIdenticalTrials) {
    RandomLine(3000, 10, 5);
    Range(7.3, 7.3);
    doc.OnIntegrate();
    for (int d = 1; d < kTrials; ++d) {
        ASSERT_EQ(doc.m_nTrialRows[d], doc.m_nTrialRows[0]);
        ASSERT_TRUE(std::equal(doc.m_integral[d], doc.m_integral[d] + kPhaseBins, doc.m_integral[0])) << d;
    }
}

// P R = 10 on a line of ones. The phase bins share the rows evenly, with the rows whose phase
// rounds up to a whole period in bin 10 beside bin 0: the two together make one bin's share.
TEST_F(IntegrationTest, TenRowPeriodSharesRowsEvenlyOverElevenBins) {
    doc.m_nRows = 1000;
    doc.m_nLine = 0;
    for (int r = 0; r < 1000; ++r) doc.m_power[r][0] = 1.0;
    Range(0.32, 0.32);  // R = 31.25
    doc.OnIntegrate();
    for (int d : {0, 256, 511}) {
        EXPECT_EQ(doc.m_nTrialRows[d], 10);
        EXPECT_EQ(TrialSum(d), 1000 - 11);  // the last g + 1 = 11 rows are not folded
        const double share = doc.m_integral[d][1];
        for (int i = 2; i <= 9; ++i) EXPECT_NEAR(doc.m_integral[d][i], share, 1.0) << i;
        EXPECT_GT(doc.m_integral[d][10], 0.0);
        EXPECT_NEAR(doc.m_integral[d][0] + doc.m_integral[d][10], share, 1.0);
        for (int i = 11; i < kPhaseBins; ++i) ASSERT_EQ(doc.m_integral[d][i], 0.0);
    }
}

TEST_F(IntegrationTest, TheLastGPlusOneRowsAreNeverFolded) {
    doc.m_nRows = 2000;
    doc.m_nLine = 1;
    Range(3.2, 3.2);  // g = 100 rows at R = 31.25
    for (int r = 2000 - 101; r < 2000; ++r) doc.m_power[r][1] = 1.0;
    doc.OnIntegrate();
    EXPECT_EQ(TrialSum(256), 0.0);
    doc.m_power[2000 - 102][1] = 1.0;
    doc.OnIntegrate();
    EXPECT_EQ(TrialSum(256), 1.0);
}

TEST_F(IntegrationTest, ClearsTheIdentAndShowsTheIntegralGraph) {
    RandomLine(500, 2, 1);
    doc.m_strIdent = "ABC";
    doc.OnIntegrate();
    EXPECT_EQ(doc.m_strIdent, "");
    EXPECT_EQ(doc.m_nViewMode, 4);
}

TEST_F(IntegrationTest, NonPositiveOrNonFinitePeriodsGiveEmptyTrials) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    for (auto [lo, hi] : {std::pair{0.0, 0.0}, {-5.0, -1.0}, {-9.0, 9.0}, {nan, 9.0}, {1.0, inf}}) {
        RandomLine(3000, 4, 2);
        Range(lo, hi);
        std::fill_n(&doc.m_integral[0][0], kTrials * kPhaseBins, 7.0);
        doc.OnIntegrate();
        for (int d = 0; d < kTrials; ++d) {
            const double P = lo + (hi - lo) * (d * 0.001953125);
            if (P > 0.0 && std::isfinite(P)) continue;
            ASSERT_EQ(doc.m_nTrialRows[d], 0) << lo << ".." << hi << " trial " << d;
            ASSERT_EQ(TrialSum(d), 0.0) << lo << ".." << hi << " trial " << d;
        }
    }
}

TEST_F(IntegrationTest, NarrowingAtTheMiddleHalvesTheRangeAroundItsCentre) {
    RandomLine(1000, 4, 3);
    Range(8.0, 10.0);
    doc.NarrowRangeAround(9.0);
    EXPECT_DOUBLE_EQ(doc.m_dPeriodMin, 8.5);
    EXPECT_DOUBLE_EQ(doc.m_dPeriodMax, 9.5);
    EXPECT_EQ(doc.m_nViewMode, 4);
}

TEST_F(IntegrationTest, DoesNothingWithoutAValidLineOrRows) {
    RandomLine(1000, 4, 3);
    doc.m_integral[256][5] = 42.0;
    doc.m_strIdent = "ABC";
    doc.m_nLine = -1;
    doc.OnIntegrate();
    doc.m_nLine = 4;
    doc.m_nRows = 0;
    doc.OnIntegrate();
    EXPECT_EQ(doc.m_integral[256][5], 42.0);
    EXPECT_EQ(doc.m_strIdent, "ABC");
}

}  // namespace
}  // namespace sorv::test
