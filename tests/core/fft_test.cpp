#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <memory>
#include <random>

#include "engine/sorvantel_doc.h"
#include "support/fake_platform.h"
#include "support/producer_reference.h"

namespace sorv::test {
namespace {

class FftTest : public ::testing::Test {
protected:
    FakePlatform platform;
    CSorvantelDoc doc{platform};
    void SetUp() override { doc.BuildFftTables(); }
    void Load(const std::function<std::pair<double, double>(int)>& z) {
        for (int t = 0; t < 128; ++t) {
            auto [re, im] = z(t);
            doc.m_fftA[t + 1] = re;
            doc.m_fftB[t + 1] = im;
        }
    }
};

TEST_F(FftTest, TwiddleTablesHoldCosineAndNegativeSine) {
    EXPECT_DOUBLE_EQ(doc.m_twCos[0], 1.0);
    EXPECT_NEAR(doc.m_twCos[32], 0.0, 1e-9);
    EXPECT_NEAR(doc.m_twSin[32], -1.0, 1e-9);
    EXPECT_NEAR(doc.m_twCos[128], 1.0, 1e-9);
}

TEST_F(FftTest, ZeroInGivesZeroOut) {
    Load([](int) { return std::make_pair(0.0, 0.0); });
    doc.Fft(7, 128, 128, 1);
    for (int k = 1; k <= 128; ++k) {
        EXPECT_EQ(doc.m_fftA[k], 0.0);
        EXPECT_EQ(doc.m_fftB[k], 0.0);
    }
}

TEST_F(FftTest, ConstantGoesToBinZeroScaledByN) {
    Load([](int) { return std::make_pair(1.0, 0.0); });
    doc.Fft(7, 128, 128, 1);
    EXPECT_NEAR(doc.m_fftA[1], 1.0, 1e-12);
    for (int k = 2; k <= 128; ++k) {
        EXPECT_NEAR(doc.m_fftA[k], 0.0, 1e-12) << k;
        EXPECT_NEAR(doc.m_fftB[k], 0.0, 1e-12) << k;
    }
}

// The kernel has the positive sign: e^(+2pi i t/128) lands in bin 1, e^(-...) in bin 127.
TEST_F(FftTest, KernelSignPutsPositiveRotationInBinOne) {
    const double w = 6.2831853072 / 128;
    Load([&](int t) { return std::make_pair(std::cos(w * t), std::sin(w * t)); });
    doc.Fft(7, 128, 128, 1);
    EXPECT_NEAR(doc.m_fftA[128], 1.0, 1e-9);
    EXPECT_NEAR(doc.m_fftA[2], 0.0, 1e-9);

    Load([&](int t) { return std::make_pair(std::cos(w * t), -std::sin(w * t)); });
    doc.Fft(7, 128, 128, 1);
    EXPECT_NEAR(doc.m_fftA[2], 1.0, 1e-9);
    EXPECT_NEAR(doc.m_fftA[128], 0.0, 1e-9);
}

TEST_F(FftTest, WithoutNormalisationOutputsAre128TimesLarger) {
    auto z = [](int t) { return std::make_pair(std::sin(0.3 * t) + 0.2, std::cos(0.11 * t * t)); };
    Load(z);
    doc.Fft(7, 128, 128, 1);
    std::vector<double> a(doc.m_fftA + 1, doc.m_fftA + 129), b(doc.m_fftB + 1, doc.m_fftB + 129);
    Load(z);
    doc.Fft(7, 128, 128, 0);
    for (int k = 0; k < 128; ++k) {
        EXPECT_NEAR(doc.m_fftA[k + 1], 128 * a[static_cast<size_t>(k)], 1e-9);
        EXPECT_NEAR(doc.m_fftB[k + 1], 128 * b[static_cast<size_t>(k)], 1e-9);
    }
}

// Against a direct sum: X(k) = (1/128) sum z(t) e^{+2 pi i k t / 128}, natural order.
TEST_F(FftTest, MatchesDirectTransformOnArbitraryInput) {
    auto z = [](int t) { return std::make_pair(std::sin(0.7 * t) * t / 50.0, std::cos(1.3 * t) - 0.4); };
    Load(z);
    doc.Fft(7, 128, 128, 1);
    for (int k = 0; k < 128; ++k) {
        double re = 0, im = 0;
        for (int t = 0; t < 128; ++t) {
            auto [zr, zi] = z(t);
            double ang = 2 * M_PI * k * t / 128.0;
            re += zr * std::cos(ang) - zi * std::sin(ang);
            im += zr * std::sin(ang) + zi * std::cos(ang);
        }
        EXPECT_NEAR(doc.m_fftA[k + 1], re / 128, 1e-9) << k;
        EXPECT_NEAR(doc.m_fftB[k + 1], im / 128, 1e-9) << k;
    }
    EXPECT_EQ(doc.m_fftA[0], 0.0);  // element 0 is never touched
}

// Butterflies taken two at a time must leave every output exactly as one at a time does,
// signed zeros and subnormal results included, with and without normalisation.
TEST_F(FftTest, IsBitIdenticalToTheButterflyByButterflyTransform) {
    std::mt19937 rng(12);
    std::uniform_real_distribution<double> u(-1000.0, 1000.0);
    auto other = std::make_unique<CSorvantelDoc>(platform);
    CSorvantelDoc& reference = *other;
    reference.BuildFftTables();
    for (int trial = 0; trial < 40; ++trial) {
        for (int k = 1; k <= 128; ++k) {
            double a = u(rng), b = u(rng);
            if (trial % 4 == 1) a = b = (k % 3 == 0 ? -0.0 : 0.0);  // silence: only the zeros' signs differ
            if (trial % 4 == 2) a *= 1e-310, b *= 1e-310;            // outputs below the normal range
            doc.m_fftA[k] = reference.m_fftA[k] = a;
            doc.m_fftB[k] = reference.m_fftB[k] = b;
        }
        const int normalise = trial % 3 == 0 ? 0 : 1;
        doc.Fft(7, 128, 128, normalise);
        ReferenceFft(reference, 7, 128, 128, normalise);
        ASSERT_EQ(std::memcmp(doc.m_fftA, reference.m_fftA, sizeof doc.m_fftA), 0) << trial;
        ASSERT_EQ(std::memcmp(doc.m_fftB, reference.m_fftB, sizeof doc.m_fftB), 0) << trial;
    }
}

}  // namespace
}  // namespace sorv::test

#include "engine/sin_cos.h"

namespace sorv::test {
namespace {

TEST(SinCos, AgreesWithTheLibraryOverTheMixerPhaseRange) {
    double worst = 0;
    for (int i = 0; i <= 200000; ++i) {
        const double phase = 6.2831853 * i / 200000.0 + (i % 7) * 1e-9;
        double s, c;
        SinCos(phase, s, c);
        worst = std::max({worst, std::abs(s - std::sin(phase)), std::abs(c - std::cos(phase))});
    }
    EXPECT_LT(worst, 1e-15);
    double s, c;
    SinCos(100.0, s, c);  // outside the fast range: the library's values
    EXPECT_EQ(s, std::sin(100.0));
    EXPECT_EQ(c, std::cos(100.0));
    SinCos(-0.5, s, c);
    EXPECT_EQ(s, std::sin(-0.5));
}

}  // namespace
}  // namespace sorv::test
