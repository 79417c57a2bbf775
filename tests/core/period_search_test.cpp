#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <complex>
#include <random>
#include <vector>

#include "analysis/period_fft.h"
#include "engine/sorvantel_doc.h"
#include "support/fake_platform.h"

namespace sorv::test {
namespace {

TEST(PeriodFft, MatchesADirectTransformForEveryPowerOfTwoSize) {
    std::mt19937 rng(3);
    std::uniform_real_distribution<double> u(-1.0, 1.0);
    for (int n : {1, 2, 4, 8, 64, 512, 2048}) {
        std::vector<double> re(n), im(n), cosTab(n + 1), sinTab(n + 1);
        for (int j = 0; j < n; ++j) re[j] = u(rng), im[j] = u(rng);
        const std::vector<double> re0 = re, im0 = im;
        BuildPeriodTwiddles(n, cosTab.data(), sinTab.data());
        ASSERT_TRUE(PeriodFft(re.data(), im.data(), n, cosTab.data(), sinTab.data()));
        for (int k = 0; k < n; k += std::max(1, n / 64)) {
            std::complex<double> sum = 0;
            for (int j = 0; j < n; ++j)
                sum += std::complex<double>(re0[j], im0[j]) * std::polar(1.0, -2 * M_PI * double(j) * k / n);
            ASSERT_NEAR(re[k], sum.real(), 1e-9 * n) << n << " " << k;
            ASSERT_NEAR(im[k], sum.imag(), 1e-9 * n) << n << " " << k;
        }
    }
}

TEST(PeriodFft, RefusesSizesThatAreNoPowerOfTwoUpTo65536) {
    std::vector<double> re(131073, 1.0), im(131073, 0.0), c(131073), s(131073);
    for (int n : {0, 3, 1000, 131072}) EXPECT_FALSE(PeriodFft(re.data(), im.data(), n, c.data(), s.data())) << n;
    EXPECT_EQ(re[0], 1.0);
}

class PeriodSearchTest : public ::testing::Test {
protected:
    FakePlatform platform;
    CSorvantelDoc doc{platform};
    void Rows(int n, const std::function<double(int)>& power, int line = 40) {
        doc.m_nRows = n;
        doc.m_nLine = line;
        for (int r = 0; r < n; ++r) doc.m_power[r][line] = power(r);
    }
    int PeakBin() const {
        auto b = doc.m_pPeriodSpectrum.begin();
        return static_cast<int>(std::max_element(b, b + doc.m_nPeriodBins) - b);
    }
};

TEST_F(PeriodSearchTest, UsesTheLargestPowerOfTwoRowsAndHalfAsManyBins) {
    for (auto [rows, bins] : {std::pair{1000, 256}, {1024, 512}, {1, 0}, {2, 1}, {65536, 32768}}) {
        Rows(rows, [](int r) { return r % 7; });
        doc.OnPeriodSearch();
        EXPECT_EQ(doc.m_nPeriodBins, bins) << rows;
        EXPECT_GE(doc.m_pPeriodSpectrum.size(), static_cast<size_t>(2 * bins)) << rows;
    }
}

TEST_F(PeriodSearchTest, KeyingOf100On100OffPeaksAtBinNOver200WithExactlyOne) {
    // Only the first N = 4096 rows are used: a huge row 4096 must change nothing.
    Rows(5000, [](int r) { return r == 4096 ? 1e12 : (r / 100) % 2 ? 0.0 : 3.0; });
    doc.m_nPeriodBin = 12;
    doc.OnPeriodSearch();
    EXPECT_EQ(PeakBin(), 20);  // 4096 / 200 = 20.48
    EXPECT_EQ(doc.m_pPeriodSpectrum[20], 1.0);
    EXPECT_LT(doc.m_pPeriodSpectrum[0], 1e-12);
    EXPECT_EQ(doc.m_nPeriodBin, -1);
    EXPECT_EQ(doc.m_bLineSearched[40], 1);
    EXPECT_EQ(doc.m_nViewMode, 3);
}

TEST_F(PeriodSearchTest, AConstantLineGivesAnAllZeroSpectrum) {
    Rows(3000, [](int) { return 0.1; });
    doc.OnPeriodSearch();
    ASSERT_EQ(doc.m_nPeriodBins, 1024);
    for (int k = 0; k < doc.m_nPeriodBins; ++k) ASSERT_EQ(doc.m_pPeriodSpectrum[k], 0.0) << k;
}

TEST_F(PeriodSearchTest, DoesNothingWithoutAValidLine) {
    Rows(100, [](int r) { return r; });
    for (int line : {-1, 128}) {
        doc.m_nLine = line;
        doc.OnPeriodSearch();
        EXPECT_TRUE(doc.m_pPeriodSpectrum.empty());
        EXPECT_EQ(doc.m_nViewMode, 0);
    }
}

TEST_F(PeriodSearchTest, NextAndPrevMoveOnlyInThePeriodicityGraph) {
    Rows(256, [](int r) { return r % 5; });
    doc.m_nViewMode = 1;
    doc.OnNextSpec();
    EXPECT_EQ(doc.m_nLine, 40);
    EXPECT_EQ(doc.m_bLineSearched[41], 0);
    doc.m_nViewMode = 3;
    doc.OnNextSpec();
    EXPECT_EQ(doc.m_nLine, 41);
    EXPECT_EQ(doc.m_bLineSearched[41], 1);
    doc.OnPrevSpec();
    doc.OnPrevSpec();
    EXPECT_EQ(doc.m_nLine, 39);

    doc.m_nLine = 127;
    EXPECT_FALSE(doc.CanNextSpec());
    doc.OnNextSpec();
    EXPECT_EQ(doc.m_nLine, 127);
    doc.m_nLine = 0;
    EXPECT_FALSE(doc.CanPrevSpec());
    doc.OnPrevSpec();
    EXPECT_EQ(doc.m_nLine, 0);
}

TEST_F(PeriodSearchTest, RangeFromBinBracketsTheBinAndIntegrates) {
    Rows(4096, [](int r) { return (r / 100) % 2 ? 0.0 : 3.0; });
    doc.OnPeriodSearch();
    const double c = doc.RowRate() * 0.5 / doc.m_nPeriodBins;
    doc.SetRangeFromBin(20);
    EXPECT_EQ(doc.m_nPeriodBin, 20);
    EXPECT_DOUBLE_EQ(doc.m_dPeriodMax, 1.0 / (c * 19.5));
    EXPECT_DOUBLE_EQ(doc.m_dPeriodMin, 1.0 / (c * 20.5));
    EXPECT_EQ(doc.m_nViewMode, 4);
}

TEST_F(PeriodSearchTest, BinZeroOrOutsideTheSpectrumNeverBecomesAPeriod) {
    Rows(1024, [](int r) { return r % 9; });
    doc.OnPeriodSearch();
    for (int k : {0, -1, -1000, 512, 1 << 30}) {
        doc.SetRangeFromBin(k);
        EXPECT_EQ(doc.m_dPeriodMax, 10.0) << k;
        EXPECT_EQ(doc.m_dPeriodMin, 9.0) << k;
        EXPECT_EQ(doc.m_nPeriodBin, -1) << k;
        EXPECT_EQ(doc.m_nViewMode, 3) << k;
    }
}

}  // namespace
}  // namespace sorv::test
