#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <vector>

#include "audio/synth/morse_code.h"
#include "audio/synth/receiver_audio.h"
#include "audio/synth/wav_file_writer.h"
#include "support/fake_platform.h"
#include "support/live_doc.h"

namespace sorv {
namespace {

std::vector<uint8_t> Synthesise(const SynthSpec& spec) {
    ReceiverAudio audio(spec);
    std::vector<uint8_t> out(audio.TotalSamples());
    EXPECT_EQ(audio.Fill(out.data(), out.size()), out.size());
    EXPECT_EQ(audio.Fill(out.data(), 10), 0u);
    return out;
}

double Rms(const std::vector<uint8_t>& s, size_t from, size_t to) {
    double sum2 = 0;
    for (size_t i = from; i < to; ++i) sum2 += (s[i] - 128.0) * (s[i] - 128.0);
    return std::sqrt(sum2 / static_cast<double>(to - from));
}

// Amplitude of the component at hz over [from, to), by correlation.
double ToneAmplitude(const std::vector<uint8_t>& s, double hz, size_t from, size_t to) {
    std::complex<double> acc = 0;
    for (size_t i = from; i < to; ++i)
        acc += (s[i] - 128.0) * std::polar(1.0, -2 * M_PI * hz * static_cast<double>(i) / 48000.0);
    return 2.0 * std::abs(acc) / static_cast<double>(to - from);
}

SynthIdent Ident(const std::string& text, double tone, double period, double wpm) {
    SynthIdent id;
    id.ident = text;
    id.toneHz = tone;
    id.periodSeconds = period;
    id.wpm = wpm;
    return id;
}

TEST(SynthMorse, StandardTimingWithLetterAndWordGaps) {
    // "L" at 12 wpm: dot 0.1 s; marks .-.. at 0, 0.2, 0.6, 0.8.
    const auto l = MorseKeying("L", 12.0);
    ASSERT_EQ(l.size(), 4u);
    EXPECT_NEAR(l[1].on, 0.2, 1e-12);
    EXPECT_NEAR(l[1].off, 0.5, 1e-12);
    EXPECT_NEAR(l[3].off, 0.9, 1e-12);
    // Three dots between letters, seven between words.
    EXPECT_NEAR(MorseKeying("EE", 12.0)[1].on, 0.4, 1e-12);
    EXPECT_NEAR(MorseKeying("E E", 12.0)[1].on, 0.8, 1e-12);
    // DGU: 7 + 3 + 9 + 3 + 7 dots.
    EXPECT_NEAR(MorseIdentSeconds("dgu", 6.0), 29 * 0.2, 1e-9);
    EXPECT_EQ(MorseCode('7'), "--...");
    EXPECT_TRUE(MorseKeying("#", 8.0).empty());
    EXPECT_TRUE(MorseKeying("A", 0.0).empty());
}

TEST(SynthLevels, NoiseIsSixteenCountsAndTheSignalHasTheStatedSnrIn2500Hz) {
    SynthSpec spec;
    spec.idents.push_back(Ident("T", 1000, 4.0, 4.0));  // a 0.9 s dash every 4 s
    spec.idents[0].offsetSeconds = 0.0;
    spec.withNoise = true;
    spec.snrDb = 10.0;
    spec.seconds = 4.0;
    const auto s = Synthesise(spec);
    ReceiverAudio audio(spec);
    // A^2/2 = 10 * 256 * 2500/24000  ->  A = 7.30 counts.
    EXPECT_NEAR(audio.ReferenceAmplitude(), std::sqrt(2 * 10 * 256 * 2500.0 / 24000.0), 1e-9);
    EXPECT_NEAR(Rms(s, 48000, 4 * 48000), 16.0, 0.3);  // key up: noise only
    EXPECT_NEAR(ToneAmplitude(s, 1000, 4800, 38400), audio.ReferenceAmplitude(), 0.4);
    EXPECT_LT(ToneAmplitude(s, 1000, 2 * 48000, 3 * 48000), 0.4);
}

TEST(SynthLevels, StrongSignalsAreScaledTogetherSoNothingClips) {
    SynthSpec spec;
    spec.idents.push_back(Ident("T", 900, 4.0, 4.0));
    spec.idents[0].offsetSeconds = 0.0;
    spec.carriers.push_back({1200.0, -6.0});
    spec.withNoise = true;
    spec.snrDb = 40.0;
    spec.seconds = 1.0;
    ReceiverAudio audio(spec);
    const double a = audio.ReferenceAmplitude();
    EXPECT_NEAR(a + a / std::pow(10.0, 0.3) + 4 * audio.NoiseRms(), kSynthPeakLimit, 1e-9);
    const double snr = a * a / 2 / (audio.NoiseRms() * audio.NoiseRms() * 2500 / 24000);
    EXPECT_NEAR(10 * std::log10(snr), 40.0, 1e-9);
    const auto s = Synthesise(spec);
    for (uint8_t v : s) ASSERT_TRUE(v > 0 && v < 255);
    EXPECT_NEAR(ToneAmplitude(s, 1200, 0, 48000), a / std::pow(10.0, 0.3), 0.3);
}

TEST(SynthLevels, WithoutNoiseAZeroDbSignalIsFortyCounts) {
    SynthSpec spec;
    spec.carriers.push_back({1500.0, 0.0});
    spec.seconds = 0.5;
    const auto s = Synthesise(spec);
    // 32 samples a cycle: the rounding error repeats with the tone and shifts it a little.
    EXPECT_NEAR(ToneAmplitude(s, 1500, 0, 24000), 40.0, 0.5);
}

TEST(SynthKeying, IdentsRepeatAtTheirOwnPeriodsFromTheirOffsets) {
    SynthSpec spec;
    spec.idents.push_back(Ident("T", 800, 3.0, 12.0));  // 0.3 s dash
    spec.idents[0].offsetSeconds = 1.0;
    spec.idents.push_back(Ident("E", 1300, 2.0, 12.0));  // 0.1 s dot
    spec.idents[1].offsetSeconds = 0.25;
    spec.seconds = 6.0;
    const auto s = Synthesise(spec);
    auto at = [&](double hz, double t) {
        const size_t i = static_cast<size_t>(t * 48000);
        return ToneAmplitude(s, hz, i, i + 2400);  // 50 ms window
    };
    EXPECT_LT(at(800, 0.5), 1.0);
    EXPECT_NEAR(at(800, 1.1), 40.0, 1.0);
    EXPECT_LT(at(800, 1.5), 1.0);
    EXPECT_NEAR(at(800, 4.1), 40.0, 1.0);
    EXPECT_NEAR(at(1300, 0.27), 40.0, 1.0);
    EXPECT_NEAR(at(1300, 2.27), 40.0, 1.0);
    EXPECT_LT(at(1300, 1.27), 1.0);
}

TEST(SynthKeying, FadingDipsByItsDepthAndDriftMovesTheTone) {
    SynthSpec spec;
    spec.carriers.push_back({1000.0, 0.0});
    spec.fadeDepthDb = 20.0;
    spec.fadePeriodSeconds = 8.0;
    spec.driftHzPerMinute = 60.0;  // 1 Hz per second
    spec.seconds = 8.0;
    const auto s = Synthesise(spec);
    EXPECT_NEAR(ToneAmplitude(s, 1000.0, 0, 4800), 40.0, 1.0);
    // Deepest at half the fading period: 20 dB down, with the tone 4 Hz higher by then.
    EXPECT_NEAR(ToneAmplitude(s, 1004.0, 4 * 48000 - 2400, 4 * 48000 + 2400), 4.0, 0.5);
    EXPECT_LT(ToneAmplitude(s, 1000.0, 4 * 48000 - 24000, 4 * 48000 + 24000), 2.0);
}

TEST(SynthNoise, TheSeedReproducesTheBytesAndAnotherSeedDoesNot) {
    SynthSpec spec;
    spec.idents.push_back(Ident("DGU", 1015, 8, 8));
    spec.withNoise = true;
    spec.snrDb = -3;
    spec.seconds = 2;
    const auto a = Synthesise(spec);
    EXPECT_EQ(a, Synthesise(spec));
    spec.seed = 2;
    EXPECT_NE(a, Synthesise(spec));
    // Pieces of any size give the same stream.
    spec.seed = 1;
    ReceiverAudio audio(spec);
    std::vector<uint8_t> pieces(a.size());
    size_t at = 0;
    for (size_t n : {1u, 479u, 481u, 48000u, 100000u}) at += audio.Fill(pieces.data() + at, std::min(n, a.size() - at));
    EXPECT_EQ(at, a.size());
    EXPECT_EQ(pieces, a);
}

TEST(SynthSpecCheck, RefusesWhatCannotBeSynthesised) {
    SynthSpec spec;
    EXPECT_NE(CheckSynthSpec(spec), "");  // nothing at all
    spec.withNoise = true;
    EXPECT_EQ(CheckSynthSpec(spec), "");  // pure noise is fine
    spec.idents.push_back(Ident("DGU", 1015, 8, 8));
    EXPECT_EQ(CheckSynthSpec(spec), "");
    spec.idents[0].periodSeconds = 3.0;  // DGU at 8 wpm lasts 4.35 s
    EXPECT_NE(CheckSynthSpec(spec).find("longer than its"), std::string::npos);
    spec.idents[0] = Ident("#", 1015, 8, 8);
    EXPECT_NE(CheckSynthSpec(spec), "");
    spec.idents[0] = Ident("A", 30000, 8, 8);
    EXPECT_NE(CheckSynthSpec(spec), "");
    spec.idents[0] = Ident("A", 1000, 8, 8);
    spec.seconds = NAN;
    EXPECT_NE(CheckSynthSpec(spec), "");
    spec.seconds = 25 * 3600.0;
    EXPECT_NE(CheckSynthSpec(spec), "");
}

TEST(SynthWav, TheFileIsAnEightBitMonoWavHoldingExactlyTheSamples) {
    test::TempDir dir;
    const std::string path = dir.file("out.wav");
    std::vector<uint8_t> samples(48001);
    for (size_t i = 0; i < samples.size(); ++i) samples[i] = static_cast<uint8_t>(i * 7);
    WavFileWriter writer;
    std::string error;
    ASSERT_TRUE(writer.Open(path, error)) << error;
    ASSERT_TRUE(writer.Write(samples.data(), 1000, error));
    ASSERT_TRUE(writer.Write(samples.data() + 1000, samples.size() - 1000, error));
    ASSERT_TRUE(writer.Close(error)) << error;
    const auto bytes = test::ReadFileBytes(path);
    ASSERT_EQ(bytes.size(), 44 + samples.size());
    EXPECT_EQ(std::string(bytes.begin(), bytes.begin() + 4), "RIFF");
    EXPECT_EQ(test::Le32(bytes, 4), 36 + samples.size());
    EXPECT_EQ(test::Le16(bytes, 22), 1);      // mono
    EXPECT_EQ(test::Le32(bytes, 24), 48000u);
    EXPECT_EQ(test::Le16(bytes, 34), 8);
    EXPECT_EQ(test::Le32(bytes, 40), samples.size());
    EXPECT_TRUE(std::equal(samples.begin(), samples.end(), bytes.begin() + 44));

    WavFileWriter bad;
    EXPECT_FALSE(bad.Open(dir.file("missing/dir/out.wav"), error));
    EXPECT_NE(error.find("cannot create"), std::string::npos);
}

}  // namespace
}  // namespace sorv
