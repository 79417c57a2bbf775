// The I/Q synthesiser: beacons where their carriers and sidebands say, at the SNR convention of
// the audio synthesiser, keyed as their idents, drifting and fading as asked, the same for the
// same seed; and its files read back through the I/Q reader as the same samples.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "audio/file/iq_recording.h"
#include "audio/synth/iq_synth.h"
#include "audio/synth/iq_wav_writer.h"
#include "support/cli_runner.h"
#include "support/fake_platform.h"

namespace sorv {
namespace {

constexpr double kTwoPi = 6.283185307179586;

std::vector<std::complex<float>> Make(const IqSynthSpec& spec) {
    IqSynthesiser synth(spec);
    std::vector<std::complex<float>> all(static_cast<size_t>(synth.TotalSamples()));
    // Odd pieces, so that blocks are handed out across every boundary.
    for (size_t at = 0; at < all.size();) at += synth.Fill(all.data() + at, std::min<size_t>(333, all.size() - at));
    return all;
}

// The amplitude of e^(j 2 pi f t) in the samples from t0 for the given seconds.
double AmplitudeAt(const std::vector<std::complex<float>>& x, double rate, double hz, double t0, double seconds) {
    const size_t from = static_cast<size_t>(t0 * rate), n = static_cast<size_t>(seconds * rate);
    std::complex<double> sum = 0.0, turn = std::polar(1.0, -kTwoPi * hz / rate);
    std::complex<double> w = std::polar(1.0, -kTwoPi * hz * static_cast<double>(from) / rate);
    for (size_t k = 0; k < n; ++k, w *= turn) sum += std::complex<double>(x[from + k]) * w;
    return std::abs(sum) / static_cast<double>(n);
}

IqBeacon Beacon(double kHz, IqKeying keying, const std::string& ident = "T", double toneHz = 1020.0) {
    IqBeacon b;
    b.carrierKHz = kHz;
    b.keying = keying;
    b.ident = ident;
    b.toneHz = toneHz;
    b.periodSeconds = 4.0;
    b.wpm = 7.0;  // "T" is one dash: 0.5 s to 1.014 s of each period
    return b;
}

IqSynthSpec Band(double rate = 48000.0, double seconds = 8.0) {
    IqSynthSpec s;
    s.sampleRate = rate;
    s.centreKHz = 400.0;
    s.seconds = seconds;
    return s;
}

TEST(IqSynth, ABeaconsSnrIsItsKeyedPowerOverTheNoiseIn2500Hz) {
    IqSynthSpec spec = Band(48000.0, 20.0);
    spec.beacons.push_back(Beacon(401.0, IqKeying::Carrier));
    spec.beacons[0].levelDb = -3.0;
    spec.withNoise = true;
    spec.snrDb = 23.0;  // the beacon is at +20 dB
    IqSynthesiser synth(spec);
    const auto x = Make(spec);
    double noise = 0.0;
    size_t gaps = 0;
    for (size_t k = 0; k < x.size(); ++k) {
        if (synth.KeyAt(0, static_cast<double>(k) / spec.sampleRate) > 0.0) continue;
        noise += std::norm(x[k]);
        ++gaps;
    }
    noise /= static_cast<double>(gaps);
    EXPECT_NEAR(noise, kIqNoiseRms * kIqNoiseRms, 0.02 * kIqNoiseRms * kIqNoiseRms);
    double power = 0.0;
    for (int i = 0; i < 5; ++i) power += std::pow(AmplitudeAt(x, spec.sampleRate, 1000.0, 0.55 + 4.0 * i, 0.4), 2) / 5;
    const double snrDb = 10.0 * std::log10(power / (noise * 2500.0 / spec.sampleRate));
    EXPECT_NEAR(snrDb, 20.0, 0.3);
    EXPECT_NEAR(std::sqrt(power), synth.ReferenceAmplitude() * std::pow(10.0, -3.0 / 20.0), 0.02 * std::sqrt(power));
}

TEST(IqSynth, CarriersAndKeyedTonesSitOnTheSidebandsTheKeyingNames) {
    IqSynthSpec spec = Band();
    spec.beacons = {Beacon(402.0, IqKeying::Upper), Beacon(396.0, IqKeying::Lower, "T", 400.0),
                    Beacon(398.0, IqKeying::Both), Beacon(405.0, IqKeying::Carrier)};
    spec.carriers.push_back({393.0, -6.0});
    const auto x = Make(spec);
    const double a = kIqCleanAmplitude, carrier = a * std::pow(10.0, 6.0 / 20.0);
    const auto mark = [&](double hz) { return AmplitudeAt(x, spec.sampleRate, hz, 4.55, 0.4); };
    const auto space = [&](double hz) { return AmplitudeAt(x, spec.sampleRate, hz, 5.5, 0.4); };
    const double tol = 0.002 * a;
    // Upper: carrier at +2000 Hz, the tone 1020 Hz above it and nothing below.
    EXPECT_NEAR(mark(2000), carrier, tol);
    EXPECT_NEAR(mark(3020), a, tol);
    EXPECT_NEAR(mark(980), 0.0, tol);
    EXPECT_NEAR(space(3020), 0.0, tol);
    EXPECT_NEAR(space(2000), carrier, tol);
    // Lower: carrier at -4000 Hz, its 400 Hz tone below only.
    EXPECT_NEAR(mark(-4000), carrier, tol);
    EXPECT_NEAR(mark(-4400), a, tol);
    EXPECT_NEAR(mark(-3600), 0.0, tol);
    // Both: the tone on either side of -2000 Hz, each at the beacon's level.
    EXPECT_NEAR(mark(-2000), carrier, tol);
    EXPECT_NEAR(mark(-980), a, tol);
    EXPECT_NEAR(mark(-3020), a, tol);
    EXPECT_NEAR(space(-980), 0.0, tol);
    // The keyed carrier at +5000 Hz, off between marks; the steady one 6 dB down, always on.
    EXPECT_NEAR(mark(5000), a, tol);
    EXPECT_NEAR(space(5000), 0.0, tol);
    EXPECT_NEAR(mark(-7000), a / 2, tol);
    EXPECT_NEAR(space(-7000), a / 2, tol);
}

TEST(IqSynth, TheEnvelopeIsTheIdentsMorse) {
    IqSynthSpec spec = Band(48000.0, 9.0);
    spec.beacons.push_back(Beacon(401.0, IqKeying::Carrier, "DGU"));
    spec.beacons[0].wpm = 8.0;
    spec.beacons[0].periodSeconds = 8.0;
    IqSynthesiser synth(spec);
    const auto x = Make(spec);
    const double a = synth.ReferenceAmplitude();
    int marks = 0;
    bool down = false;
    double worst = 0.0;
    for (size_t k = 0; k < x.size(); k += 7) {
        const double t = static_cast<double>(k) / spec.sampleRate;
        const double key = synth.KeyAt(0, t);
        worst = std::max(worst, std::fabs(std::abs(x[k]) - a * key));  // the edges follow in 1 ms steps
        if (t < 8.0 && key > 0.5 && !down) ++marks;
        down = key > 0.5;
    }
    EXPECT_LT(worst, 0.25 * a);
    EXPECT_EQ(marks, 9);  // -.. --. ..-
    EXPECT_NEAR(std::abs(x[static_cast<size_t>(0.3 * spec.sampleRate)]), 0.0, 1e-6);  // before the first ident
}

TEST(IqSynth, DriftMovesEverySignalAndFadingDipsEachAtItsOwnTime) {
    IqSynthSpec spec = Band(48000.0, 31.0);
    spec.carriers = {{401.0, 0.0}, {398.0, 0.0}};
    spec.driftHzPerMinute = 60.0;
    auto x = Make(spec);
    // The strongest frequency within 8 Hz of where the drift should have put the carrier.
    const auto peak = [&](double around, double t0) {
        double best = 0.0, at = 0.0;
        for (double hz = around - 8.0; hz <= around + 8.0; hz += 0.5) {
            const double v = AmplitudeAt(x, spec.sampleRate, hz, t0, 1.0);
            if (v > best) best = v, at = hz;
        }
        return at;
    };
    EXPECT_NEAR(peak(1000.0, 0.0), 1000.5, 1.0);   // drift of 0.5 Hz in the first second
    EXPECT_NEAR(peak(1030.0, 29.5), 1030.0, 1.0);  // half a minute later, 30 Hz up
    EXPECT_NEAR(peak(-1970.0, 29.5), -1970.0, 1.0);
    EXPECT_LT(AmplitudeAt(x, spec.sampleRate, 1000.0, 29.5, 1.0), 0.05 * kIqCleanAmplitude);  // gone from there

    spec.driftHzPerMinute = 0.0;
    spec.fadeDepthDb = 20.0;
    spec.fadePeriodSeconds = 10.0;
    spec.seconds = 10.0;
    x = Make(spec);
    std::vector<double> first, second;
    for (double t = 0.0; t < 9.9; t += 0.1) {
        first.push_back(AmplitudeAt(x, spec.sampleRate, 1000.0, t, 0.1));
        second.push_back(AmplitudeAt(x, spec.sampleRate, -2000.0, t, 0.1));
    }
    const double a = kIqCleanAmplitude;
    EXPECT_NEAR(*std::max_element(first.begin(), first.end()), a, 0.01 * a);
    EXPECT_NEAR(*std::min_element(first.begin(), first.end()), 0.1 * a, 0.01 * a);
    const auto lowest = [](const std::vector<double>& v) { return std::min_element(v.begin(), v.end()) - v.begin(); };
    EXPECT_GT(std::abs(lowest(first) - lowest(second)), 20);  // more than 2 s apart
}

TEST(IqSynth, TheSameSeedGivesTheSameNoiseAndTheNoiseIsCircular) {
    IqSynthSpec spec = Band(96000.0, 2.0);
    spec.withNoise = true;
    spec.beacons.push_back(Beacon(410.0, IqKeying::Both));
    const auto one = Make(spec), two = Make(spec);
    EXPECT_EQ(one, two);
    spec.seed = 2;
    const auto other = Make(spec);
    EXPECT_NE(one, other);
    spec.beacons.clear();
    const auto noise = Make(spec);
    double ii = 0.0, qq = 0.0, iq = 0.0, mean = 0.0;
    for (const auto& z : noise) {
        ii += z.real() * z.real();
        qq += z.imag() * z.imag();
        iq += z.real() * z.imag();
        mean += z.real();
    }
    const double n = static_cast<double>(noise.size()), half = kIqNoiseRms * kIqNoiseRms / 2.0;
    EXPECT_NEAR(ii / n, half, 0.02 * half);
    EXPECT_NEAR(qq / n, half, 0.02 * half);
    EXPECT_NEAR(iq / n, 0.0, 0.02 * half);
    EXPECT_NEAR(mean / n, 0.0, 0.01 * kIqNoiseRms);
    // Gaussian, not merely white: about 0.27 % of the values beyond three sigma.
    const double sigma = std::sqrt(half);
    const auto beyond = std::count_if(noise.begin(), noise.end(), [sigma](auto z) { return std::fabs(z.real()) > 3 * sigma; });
    EXPECT_NEAR(static_cast<double>(beyond) / n, 0.0027, 0.0006);
}

TEST(IqSynth, ManyStrongBeaconsAreScaledDownTogetherAndNeverClip) {
    IqSynthSpec spec = Band(192000.0, 1.0);
    spec.withNoise = true;
    spec.snrDb = 50.0;
    for (int i = 0; i < 40; ++i) spec.beacons.push_back(Beacon(330.0 + 3.5 * i, IqKeying::Both));
    IqSynthesiser synth(spec);
    // The ratio of signal to noise is kept, whatever the scale.
    const double unscaled = std::sqrt(1e5 * 2500.0 / 192000.0);
    EXPECT_NEAR(synth.ReferenceAmplitude() / synth.NoiseRms(), unscaled, 1e-9 * unscaled);
    EXPECT_LT(synth.NoiseRms(), kIqNoiseRms);
    const auto x = Make(spec);
    float most = 0.0f;
    for (const auto& z : x) most = std::max({most, std::fabs(z.real()), std::fabs(z.imag())});
    EXPECT_LE(most, 0.95f);
    EXPECT_GT(most, 0.05f);
}

TEST(IqSynth, SpecsOutsideWhatCanBeRecordedAreRefused) {
    IqSynthSpec spec = Band();
    EXPECT_EQ(CheckIqSynthSpec(spec), "nothing to synthesise: give a beacon, a steady carrier or an SNR");
    spec.beacons.push_back(Beacon(421.0, IqKeying::Both));
    EXPECT_EQ(CheckIqSynthSpec(spec),
              "a beacon at 421 kHz lies outside the recorded band, 378.400 to 421.600 kHz (centre 400 kHz, rate 48000 Hz)");
    spec.beacons[0].keying = IqKeying::Carrier;  // without a tone it reaches no further than its carrier
    EXPECT_EQ(CheckIqSynthSpec(spec), "");
    spec.driftHzPerMinute = 100.0;  // 13 Hz over the 8 s: still inside
    EXPECT_EQ(CheckIqSynthSpec(spec), "");
    spec.seconds = 60.0 * 20;  // 2 kHz of drift carries it out
    EXPECT_NE(CheckIqSynthSpec(spec).find("outside the recorded band"), std::string::npos);
    spec = Band(3e6);
    spec.withNoise = true;
    EXPECT_EQ(CheckIqSynthSpec(spec), "the rate must be 48000 to 2400000 Hz");
    spec = Band();
    spec.carriers.push_back({400.0, 0.0});
    spec.beacons.push_back(Beacon(401.0, IqKeying::Upper, "LONGIDENT"));
    EXPECT_NE(CheckIqSynthSpec(spec).find("longer than its 4 s period"), std::string::npos);
}

TEST(IqSynth, FilesReadBackAsTheSameSamplesWithTheirAuxiChunk) {
    test::TempDir dir;
    IqSynthSpec spec = Band(250000.0, 1.5);
    spec.centreKHz = 404.0;
    spec.startUtc = 1709673330;
    spec.withNoise = true;
    spec.beacons.push_back(Beacon(410.0, IqKeying::Both));
    const auto want = Make(spec);
    for (const bool rf64 : {false, true}) {
        for (const IqSampleFormat format : {IqSampleFormat::S16, IqSampleFormat::F32}) {
            const std::string path = dir.file("band.wav");
            IqSynthesiser synth(spec);
            IqWavWriter writer;
            std::string error;
            ASSERT_TRUE(writer.Open(path, {spec.sampleRate, format, synth.TotalSamples(), 404000.0, spec.startUtc, rf64},
                                    error)) << error;
            std::vector<std::complex<float>> block(10000);
            while (const size_t n = synth.Fill(block.data(), block.size())) ASSERT_TRUE(writer.Write(block.data(), n, error));
            ASSERT_TRUE(writer.Close(error)) << error;
            EXPECT_EQ(writer.Rf64(), rf64);

            std::string message;
            auto s = OpenIqRecording(path, {}, message);
            ASSERT_TRUE(s) << message;
            EXPECT_EQ(s->Info().centreHz, 404000.0);
            EXPECT_EQ(s->Info().centreSource, "auxi chunk");
            EXPECT_EQ(s->Info().startUtc, spec.startUtc);
            EXPECT_EQ(s->Info().totalSamples, want.size());
            EXPECT_EQ(s->Info().description, std::string(rf64 ? "RF64" : "WAV") +
                                                 (format == IqSampleFormat::F32 ? ", 32-bit float" : ", 16-bit") +
                                                 ", 250000 Hz");
            std::vector<std::complex<float>> got(want.size() + 10);
            ASSERT_EQ(s->Read(got.data(), got.size()), want.size());
            EXPECT_EQ(s->Error(), "");
            double worst = 0.0;
            for (size_t k = 0; k < want.size(); ++k) worst = std::max(worst, static_cast<double>(std::abs(got[k] - want[k])));
            EXPECT_LE(worst, format == IqSampleFormat::F32 ? 0.0 : 0.71 / 32768.0) << rf64;
        }
    }
    // The in-memory stream is the float file's samples.
    auto memory = MakeIqSynthSource(spec);
    std::vector<std::complex<float>> got(want.size());
    EXPECT_EQ(memory->Read(got.data(), got.size()), want.size());
    EXPECT_EQ(got, want);
    EXPECT_EQ(memory->Info().startUtc, spec.startUtc);
    EXPECT_EQ(memory->Info().centreHz, 404000.0);
}

TEST(IqSynth, TheCommandLineWritesARecordingAndRefusesWhatCannotBe) {
    test::TempDir dir;
    const std::string out = dir.file("band.wav");
    test::CliResult r = test::RunCliArgs({"synth", "--iq", "--centre-khz", "400", "--rate", "96000", "--seconds", "3",
                                          "--start", "2024-12-31T23:40:00Z", "--beacon", "404.5", "--ident", "ABC",
                                          "--keying", "upper", "--tone", "400", "--level", "-6", "--steady", "390",
                                          "--snr", "10", "--format", "f32", out});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.err.find("ABC at 404.5 kHz (tone above 400 Hz, every 8 s, 7 wpm, -6 dB)"), std::string::npos) << r.err;
    std::string message;
    auto s = OpenIqRecording(out, {}, message);
    ASSERT_TRUE(s) << message;
    EXPECT_EQ(s->Info().startUtc, 1735688400);
    EXPECT_EQ(s->Info().totalSamples, 3u * 96000);
    EXPECT_EQ(s->Info().description, "WAV, 32-bit float, 96000 Hz");

    r = test::RunCliArgs({"synth", "--iq", "--beacon", "404", out});
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("needs --centre-khz"), std::string::npos) << r.err;
    r = test::RunCliArgs({"synth", "--iq", "--centre-khz", "400", "--level", "3", "--beacon", "404", out});
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("give --beacon KHZ before"), std::string::npos) << r.err;
    r = test::RunCliArgs({"synth", "--iq", "--centre-khz", "400", "--beacon", "404", "--keying", "am", out});
    EXPECT_NE(r.err.find("--keying must be upper, lower, both or carrier"), std::string::npos) << r.err;
    r = test::RunCliArgs({"synth", "--iq", "--centre-khz", "400", "--start", "2024-02-30T00:00:00Z", "--snr", "0", out});
    EXPECT_NE(r.err.find("--start takes a UTC time"), std::string::npos) << r.err;
    r = test::RunCliArgs({"synth", "--help"});
    EXPECT_NE(r.out.find("over the noise power in 2500 Hz"), std::string::npos);
    // Without --iq the audio synthesiser answers, as before.
    r = test::RunCliArgs({"synth", "--ident", "DGU", "--seconds", "2", dir.file("audio.wav")});
    EXPECT_EQ(r.status, 0) << r.err;
}

}  // namespace
}  // namespace sorv
