// Mains hum out of the detector's copy: a harmonic off its nominal frequency is taken out
// without eating the noise around it; noise, and a keyed tone on a harmonic's frequency, pass
// bit for bit; and in the front end, the line that holds a harmonic beside an ident's tone is
// left as quiet as it would be without hum.
#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <random>
#include <vector>

#include "analysis/detector_front_end.h"
#include "analysis/hum_canceller.h"

namespace sorv {
namespace {

constexpr double kTwoPi = 6.283185307179586;
constexpr double kRate = 500.0;  // the front end's decimated rate at the default band
constexpr double kMixHz = 1000.0;

struct Through {
    std::vector<std::complex<float>> in, out;
};

// Feeds `seconds` of noise plus wave(t) through a canceller set up like the default band's.
template <typename Wave>
Through PassThrough(HumCanceller& hum, double seconds, uint32_t seed, Wave wave) {
    hum.Configure(kRate, kMixHz, 880.0, 1120.0, 150.0);
    std::mt19937 rng(seed);
    std::normal_distribution<float> noise(0.0f, std::sqrt(0.5f));
    Through t;
    const int n = static_cast<int>(seconds * kRate);
    for (int i = 0; i < n; ++i) {
        const std::complex<double> w = wave(i / kRate);
        const std::complex<float> x(noise(rng) + static_cast<float>(w.real()), noise(rng) + static_cast<float>(w.imag()));
        t.in.push_back(x);
        hum.Push(x.real(), x.imag());
        float re, im;
        while (hum.Pop(re, im)) t.out.emplace_back(re, im);
    }
    return t;
}

// Amplitude of a wave at hz (baseband) in the samples from..to of s.
double AmplitudeAt(const std::vector<std::complex<float>>& s, size_t from, size_t to, double hz) {
    std::complex<double> sum(0.0, 0.0);
    for (size_t i = from; i < to; ++i)
        sum += std::complex<double>(s[i]) * std::polar(1.0, -kTwoPi * hz * static_cast<double>(i) / kRate);
    return std::abs(sum) / static_cast<double>(to - from);
}

double MeanPower(const std::vector<std::complex<float>>& s, size_t from, size_t to) {
    double p = 0.0;
    for (size_t i = from; i < to; ++i) p += std::norm(std::complex<double>(s[i]));
    return p / static_cast<double>(to - from);
}

TEST(HumCanceller, SeeksTheMainsHarmonicsNearTheSearchedTonesOnce) {
    HumCanceller hum;
    hum.Configure(kRate, kMixHz, 880.0, 1120.0, 150.0);
    // 50 Hz: 900 .. 1100 and 60 Hz: 900 .. 1140 within reach; 900 Hz belongs to both.
    const std::vector<double> expected = {900, 950, 1000, 1050, 1100, 960, 1020, 1080, 1140};
    EXPECT_EQ(hum.HarmonicsHz(), expected);
    EXPECT_EQ(hum.HopSamples(), 2000);
}

TEST(HumCanceller, TakesOutHumOffItsNominalFrequencyAndLeavesTheNoise) {
    // The mains at 50.04 Hz: its 19th harmonic lies 0.76 Hz above 950 Hz, its 21st 0.84 Hz
    // above 1050 Hz.
    const double hz19 = 19 * 50.04 - kMixHz, hz21 = 21 * 50.04 - kMixHz;
    const double amplitude = 0.5;  // 17 dB over the noise in an 11 Hz line
    HumCanceller hum;
    const Through t = PassThrough(hum, 120.0, 7, [&](double s) {
        return std::polar(amplitude, kTwoPi * hz19 * s + 1.0) + std::polar(amplitude / 2, kTwoPi * hz21 * s);
    });
    ASSERT_EQ(t.out.size(), t.in.size() - 2000);  // the last hop waits for the next block
    // Once five blocks have shown it steady (from 16 s on), more than 26 dB of it is gone.
    EXPECT_EQ(hum.BlocksSubtracted(), 25);
    const size_t from = 12000, to = t.out.size();
    EXPECT_NEAR(AmplitudeAt(t.in, from, to, hz19), amplitude, 0.02);
    EXPECT_LT(AmplitudeAt(t.out, from, to, hz19), amplitude / 20.0);
    EXPECT_LT(AmplitudeAt(t.out, from, to, hz21), amplitude / 40.0);
    // What is left is the noise, hardly less of it: each fit takes out about a hertz of 500.
    const double noise = MeanPower(t.in, from, to) - 1.25 * amplitude * amplitude;
    EXPECT_NEAR(MeanPower(t.out, from, to) / noise, 1.0, 0.02);
}

// An ident keyed on exactly 950 Hz, 1.5 s on in every 6.5 s, as strong as the hum above.
std::complex<double> KeyedAt950(double s) {
    return std::fmod(s, 6.5) < 1.5 ? std::polar(0.5, kTwoPi * (950.0 - kMixHz) * s) : std::complex<double>(0.0, 0.0);
}

TEST(HumCanceller, FollowsTheMainsFrequencyAsItWanders) {
    // The mains from 49.97 to 50.03 Hz in two minutes, faster than a grid moves for long: the
    // 19th harmonic sweeps 1.1 Hz, 0.01 Hz a second.
    const double start = 49.97, rise = 0.06 / 120.0;
    auto phase = [&](int k, double s) { return kTwoPi * (k * (start * s + rise * s * s / 2) - kMixHz * s); };
    HumCanceller hum;
    const Through t = PassThrough(hum, 120.0, 11, [&](double s) {
        return std::polar(0.5, phase(19, s)) + std::polar(0.25, phase(21, s) + 1.0);
    });
    std::vector<std::complex<float>> hum19(t.out.size());
    for (size_t i = 0; i < hum19.size(); ++i) hum19[i] = std::polar(1.0f, static_cast<float>(phase(19, i / kRate)));
    // The part of the output that follows the harmonic, once the hum is known.
    std::complex<double> in(0.0, 0.0), out(0.0, 0.0);
    const size_t from = 12000;
    for (size_t i = from; i < t.out.size(); ++i) {
        in += std::complex<double>(t.in[i]) * std::conj(std::complex<double>(hum19[i]));
        out += std::complex<double>(t.out[i]) * std::conj(std::complex<double>(hum19[i]));
    }
    const double n = static_cast<double>(t.out.size() - from);
    EXPECT_NEAR(std::abs(in) / n, 0.5, 0.02);
    EXPECT_LT(std::abs(out) / n, 0.5 / 20.0);
}

TEST(HumCanceller, NoiseAndAKeyedToneOnAHarmonicPassBitForBit) {
    HumCanceller hum;
    const Through keyed = PassThrough(hum, 120.0, 8, KeyedAt950);
    EXPECT_EQ(hum.BlocksSubtracted(), 0);
    ASSERT_EQ(keyed.out.size(), keyed.in.size() - 2000);
    for (size_t i = 0; i < keyed.out.size(); ++i) ASSERT_EQ(keyed.out[i], keyed.in[i]) << "sample " << i;

    // A steady tone on one harmonic alone is a carrier, not hum.
    const Through carrier = PassThrough(hum, 60.0, 9, [](double s) { return std::polar(0.5, kTwoPi * 50.0 * s); });
    EXPECT_EQ(hum.BlocksSubtracted(), 0);
    for (size_t i = 0; i < carrier.out.size(); ++i) ASSERT_EQ(carrier.out[i], carrier.in[i]) << "sample " << i;
}

TEST(HumCanceller, AKeyedToneOnAHarmonicKeepsItsKeyingBesideHum) {
    const double hz1000 = 0.0, hz1050 = 50.0;
    HumCanceller hum;
    const Through t = PassThrough(hum, 130.0, 10, [&](double s) {
        return KeyedAt950(s) + std::polar(0.5, kTwoPi * hz1000 * s) + std::polar(0.5, kTwoPi * hz1050 * s + 2.0);
    });
    EXPECT_EQ(hum.BlocksSubtracted(), 27);
    const size_t from = 13000;  // 26 s in: the hum is known
    EXPECT_LT(AmplitudeAt(t.out, from, t.out.size(), hz1000), 0.5 / 20.0);
    // The key-downs keep all of the tone, the gaps none.
    for (size_t start = from; start + 3250 <= t.out.size(); start += 3250) {
        const double down = AmplitudeAt(t.out, start + 50, start + 700, -50.0);
        const double up = AmplitudeAt(t.out, start + 850, start + 3200, -50.0);
        EXPECT_NEAR(down, 0.5, 0.06) << "key-down at " << start / kRate << " s";
        EXPECT_LT(up, 0.06) << "gap at " << start / kRate << " s";
    }
}

// 8-bit audio: noise of 12 counts rms and, when asked, 50 Hz hum whose harmonics near 1 kHz
// stand 9 dB over the noise of a line.
std::vector<uint8_t> Audio(double seconds, bool hum, uint32_t seed) {
    std::mt19937 rng(seed);
    std::normal_distribution<double> noise(0.0, 12.0);
    std::vector<uint8_t> a(static_cast<size_t>(seconds * 48000.0));
    for (size_t i = 0; i < a.size(); ++i) {
        const double t = static_cast<double>(i) / 48000.0;
        double v = 128.0 + noise(rng);
        if (hum)
            for (int k = 17; k <= 23; ++k) v += 1.0 * std::sin(kTwoPi * 50.0 * k * t + k);
        a[i] = static_cast<uint8_t>(std::clamp(std::lround(v), 0L, 255L));
    }
    return a;
}

// The mean and the relative spread of one line's power over the rows.
void LineStatistics(const std::vector<uint8_t>& audio, double lineNear, double& mean, double& spread) {
    DetectorFrontEnd front;
    DetectorRows rows;
    ASSERT_TRUE(front.Configure({0, 2000, 2, 900.0, 1100.0}, rows));
    front.Feed(audio.data(), audio.size());
    front.Finish(front.ProducerRows());
    int line = 0;
    for (int l = 0; l < rows.Lines(); ++l)
        if (std::abs(rows.LineHz(l) - lineNear) < std::abs(rows.LineHz(line) - lineNear)) line = l;
    double sum = 0.0, squares = 0.0;
    int n = 0;
    // From 30 s on, when the hum is known, to 10 s before the end, where the silence after the
    // audio has made it unsteady.
    for (int r = 940; r < rows.Rows() - 310; ++r, ++n) {
        sum += rows.Power(r, line);
        squares += static_cast<double>(rows.Power(r, line)) * rows.Power(r, line);
    }
    mean = sum / n;
    spread = std::sqrt(squares / n - mean * mean) / mean;
}

TEST(HumCanceller, TheFrontEndLeavesALineWithAHarmonicAsQuietAsWithoutHum) {
    double cleanMean, cleanSpread, humMean, humSpread;
    LineStatistics(Audio(120.0, false, 3), 950.0, cleanMean, cleanSpread);
    LineStatistics(Audio(120.0, true, 3), 950.0, humMean, humSpread);
    // Noise alone: a power's spread is about its mean. Uncancelled, this hum would put the
    // line's mean 9 dB up and its spread at three and a half times the noise's.
    EXPECT_NEAR(cleanSpread, 1.0, 0.1);
    EXPECT_LT(humMean, 1.15 * cleanMean);
    EXPECT_LT(humSpread * humMean, 1.15 * cleanSpread * cleanMean);
}

}  // namespace
}  // namespace sorv
