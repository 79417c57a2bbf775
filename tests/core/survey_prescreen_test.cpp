// The survey's quick look scores a line as the sensitive detector's own keying spectrum does,
// so that no line the detector would take is passed over.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <vector>

#include "analysis/sensitive_periods.h"
#include "analysis/sensitive_search.h"
#include "analysis/sensitive_spectrum.h"
#include "survey/keying_prescreen.h"

namespace sorv {
namespace {

constexpr double kRate = 37.5;

// A line's power history: exponential noise, and a keyed tone of the given strength that
// repeats every `period` seconds (on for 40 % of it, in three marks).
std::vector<double> Line(int rows, double strength, double period, uint32_t seed) {
    std::mt19937 rng(seed);
    std::exponential_distribution<double> noise(1.0);
    std::vector<double> v(static_cast<size_t>(rows));
    for (int r = 0; r < rows; ++r) {
        const double t = std::fmod(r / kRate, period) / period;
        const bool on = (t > 0.05 && t < 0.15) || (t > 0.2 && t < 0.4) || (t > 0.45 && t < 0.55);
        v[static_cast<size_t>(r)] = noise(rng) * (1.0 + (on ? strength : 0.0));
    }
    return v;
}

double DetectorScore(const std::vector<double>& v) {
    KeyingSpectrum spectrum;
    SpectrumWork work;
    EXPECT_TRUE(spectrum.Compute(v.data(), static_cast<int>(v.size()), kRate, 3.0, work));
    const double seconds = v.size() / kRate;
    const double pMax = std::min({15.0 * 1.005, 510.5 / kRate, seconds / 6.0});
    return BestRepetition(spectrum, 1.0 / pMax, 1.0 / (6.0 * 0.995), 3.0).score;
}

TEST(KeyingPrescreen, NeverScoresBelowTheDetector) {
    KeyingPrescreen prescreen;
    for (int rows : {32768, 12000}) {
        for (double strength : {0.0, 0.1, 0.3}) {
            for (uint32_t seed = 1; seed <= 2; ++seed) {
                SCOPED_TRACE(::testing::Message() << rows << " rows, strength " << strength << ", seed " << seed);
                const std::vector<double> v = Line(rows, strength, 8.3, seed);
                const double quick = prescreen.BestScore(v, kRate, 6.0, 15.0);
                const double detector = DetectorScore(v);
                EXPECT_GE(quick, detector - 0.25);
                if (strength == 0.0) {
                    EXPECT_LT(quick, 6.5);  // noise stays well below the threshold
                }
                if (detector >= kSensitiveThreshold) {
                    EXPECT_GE(quick, kPrescreenThreshold);
                }
            }
        }
    }
}

TEST(KeyingPrescreen, TooShortForThePeriodsScoresNothing) {
    KeyingPrescreen prescreen;
    EXPECT_EQ(prescreen.BestScore(Line(10, 1.0, 8.0, 1), kRate, 6.0, 15.0), 0.0);
    // 30 s cannot hold three periods of 6 s in each half.
    EXPECT_EQ(prescreen.BestScore(Line(1125, 1.0, 8.0, 1), kRate, 6.0, 15.0), 0.0);
    EXPECT_GT(prescreen.BestScore(Line(30000, 0.3, 8.0, 1), kRate, 6.0, 15.0), 7.0);
}

}  // namespace
}  // namespace sorv
