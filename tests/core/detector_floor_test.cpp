// The noise floor the detector divides each of its rows by: in noise, the median power over
// the passband; beside a strong keyed beacon, the same in its key-downs as in its gaps, so that
// no other line takes on the beacon's keying upside down.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <vector>

#include "analysis/detector_front_end.h"

namespace sorv {
namespace {

constexpr double kTwoPi = 6.283185307179586;
constexpr double kLn2 = 0.6931471805599453;

// Noise of 12 counts rms, and a tone at toneHz keyed one second on, one second off (amplitude
// 0 for none).
std::vector<uint8_t> NoiseAndKeyedTone(double seconds, double toneHz, double amplitude, uint32_t seed) {
    std::mt19937 rng(seed);
    std::normal_distribution<double> noise(0.0, 12.0);
    std::vector<uint8_t> a(static_cast<size_t>(seconds * 48000.0));
    for (size_t i = 0; i < a.size(); ++i) {
        const double t = static_cast<double>(i) / 48000.0;
        const bool down = static_cast<long>(std::floor(t)) % 2 == 0;
        const double v = 128.0 + noise(rng) + (down ? amplitude * std::sin(kTwoPi * toneHz * t) : 0.0);
        a[i] = static_cast<uint8_t>(std::clamp(std::lround(v), 0L, 255L));
    }
    return a;
}

void RowsOf(const std::vector<uint8_t>& audio, DetectorRows& rows) {
    DetectorFrontEnd front;
    ASSERT_TRUE(front.Configure({0, 2000, 2, 900.0, 1100.0}, rows));
    front.Feed(audio.data(), audio.size());
    front.Finish(front.ProducerRows());
}

int LineNear(const DetectorRows& rows, double hz) {
    int line = 0;
    for (int l = 0; l < rows.Lines(); ++l)
        if (std::abs(rows.LineHz(l) - hz) < std::abs(rows.LineHz(line) - hz)) line = l;
    return line;
}

TEST(DetectorFloor, InNoiseIsTheMedianOfAnExponentialPower) {
    DetectorRows rows;
    RowsOf(NoiseAndKeyedTone(60.0, 1000.0, 0.0, 7), rows);
    ASSERT_GT(rows.Rows(), 1500);
    // Every line's mean power over the rows against the floors' mean: an exponential's median
    // is ln 2 of its mean, and leaving out the rare bins far above the median must not pull the
    // floor down noticeably.
    double power = 0.0, floor = 0.0;
    long n = 0;
    for (int r = 100; r < rows.Rows() - 100; ++r) {
        floor += rows.Floor(r);
        for (int l = 0; l < rows.Lines(); ++l, ++n) power += rows.Power(r, l);
    }
    const double ratio = (floor / (rows.Rows() - 200)) / (power / n);
    // The sample median of the passband's bins sits a little above ln 2 (its rank is n / 2 of
    // an odd n, and the bins overlap through the window).
    EXPECT_GT(ratio, 0.97 * kLn2);
    EXPECT_LT(ratio, 1.06 * kLn2);
}

TEST(DetectorFloor, AStrongKeyedBeaconLeavesItTheSameInKeyDownsAndGaps) {
    // About 20 dB over the noise of its line: with a plain median over the passband the floor
    // of its key-down rows stood some 15 % above that of its gaps.
    for (double tone : {930.0, 1080.0}) {
        DetectorRows rows;
        RowsOf(NoiseAndKeyedTone(120.0, tone, 4.0, 11), rows);
        const int line = LineNear(rows, tone);
        std::vector<float> own;
        for (int r = 0; r < rows.Rows(); ++r) own.push_back(rows.Power(r, line) / rows.Floor(r));
        double down = 0.0, up = 0.0;
        int downs = 0, ups = 0;
        for (int r = 100; r < rows.Rows() - 100; ++r) {
            // Rows wholly within a key-down or a gap: the tone's line far above the floor, or
            // at the noise's, in this row and the three either side.
            const auto lo = std::min_element(own.begin() + r - 3, own.begin() + r + 4);
            const auto hi = std::max_element(own.begin() + r - 3, own.begin() + r + 4);
            if (*lo > 30.0f) {
                down += rows.Floor(r);
                ++downs;
            } else if (*hi < 8.0f) {
                up += rows.Floor(r);
                ++ups;
            }
        }
        ASSERT_GT(downs, 500) << tone;
        ASSERT_GT(ups, 500) << tone;
        EXPECT_NEAR((down / downs) / (up / ups), 1.0, 0.04) << tone;
    }
}

}  // namespace
}  // namespace sorv
