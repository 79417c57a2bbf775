#include <gtest/gtest.h>

#include <cmath>

#include "support/morse_audio.h"

namespace sorv::test {
namespace {

TEST(MorseAudio, KeyingFollowsStandardDotOfOnePointTwoOverWpm) {
    // L = .-.. at 12 wpm: dot 0.1 s, so marks 0-0.1, 0.2-0.5, 0.6-0.7, 0.8-0.9.
    const auto marks = MorseKeying("L", 12.0);
    ASSERT_EQ(marks.size(), 4u);
    EXPECT_NEAR(marks[1].first, 0.2, 1e-12);
    EXPECT_NEAR(marks[1].second, 0.5, 1e-12);
    EXPECT_NEAR(marks[3].second, 0.9, 1e-12);
    // Letter gap of three dots: "EE" keys at 0 and 0.4 s.
    const auto ee = MorseKeying("EE", 12.0);
    ASSERT_EQ(ee.size(), 2u);
    EXPECT_NEAR(ee[1].first, 0.4, 1e-12);
    // DGU: 7 + 3 + 9 + 3 + 7 dots = 29 dots, minus nothing (last key-up).
    EXPECT_NEAR(MorseIdentSeconds("DGU", 6.0), 29 * 0.2, 1e-9);
}

TEST(MorseAudio, IdentRepeatsEveryPeriodAndIsSilentBetween) {
    MorseIdentSpec spec;
    spec.ident = "T";
    spec.wpm = 12;  // one dash, 0.3 s
    spec.periodSeconds = 2.0;
    spec.firstIdentSeconds = 0.5;
    spec.rampSeconds = 0;
    MorseIdentAudio audio(spec);
    EXPECT_FALSE(audio.KeyedAt(0.4));
    EXPECT_TRUE(audio.KeyedAt(0.6));
    EXPECT_FALSE(audio.KeyedAt(0.9));
    EXPECT_TRUE(audio.KeyedAt(2.6));
    EXPECT_TRUE(audio.KeyedAt(4.7));
    EXPECT_FALSE(audio.KeyedAt(4.85));
    const auto s = audio.Take(48000);
    EXPECT_EQ(s[1000], 128);          // silence before the first ident
    int peak = 0;
    for (size_t i = 24000; i < 38400; ++i) peak = std::max(peak, std::abs(int(s[i]) - 128));
    EXPECT_NEAR(peak, 40, 1);
}

TEST(MorseAudio, NoiseHasTheAskedLevelAndTheSeedReproducesIt) {
    MorseIdentSpec spec;
    spec.toneAmplitude = 0;
    spec.noiseRms = 20;
    const auto a = MorseIdentSamples(spec, 1.0);
    const auto b = MorseIdentSamples(spec, 1.0);
    EXPECT_EQ(a, b);
    double sum2 = 0;
    for (uint8_t v : a) sum2 += (v - 128.0) * (v - 128.0);
    EXPECT_NEAR(std::sqrt(sum2 / a.size()), 20.0, 0.5);
    spec.seed = 2;
    EXPECT_NE(MorseIdentSamples(spec, 1.0), a);
}

}  // namespace
}  // namespace sorv::test
