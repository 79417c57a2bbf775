// Clicks out of the detector's copy of the audio: Gaussian noise passes untouched, ringing
// strokes lose nearly all their energy at the cost of a little of the time, and a strong
// steady tone is no click.
#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

#include "analysis/impulse_blanker.h"

namespace sorv {
namespace {

constexpr double kTwoPi = 6.283185307179586;
constexpr double kNoiseRms = 16.0;

// 8-bit audio less 128: noise, plus whatever `add` gives for sample i.
template <typename Add>
std::vector<float> Audio(double seconds, uint32_t seed, Add add) {
    std::mt19937 rng(seed);
    std::normal_distribution<double> noise(0.0, kNoiseRms);
    std::vector<float> a(static_cast<size_t>(seconds * 48000.0));
    for (size_t i = 0; i < a.size(); ++i)
        a[i] = static_cast<float>(std::clamp(std::nearbyint(noise(rng) + add(i)), -128.0, 127.0));
    return a;
}

void Blank(ImpulseBlanker& blanker, std::vector<float>& audio) {
    blanker.Reset();
    for (size_t at = 0; at < audio.size(); at += 1000) blanker.Run(audio.data() + at, std::min<size_t>(1000, audio.size() - at));
}

TEST(ImpulseBlanker, GaussianNoisePassesUntouched) {
    std::vector<float> audio = Audio(120.0, 1, [](size_t) { return 0.0; });
    const std::vector<float> before = audio;
    ImpulseBlanker blanker;
    Blank(blanker, audio);
    EXPECT_EQ(blanker.SamplesBlanked(), 0u);
    EXPECT_EQ(audio, before);
}

TEST(ImpulseBlanker, RingingStrokesLoseNearlyAllTheirEnergy) {
    // Twenty strokes a second ringing at 1 kHz, 2 ms to 1/e, starting 12 times the noise's rms.
    std::vector<double> strokes(static_cast<size_t>(60.0 * 48000.0), 0.0);
    std::mt19937 rng(2);
    std::uniform_int_distribution<size_t> start(0, strokes.size() - 2000);
    for (int n = 0; n < 1200; ++n) {
        const size_t s = start(rng);
        for (size_t k = 0; k < 1000; ++k)
            strokes[s + k] += 12.0 * kNoiseRms * std::exp(-(k / 48000.0) / 2e-3) * std::cos(kTwoPi * 1000.0 * k / 48000.0);
    }
    std::vector<float> audio = Audio(60.0, 3, [&](size_t i) { return strokes[i]; });
    std::vector<float> blanked = audio;
    ImpulseBlanker blanker;
    Blank(blanker, blanked);
    double strokeEnergy = 0.0, leftEnergy = 0.0;
    for (size_t i = 0; i < audio.size(); ++i) {
        strokeEnergy += strokes[i] * strokes[i];
        if (blanked[i] != 0.0f) leftEnergy += strokes[i] * strokes[i];
    }
    EXPECT_LT(leftEnergy, 0.05 * strokeEnergy);
    EXPECT_LT(static_cast<double>(blanker.SamplesBlanked()) / audio.size(), 0.15);
}

TEST(ImpulseBlanker, AStrongKeyedToneIsNoClick) {
    // Key-downs of 300 ms in every second, the tone's amplitude 10 times the noise's rms: only
    // the start of each, until it has lasted longer than a click, is blanked.
    auto tone = [](size_t i) {
        return i % 48000 < 14400 ? 10.0 * kNoiseRms * std::sin(kTwoPi * 1020.0 * i / 48000.0) : 0.0;
    };
    std::vector<float> audio = Audio(30.0, 4, tone);
    ImpulseBlanker blanker;
    Blank(blanker, audio);
    EXPECT_LE(blanker.SamplesBlanked(), 30u * 700u);  // 12 ms and the last ringing, per key-down
    for (size_t second = 1; second < 30; ++second) {
        double kept = 0.0, sent = 0.0;
        for (size_t i = second * 48000; i < second * 48000 + 14400; ++i) {
            sent += tone(i) * tone(i);
            if (audio[i] != 0.0f) kept += tone(i) * tone(i);
        }
        EXPECT_GT(kept, 0.95 * sent) << "key-down " << second;
    }
}

}  // namespace
}  // namespace sorv
