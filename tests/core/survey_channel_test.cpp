// The channeliser and the combined sidebands: exact rate ratios for the usual SDR rates, a
// tone of the recording at its place in the channel's audio and baseband with its amplitude
// and without a phase step between blocks, the filter's stopband, and the two sidebands of an
// amplitude-modulated tone adding up to 3 dB more than either alone.
#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <limits>
#include <random>
#include <vector>

#include "cli/engine_lane.h"
#include "support/iq_beacons.h"
#include "survey/channel_audio.h"
#include "survey/channel_layout.h"
#include "survey/channeliser.h"
#include "survey/sideband_combiner.h"

namespace sorv {
namespace {

TEST(ChannelGeometry, ExactRatiosForTheUsualRates) {
    for (int rate : {48000, 96000, 192000, 250000, 256000, 1024000, 2048000, 2400000, 100001}) {
        SCOPED_TRACE(rate);
        const ChannelGeometry g = ChooseChannelGeometry(rate);
        EXPECT_EQ(static_cast<int64_t>(g.audioSize) * rate, static_cast<int64_t>(g.blockSize) * 48000);
        EXPECT_EQ(static_cast<int64_t>(g.audioHop) * rate, static_cast<int64_t>(g.hop) * 48000);
        EXPECT_EQ(static_cast<int64_t>(g.basebandSize) * rate, static_cast<int64_t>(g.blockSize) * kBasebandRate);
        EXPECT_EQ(static_cast<int64_t>(g.basebandHop) * rate, static_cast<int64_t>(g.hop) * kBasebandRate);
        // The filter fits the overlap, and most of each block is new.
        EXPECT_LE(g.hop + g.filterLength - 1, g.blockSize);
        EXPECT_GT(g.hop, g.blockSize * 3 / 4);
        // The audio rows are whole: 1280 audio samples make a row, 128 baseband samples too.
        EXPECT_EQ(g.audioHop, g.basebandHop * 10);
    }
}

TEST(ChannelGeometry, RatesThatCannotBeSurveyed) {
    EXPECT_TRUE(CheckChannelRate(192000.0).empty());
    EXPECT_FALSE(CheckChannelRate(192000.5).empty());
    EXPECT_FALSE(CheckChannelRate(0.0).empty());
    EXPECT_FALSE(CheckChannelRate(std::nan("")).empty());
    EXPECT_FALSE(CheckChannelRate(1e9).empty());
}

// Renders blocks of a recording through one tap, as the survey does.
struct Rendered {
    std::vector<float> audio;
    std::vector<std::complex<float>> baseband;
};

Rendered Render(const ChannelBank& bank, const ChannelTap& tap, const std::vector<std::complex<float>>& x) {
    const ChannelGeometry& g = bank.Geometry();
    const int half = (g.filterLength - 1) / 2;
    const int64_t blocks = static_cast<int64_t>(x.size()) / g.hop;
    ChannelScratch scratch(g);
    ComplexBuffer in(static_cast<size_t>(g.blockSize)), spectrum(static_cast<size_t>(g.blockSize));
    Rendered r;
    r.audio.resize(static_cast<size_t>(blocks * g.audioHop));
    r.baseband.resize(static_cast<size_t>(blocks * g.basebandHop));
    for (int64_t b = 0; b < blocks; ++b) {
        for (int i = 0; i < g.blockSize; ++i) {
            const int64_t t = b * g.hop - half + i;
            in[static_cast<size_t>(i)] = t >= 0 && t < static_cast<int64_t>(x.size()) ? x[static_cast<size_t>(t)] : 0.0f;
        }
        bank.Transform(in.data(), spectrum.data());
        tap.Render(spectrum.data(), b, scratch, r.audio.data() + b * g.audioHop, r.baseband.data() + b * g.basebandHop);
    }
    return r;
}

std::vector<std::complex<float>> Tone(int rate, double hz, double amplitude, double seconds) {
    std::vector<std::complex<float>> x(static_cast<size_t>(seconds * rate));
    for (size_t n = 0; n < x.size(); ++n)
        x[n] = std::polar(static_cast<float>(amplitude), static_cast<float>(std::fmod(2.0 * M_PI * hz * n / rate, 2.0 * M_PI)));
    return x;
}

TEST(Channeliser, ToneLandsAtItsAudioFrequencyWithItsAmplitudeAndPhase) {
    for (int rate : {48000, 250000}) {
        SCOPED_TRACE(rate);
        const ChannelBank bank(rate);
        const double carrier = 7003.3;  // between bins
        const ChannelTap tap(bank, carrier);
        EXPECT_NEAR(tap.CarrierAudioHz(), kChannelToneHz, bank.Geometry().binHz / 2.0);
        for (double offset : {400.0, -1020.0, 0.0}) {
            SCOPED_TRACE(offset);
            const Rendered r = Render(bank, tap, Tone(rate, carrier + offset, 0.25, 1.5));
            // After the filter's start-up, the audio is the tone, sample for sample: a phase
            // step at a block boundary would show here.
            const double f = tap.CarrierAudioHz() + offset;
            double worst = 0.0, bestPhase = 0.0, bestFit = -1.0;
            for (int k = 0; k < 360; ++k) {  // the phase, to the degree
                double fit = 0.0;
                for (size_t n = 24000; n < 24480; ++n) fit += r.audio[n] * std::cos(2.0 * M_PI * f * n / 48000.0 + k * M_PI / 180.0);
                if (fit > bestFit) bestFit = fit, bestPhase = k * M_PI / 180.0;
            }
            for (size_t n = 9600; n + 9600 < r.audio.size(); ++n)
                worst = std::max(worst, std::fabs(r.audio[n] - 0.25 * std::cos(2.0 * M_PI * f * n / 48000.0 + bestPhase)));
            EXPECT_LT(worst, 0.25 * 0.03);
            // The baseband holds the same tone about the carrier.
            const double fb = tap.BasebandCarrierHz() + offset;
            std::complex<double> sum(0.0, 0.0);
            const size_t from = 960, to = r.baseband.size() - 960;
            for (size_t n = from; n < to; ++n)
                sum += std::complex<double>(r.baseband[n]) * std::polar(1.0, -2.0 * M_PI * fb * n / kBasebandRate);
            EXPECT_NEAR(std::abs(sum) / (to - from), 0.25, 0.25 * 0.01);
        }
    }
}

TEST(Channeliser, OutsideTheChannelNothingComesThrough) {
    const ChannelBank bank(48000);
    const ChannelTap tap(bank, -3000.0);
    for (double offset : {1500.0, -1700.0, 5000.0}) {
        const Rendered r = Render(bank, tap, Tone(48000, -3000.0 + offset, 0.5, 1.0));
        double peak = 0.0;
        for (size_t n = 4800; n < r.audio.size(); ++n) peak = std::max(peak, static_cast<double>(std::fabs(r.audio[n])));
        EXPECT_LT(peak, 0.5 * 1e-3) << offset;  // 60 dB down at least
    }
}

TEST(Channeliser, ChannelAtTheBandEdgeDoesNotWrapAroundTheOtherEdge) {
    const ChannelBank bank(48000);
    const ChannelTap tap(bank, 23800.0);  // its upper half lies beyond the recording's band
    // A tone at the bottom edge of the band is the same bin as one just above the top edge,
    // 400 Hz above the carrier: without the guard it would come through whole. What leaks
    // past the guard's sharp edge is far down.
    const Rendered r = Render(bank, tap, Tone(48000, -23800.0, 0.5, 1.0));
    double peak = 0.0;
    for (size_t n = 4800; n < r.audio.size(); ++n) peak = std::max(peak, static_cast<double>(std::fabs(r.audio[n])));
    EXPECT_LT(peak, 0.5 * 0.05);
}

// One channel of an I/Q scene through the engine (receiver rows) and the combiner, and the
// tone's excess power over the noise at a line of each.
struct LineSnr {
    double receiver = 0.0, combined = 0.0;
};

double MeanOf(const LineHistory& h, int index, int fromRow) {
    double sum = 0.0;
    for (int r = fromRow; r < h.Rows(); ++r) sum += h.At(r, index);
    return sum / std::max(1, h.Rows() - fromRow);
}

LineSnr ChannelSnr(test::IqKeying keying, double toneHz, uint32_t seed) {
    test::IqScene scene;
    scene.rate = 48000.0;
    scene.seconds = 16.0;
    scene.seed = seed;
    test::IqBeacon b;
    b.offsetHz = 2000.0;
    b.toneHz = toneHz;
    b.keying = keying;
    b.toneDb = -3.0;
    b.carrierDb = 10.0;
    b.periodSeconds = 0.0;  // no keying: the tone is always on... unless keyed by a period
    scene.beacons = {b};
    test::IqBeaconSource source(scene);
    std::vector<std::complex<float>> x(static_cast<size_t>(scene.seconds * scene.rate));
    source.Read(x.data(), x.size());
    // The keying needs a period; with none the tone is off, so it is added here, steady.
    for (size_t n = 0; n < x.size(); ++n) {
        const double t = n / scene.rate;
        const double a = std::sqrt(std::pow(10.0, b.toneDb / 10.0) * scene.noisePower * 2500.0 / scene.rate);
        const std::complex<double> carrier = std::polar(1.0, 2.0 * M_PI * b.offsetHz * t);
        const std::complex<double> tone = std::polar(a, 2.0 * M_PI * toneHz * t);
        std::complex<double> s(0.0, 0.0);
        if (keying != test::IqKeying::Lower) s += tone;
        if (keying != test::IqKeying::Upper) s += std::conj(tone);
        x[n] += std::complex<float>(s * carrier);
    }
    const ChannelBank bank(48000);
    const ChannelTap tap(bank, b.offsetHz);
    const Rendered r = Render(bank, tap, x);
    const double gain = 2000.0;  // the noise at some 16 counts
    std::vector<uint8_t> bytes(r.audio.size());
    for (size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = static_cast<uint8_t>(std::clamp(std::lround(r.audio[i] * gain) + 128L, 0L, 255L));
    const int toneLine = kChannelCarrierLine + static_cast<int>(std::lround(toneHz / kChannelLineHz));
    const int noiseLine = toneLine + 6;  // 112 Hz away, no signal there
    LineHistory receiver({toneLine, noiseLine}), combined({toneLine, noiseLine});
    EngineLane lane;
    ProducerState state;
    lane.Run(state, bytes.data(), bytes.size(), [&](const double* row) {
        const double p[2] = {row[toneLine], row[noiseLine]};
        receiver.AddRow(p);
    });
    SidebandCombiner combiner(tap.BasebandCarrierHz(), gain, {toneLine, noiseLine});
    combiner.Add(r.baseband.data(), r.baseband.size(), combined);
    EXPECT_EQ(receiver.Rows(), combined.Rows());
    LineSnr snr;
    snr.receiver = MeanOf(receiver, 0, 100) / MeanOf(receiver, 1, 100) - 1.0;
    snr.combined = MeanOf(combined, 0, 100) / MeanOf(combined, 1, 100) - 1.0;
    return snr;
}

TEST(SidebandCombiner, BothSidebandsAddUpToThreeDecibelsMore) {
    // 400 Hz lies between two lines; 393.75 Hz on one.
    const LineSnr both = ChannelSnr(test::IqKeying::Both, 393.75, 3);
    const double gainDb = 10.0 * std::log10(both.combined / both.receiver);
    EXPECT_NEAR(gainDb, 3.0, 0.6);
    // One sideband alone is found whole in the receiver's line, and at half its power
    // (the same noise) in the combination.
    const LineSnr upper = ChannelSnr(test::IqKeying::Upper, 393.75, 4);
    EXPECT_NEAR(10.0 * std::log10(upper.receiver / both.receiver), 0.0, 0.6);
    EXPECT_NEAR(10.0 * std::log10(upper.combined / upper.receiver), -3.0, 0.6);
}

// The wide conversion against the plain one: rounding at the half counts, the clip limits,
// NaN and infinities, and a length that leaves a tail for the plain loop.
TEST(ChannelAudio, WideConversionMatchesTheOneByOne) {
    std::vector<float> x = {0.0f, 0.5f, -0.5f, 127.0f, 127.49f, 127.5f, -128.0f, -128.49f, -128.5f, -129.0f, 1e9f, -1e9f,
                            std::numeric_limits<float>::quiet_NaN(), std::numeric_limits<float>::infinity(),
                            -std::numeric_limits<float>::infinity(), 126.999f, -0.4999f};
    std::mt19937 rng(5);
    std::uniform_real_distribution<float> u(-140.0f, 140.0f);
    for (int i = 0; i < 1000; ++i) x.push_back(u(rng));
    for (size_t n : {x.size(), x.size() - 3, size_t{7}, size_t{0}}) {
        SCOPED_TRACE(n);
        for (float gain : {1.0f, 0.37f}) {
            std::vector<uint8_t> wide(n + 1, 77), plain(n + 1, 77);
            const size_t clippedWide = ToEngineSamples(x.data(), n, gain, wide.data());
            const size_t clippedPlain = ToEngineSamplesOneByOne(x.data(), n, gain, plain.data());
            EXPECT_EQ(wide, plain);
            EXPECT_EQ(clippedWide, clippedPlain);
            EXPECT_EQ(wide[n], 77);  // nothing written past the end
        }
    }
    // The named values: those at or past the half count on either side, NaN and the
    // infinities are clipped (eleven of them); a NaN becomes 0.
    std::vector<uint8_t> out(17);
    EXPECT_EQ(ToEngineSamples(x.data(), 17, 1.0f, out.data()), 11u);
    EXPECT_EQ(out, (std::vector<uint8_t>{128, 129, 128, 255, 255, 255, 0, 0, 0, 0, 255, 0, 0, 255, 0, 255, 128}));
}

}  // namespace
}  // namespace sorv
