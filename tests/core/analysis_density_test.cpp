#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "engine/sorvantel_doc.h"
#include "support/fake_platform.h"

namespace sorv::test {
namespace {

class DensityTest : public ::testing::Test {
protected:
    FakePlatform platform;
    CSorvantelDoc doc{platform};
};

TEST_F(DensityTest, OneRowGivesTheSquareRootOfItsPowerAndASilentLineZero) {
    for (int l = 0; l < kLines; ++l) doc.m_power[0][l] = l * 4.0;
    doc.m_power[1][5] = 1e6;  // beyond m_nRows: not read
    doc.m_nRows = 1;
    doc.OnSpectralDensity();
    EXPECT_EQ(doc.m_specDensity[0], 0.0);
    EXPECT_EQ(doc.m_specDensity[5], std::sqrt(20.0));
    EXPECT_EQ(doc.m_specDensity[100], 20.0);
    EXPECT_EQ(doc.m_nViewMode, 2);
    EXPECT_TRUE(doc.IsSpectralDensityChecked());
}

// The sums run over rows in row order for each line, bit for bit as a line-by-line walk.
TEST_F(DensityTest, SumsAmplitudesInRowOrderAndLeavesTheDesignatedLineAlone) {
    std::mt19937 rng(7);
    std::uniform_real_distribution<double> u(0.0, 1e4);
    doc.m_nRows = 3001;
    for (int r = 0; r < doc.m_nRows; ++r)
        for (int l = 0; l < kLines; ++l) doc.m_power[r][l] = u(rng);
    doc.m_nLine = 17;
    doc.OnSpectralDensity();
    for (int l = 0; l < kLines; ++l) {
        double sum = 0.0;
        for (int r = 0; r < doc.m_nRows; ++r) sum += std::sqrt(doc.m_power[r][l]);
        ASSERT_EQ(doc.m_specDensity[l], sum) << l;
    }
    EXPECT_EQ(doc.m_nLine, 17);
    double first[kLines];
    std::copy(std::begin(doc.m_specDensity), std::end(doc.m_specDensity), first);
    doc.OnSpectralDensity();
    EXPECT_TRUE(std::equal(std::begin(first), std::end(first), std::begin(doc.m_specDensity)));
}

TEST_F(DensityTest, DisabledWithoutRowsAndAllZeroThen) {
    EXPECT_FALSE(doc.CanSpectralDensity());
    doc.m_specDensity[3] = 9.0;
    doc.OnSpectralDensity();
    EXPECT_EQ(doc.m_specDensity[3], 0.0);
    EXPECT_FALSE(doc.IsSpectralDensityChecked());
}

}  // namespace
}  // namespace sorv::test
