// The synthesiser's receiver noise, measured from what it writes: crash rate and level, the
// noise floor's drift and wander, the spectral tilt, mains hum, random fading, AGC pumping; and
// the promise that the recordings of the older options are the bytes they always were.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <complex>
#include <numeric>
#include <vector>

#include "audio/synth/receiver_audio.h"

namespace sorv {
namespace {

// Samples in 8-bit counts around 0, from the 16-bit output (256 times finer).
std::vector<double> Counts(const SynthSpec& spec) {
    ReceiverAudio audio(spec);
    std::vector<int16_t> s(audio.TotalSamples());
    EXPECT_EQ(audio.Fill(s.data(), s.size()), s.size());
    std::vector<double> v(s.size());
    for (size_t i = 0; i < s.size(); ++i) v[i] = s[i] / 256.0;
    return v;
}

// The same, and the audio that made them, for its counts.
std::vector<double> Counts(ReceiverAudio& audio) {
    std::vector<int16_t> s(audio.TotalSamples());
    EXPECT_EQ(audio.Fill(s.data(), s.size()), s.size());
    std::vector<double> v(s.size());
    for (size_t i = 0; i < s.size(); ++i) v[i] = s[i] / 256.0;
    return v;
}

std::vector<uint8_t> Bytes(const SynthSpec& spec) {
    ReceiverAudio audio(spec);
    std::vector<uint8_t> out(audio.TotalSamples());
    EXPECT_EQ(audio.Fill(out.data(), out.size()), out.size());
    return out;
}

double Rms(const std::vector<double>& s, size_t from, size_t to) {
    double sum2 = 0;
    for (size_t i = from; i < to; ++i) sum2 += s[i] * s[i];
    return std::sqrt(sum2 / static_cast<double>(to - from));
}

double Db(double ratio) { return 20.0 * std::log10(ratio); }

// Power density at hz, relative to white noise of rms 1: Hann-windowed periodograms of
// 2400-sample pieces (20 Hz wide), averaged.
double Density(const std::vector<double>& s, double hz, double rate) {
    constexpr size_t kPiece = 2400;
    std::vector<std::complex<double>> basis(kPiece);
    double window2 = 0;
    for (size_t i = 0; i < kPiece; ++i) {
        const double w = 0.5 - 0.5 * std::cos(2 * M_PI * (i + 0.5) / kPiece);
        basis[i] = w * std::polar(1.0, -2 * M_PI * hz * static_cast<double>(i) / rate);
        window2 += w * w;
    }
    double sum = 0;
    size_t pieces = 0;
    for (size_t at = 0; at + kPiece <= s.size(); at += kPiece, ++pieces) {
        std::complex<double> acc = 0;
        for (size_t i = 0; i < kPiece; ++i) acc += s[at + i] * basis[i];
        sum += std::norm(acc) / window2;
    }
    return sum / static_cast<double>(pieces);
}

double ToneAmplitude(const std::vector<double>& s, double hz, size_t from, size_t to, double rate) {
    std::complex<double> acc = 0;
    for (size_t i = from; i < to; ++i) acc += s[i] * std::polar(1.0, -2 * M_PI * hz * static_cast<double>(i) / rate);
    return 2.0 * std::abs(acc) / static_cast<double>(to - from);
}

// The amplitude of one tone in pieces of a fixed length (its phase at each piece's start does
// not matter to the amplitude, so one table serves every piece).
class ToneMeter {
public:
    ToneMeter(double hz, size_t piece, double rate) : cos_(piece), sin_(piece) {
        for (size_t i = 0; i < piece; ++i) {
            cos_[i] = std::cos(2 * M_PI * hz * static_cast<double>(i) / rate);
            sin_[i] = std::sin(2 * M_PI * hz * static_cast<double>(i) / rate);
        }
    }
    double At(const std::vector<double>& s, size_t from) const {
        double re = 0, im = 0;
        const double* x = s.data() + from;
        for (size_t i = 0; i < cos_.size(); ++i) {
            re += x[i] * cos_[i];
            im += x[i] * sin_[i];
        }
        return 2.0 * std::hypot(re, im) / static_cast<double>(cos_.size());
    }

private:
    std::vector<double> cos_, sin_;
};

SynthSpec Noise(double seconds, uint32_t seed = 1) {
    SynthSpec spec;
    spec.withNoise = true;
    spec.snrDb = 0;
    spec.seconds = seconds;
    spec.seed = seed;
    return spec;
}

// Starts of bursts: 0.5 ms pieces whose rms is 12 dB over the noise, after 10 ms without one.
std::vector<size_t> CrashStarts(const std::vector<double>& s, double noiseRms) {
    std::vector<size_t> starts;
    size_t quietSince = 0;
    for (size_t at = 0; at + 24 <= s.size(); at += 24) {
        if (Rms(s, at, at + 24) > 4.0 * noiseRms) {
            if (starts.empty() || at >= quietSince + 480) starts.push_back(at);
            quietSince = at;
        }
    }
    return starts;
}

uint64_t Fnv1a(const std::vector<uint8_t>& bytes) {
    uint64_t h = 0xcbf29ce484222325ull;
    for (uint8_t b : bytes) h = (h ^ b) * 0x100000001b3ull;
    return h;
}

SynthIdent Ident(const std::string& text, double tone, double period, double wpm, double level = 0.0,
                 double offset = 0.5) {
    SynthIdent id;
    id.ident = text;
    id.toneHz = tone;
    id.periodSeconds = period;
    id.wpm = wpm;
    id.levelDb = level;
    id.offsetSeconds = offset;
    return id;
}

TEST(SynthNoiseKinds, TheOlderOptionsStillGiveTheBytesTheyAlwaysGave) {
    // Hashes of recordings written before the noise kinds existed (the README's demo, fading
    // and drift of two idents and a carrier, a clean recording, and one scaled down to fit).
    SynthSpec demo = Noise(20);
    demo.snrDb = -3;
    demo.idents.push_back(Ident("DGU", 1015, 8, 8));
    EXPECT_EQ(Fnv1a(Bytes(demo)), 0xc78a3b5678132d21ull);

    SynthSpec faded = Noise(12, 7);
    faded.snrDb = 5;
    faded.idents.push_back(Ident("RAMS", 980.5, 11, 7, -4, 1.25));
    faded.idents.push_back(Ident("SN", 1062.5, 6.5, 10));
    faded.carriers.push_back({1200, -6});
    faded.fadeDepthDb = 10;
    faded.fadePeriodSeconds = 7;
    faded.driftHzPerMinute = 3;
    EXPECT_EQ(Fnv1a(Bytes(faded)), 0x236bc81fa63e137dull);

    SynthSpec clean;
    clean.seconds = 3;
    clean.idents.push_back(Ident("AB", 900, 9, 8));
    clean.carriers.push_back({1100, 0});
    EXPECT_EQ(Fnv1a(Bytes(clean)), 0xc65bcd9de21252d6ull);

    SynthSpec scaled = Noise(5, 3);
    scaled.snrDb = 20;
    scaled.idents.push_back(Ident("K7X", 1000, 9, 8, 10));
    scaled.carriers.push_back({1050, 20});
    EXPECT_EQ(Fnv1a(Bytes(scaled)), 0x0f98fc9135d816e2ull);
}

TEST(SynthNoiseKinds, EachKindDrawsFromItsOwnStreamAndPiecesDoNotMatter) {
    SynthSpec plain = Noise(4, 5);
    SynthSpec crashing = plain;
    crashing.crashes.perSecond = 5;
    const auto a = Bytes(plain);
    const auto b = Bytes(crashing);
    ReceiverAudio audio(crashing);
    std::vector<uint8_t> scratch(audio.TotalSamples());
    audio.Fill(scratch.data(), scratch.size());
    ASSERT_GT(audio.Crashes(), 5u);
    // The crashes add to the white noise and leave every other sample as it was.
    size_t differ = 0;
    for (size_t i = 0; i < a.size(); ++i) differ += a[i] != b[i];
    EXPECT_GT(differ, 0u);
    EXPECT_LE(differ, audio.Crashes() * 240);  // 5 ms each

    // Every kind at once, in pieces of any size, gives the same stream as one Fill.
    SynthSpec all = Noise(3, 9);
    all.idents.push_back(Ident("DGU", 1015, 8, 8, 6));
    all.carriers.push_back({1100, 3});
    all.crashes.perSecond = 4;
    all.noiseDriftDb = 6;
    all.noiseWanderDb = 2;
    all.noiseWanderSeconds = 1;
    all.noiseTiltDbPerOctave = -3;
    all.humHz = 60;
    all.qsbDb = 6;
    all.qsbSeconds = 1;
    all.agc.on = true;
    all.fadeDepthDb = 6;
    all.fadePeriodSeconds = 2;
    all.driftHzPerMinute = 5;
    const auto whole = Bytes(all);
    EXPECT_EQ(whole, Bytes(all));
    ReceiverAudio pieces(all);
    std::vector<uint8_t> joined(whole.size());
    size_t at = 0;
    for (size_t n : {1u, 479u, 481u, 7u, 48000u, 200000u})
        at += pieces.Fill(joined.data() + at, std::min(n, whole.size() - at));
    EXPECT_EQ(at, whole.size());
    EXPECT_EQ(joined, whole);
    all.seed = 10;
    EXPECT_NE(Bytes(all), whole);
}

TEST(SynthNoiseKinds, CrashesComeAtTheirRateAtRandomAtTheirLevels) {
    SynthSpec spec = Noise(40);
    spec.noiseRmsCounts = 2;  // room for the crashes: 30 dB is 63 counts rms
    spec.crashes.perSecond = 3;
    spec.crashes.levelDb = 25;
    spec.crashes.spreadDb = 10;
    ReceiverAudio audio(spec);
    const auto s = Counts(audio);
    ASSERT_DOUBLE_EQ(audio.NoiseRms(), 2.0);
    // 120 expected; Poisson: +-11 is one deviation. Two crashes within 10 ms count as one.
    EXPECT_GT(audio.Crashes(), 120u - 40u);
    EXPECT_LT(audio.Crashes(), 120u + 40u);
    const auto starts = CrashStarts(s, 2.0);
    EXPECT_LE(starts.size(), audio.Crashes());
    EXPECT_GT(starts.size(), 120u - 40u);
    EXPECT_LT(starts.size(), 120u + 40u);
    // Intervals are exponential: about 1 - 1/e of them are shorter than the mean interval.
    size_t shortGaps = 0;
    for (size_t i = 1; i < starts.size(); ++i) shortGaps += starts[i] - starts[i - 1] < 48000 / 3;
    const double shortShare = static_cast<double>(shortGaps) / static_cast<double>(starts.size() - 1);
    EXPECT_NEAR(shortShare, 1.0 - std::exp(-1.0), 0.12);
    // Levels: the rms of each crash's first 0.5 ms (3 dB of decay in it, so 1.5 dB below the
    // start) spread evenly over 20..30 dB.
    std::vector<double> levels;
    for (size_t at : starts) {
        double loudest = 0;
        for (size_t k = at >= 24 ? at - 24 : 0; k <= at + 24; k += 4) loudest = std::max(loudest, Rms(s, k, k + 24));
        levels.push_back(Db(loudest / 2.0) + 1.5);
    }
    std::sort(levels.begin(), levels.end());
    auto quantile = [&](double q) { return levels[static_cast<size_t>(q * static_cast<double>(levels.size() - 1))]; };
    EXPECT_NEAR(quantile(0.5), 25.0, 1.5);
    EXPECT_NEAR(quantile(0.9) - quantile(0.1), 8.0, 2.0);
    EXPECT_GT(quantile(0.0), 16.0);
    EXPECT_LT(quantile(1.0), 34.0);
    // Between crashes the noise is the white noise alone.
    EXPECT_NEAR(Rms(s, starts[0] / 2, starts[0] / 2 + 1000), 2.0, 0.3);
}

TEST(SynthNoiseKinds, AtSixteenCountsLoudCrashesClipAndAreCounted) {
    SynthSpec spec = Noise(5);
    spec.crashes.perSecond = 3;
    spec.crashes.levelDb = 30;
    spec.crashes.spreadDb = 0;
    ReceiverAudio audio(spec);
    std::vector<uint8_t> s(audio.TotalSamples());
    audio.Fill(s.data(), s.size());
    EXPECT_GT(audio.ClippedSamples(), audio.Crashes() * 20);
    EXPECT_GE(std::count(s.begin(), s.end(), 255) + std::count(s.begin(), s.end(), 0),
              static_cast<long>(audio.ClippedSamples()));
    // The noise itself is not scaled down for them.
    EXPECT_DOUBLE_EQ(audio.NoiseRms(), 16.0);
}

TEST(SynthNoiseKinds, TheNoiseFloorDriftsEndToEndAndWandersByItsDeviation) {
    SynthSpec drift = Noise(20);
    drift.noiseDriftDb = 10;
    const auto d = Counts(drift);
    const size_t second = 48000;
    // The ramp is at -4.75 dB over the first second, +4.75 over the last, 0 in the middle.
    EXPECT_NEAR(Db(Rms(d, 0, second) / 16.0), -4.75, 0.3);
    EXPECT_NEAR(Db(Rms(d, 19 * second, 20 * second) / 16.0), 4.75, 0.3);
    EXPECT_NEAR(Db(Rms(d, 9 * second + second / 2, 10 * second + second / 2) / 16.0), 0.0, 0.3);
    SynthSpec falling = drift;
    falling.noiseDriftDb = -10;
    const auto f = Counts(falling);
    EXPECT_NEAR(Db(Rms(f, 19 * second, 20 * second) / Rms(f, 0, second)), -9.5, 0.4);

    SynthSpec wander = Noise(120);
    wander.noiseWanderDb = 3;
    wander.noiseWanderSeconds = 1;
    ReceiverAudio wandering(wander);
    const auto w = Counts(wandering);
    // Room is left for three deviations above the level: 4 * 16 counts * 9 dB passes 124.
    const double level = wandering.NoiseRms();
    EXPECT_NEAR(level, 124.0 / 4.0 / std::pow(10.0, 9.0 / 20.0), 1e-9);
    std::vector<double> db;
    for (size_t at = 0; at + 4800 <= w.size(); at += 4800) db.push_back(Db(Rms(w, at, at + 4800) / level));
    const double mean = std::accumulate(db.begin(), db.end(), 0.0) / static_cast<double>(db.size());
    double var = 0;
    for (double x : db) var += (x - mean) * (x - mean);
    // 0.1 s pieces add their own 0.3 dB of scatter to the wander's 3 dB.
    EXPECT_NEAR(std::sqrt(var / static_cast<double>(db.size())), 3.0, 0.8);
    EXPECT_NEAR(mean, 0.0, 1.5);
    EXPECT_LE(*std::max_element(db.begin(), db.end()), 9.0 + 1.0);
}

TEST(SynthNoiseKinds, TiltedNoiseFallsByItsSlopePerOctaveAndKeepsTheDensityAt1000Hz) {
    const SynthSpec white = Noise(10);
    const auto w = Counts(white);
    const double at1000 = Density(w, 1000, 48000);
    EXPECT_NEAR(10 * std::log10(at1000 / 256.0), 0.0, 0.5);  // white: 16 counts rms everywhere
    for (double slope : {-3.0, 3.0, -6.0}) {
        SynthSpec tilted = white;
        tilted.noiseTiltDbPerOctave = slope;
        ReceiverAudio audio(tilted);
        const auto t = Counts(audio);
        // Rising noise has more power and is scaled down to fit; the density at 1000 Hz is
        // that of white noise of the rms the audio states.
        if (slope > 0) {
            EXPECT_LT(audio.NoiseRms(), 15.0);
        }
        const double ref = Density(t, 1000, 48000);
        EXPECT_NEAR(10 * std::log10(ref / (audio.NoiseRms() * audio.NoiseRms())), 0.0, 0.6) << slope;
        // Four octaves down and three up from 1000 Hz.
        EXPECT_NEAR(10 * std::log10(Density(t, 250, 48000) / ref), -2 * slope, 1.0) << slope;
        EXPECT_NEAR(10 * std::log10(Density(t, 8000, 48000) / ref), 3 * slope, 1.0) << slope;
    }
}

TEST(SynthNoiseKinds, MainsHumIsTheFundamentalAtItsLevelAndHarmonicsUpTo3kHz) {
    SynthSpec spec = Noise(2);
    spec.noiseRmsCounts = 1;  // so the correlation's noise stays far below the harmonics
    spec.humHz = 50;
    spec.humLevelDb = 20;
    const auto s = Counts(spec);
    // A^2/2 = 100 * 1 * 2500/24000.
    const double a1 = std::sqrt(2 * 100 * 2500.0 / 24000.0);
    EXPECT_NEAR(ToneAmplitude(s, 50, 0, s.size(), 48000), a1, 0.03 * a1);
    EXPECT_NEAR(ToneAmplitude(s, 1000, 0, s.size(), 48000), a1 / 20, 0.03 * a1);
    EXPECT_NEAR(ToneAmplitude(s, 2950, 0, s.size(), 48000), a1 / 59, 0.01 * a1);
    EXPECT_LT(ToneAmplitude(s, 1025, 0, s.size(), 48000), 0.01 * a1);
    EXPECT_LT(ToneAmplitude(s, 3050, 0, s.size(), 48000), 0.01 * a1);

    spec.humHz = 60;
    spec.format = SynthFormat::Stereo16Bit44k;
    const auto h = Counts(spec);
    const double a44 = std::sqrt(2 * 100 * 2500.0 / 22050.0);
    EXPECT_NEAR(ToneAmplitude(h, 60, 0, h.size(), 44100), a44, 0.03 * a44);
    EXPECT_NEAR(ToneAmplitude(h, 600, 0, h.size(), 44100), a44 / 10, 0.03 * a44);
}

TEST(SynthNoiseKinds, RandomFadingIsLogNormalWithItsDeviationAndEachIdentFadesOnItsOwn) {
    // Two long dashes in clean audio (keyed 3.6 s of every 4 s), so the level can be read off
    // the tone every 20 ms of key-down.
    SynthSpec spec;
    spec.seconds = 90;
    spec.idents.push_back(Ident("T", 900, 4, 1, 0, 0));
    spec.idents.push_back(Ident("T", 1300, 4, 1, 0, 0));
    spec.qsbDb = 6;
    spec.qsbSeconds = 1.5;
    ReceiverAudio audio(spec);
    const double reference = audio.ReferenceAmplitude();
    const auto s = Counts(spec);
    std::vector<double> a, b;
    const ToneMeter low(900, 960, 48000), high(1300, 960, 48000);
    for (size_t at = 0; at + 960 <= s.size(); at += 960) {
        const double t = std::fmod(static_cast<double>(at) / 48000, 4.0);
        if (t < 0.05 || t > 3.5) continue;  // key-down only
        a.push_back(Db(low.At(s, at) / reference));
        b.push_back(Db(high.At(s, at) / reference));
    }
    auto mean = [](const std::vector<double>& x) {
        return std::accumulate(x.begin(), x.end(), 0.0) / static_cast<double>(x.size());
    };
    auto covariance = [&](const std::vector<double>& x, const std::vector<double>& y, size_t lag) {
        const double mx = mean(x), my = mean(y);
        double c = 0;
        for (size_t i = 0; i + lag < x.size(); ++i) c += (x[i] - mx) * (y[i + lag] - my);
        return c / static_cast<double>(x.size() - lag);
    };
    const double var = covariance(a, a, 0);
    EXPECT_NEAR(std::sqrt(var), 6.0, 1.5);
    EXPECT_NEAR(std::sqrt(covariance(b, b, 0)), 6.0, 1.5);
    EXPECT_NEAR(mean(a), 0.0, 3.0);  // the stated level is the median
    // Correlated over a fraction of its time, forgotten after ten of them; the two idents are
    // independent.
    EXPECT_GT(covariance(a, a, 10) / var, 0.8);   // 0.2 s of key-down
    EXPECT_LT(covariance(a, a, 1000) / var, 0.4);  // 23 s
    EXPECT_LT(std::fabs(covariance(a, b, 0)) / std::sqrt(var * covariance(b, b, 0)), 0.5);
}

TEST(SynthNoiseKinds, TheAgcPumpsTheNoiseDownAfterACrashAndLetsItBackUp) {
    SynthSpec spec = Noise(60, 4);
    spec.crashes.perSecond = 0.4;
    spec.crashes.levelDb = 30;
    spec.crashes.spreadDb = 0;
    spec.noiseRmsCounts = 3;  // the crashes unclipped, so the bare file shows them whole
    const auto bare = Counts(spec);
    SynthSpec agc = spec;
    agc.agc.on = true;
    agc.agc.decayMs = 200;
    const auto pumped = Counts(agc);
    const auto starts = CrashStarts(bare, 3.0);
    ASSERT_GT(starts.size(), 8u);
    size_t checked = 0;
    for (size_t i = 0; i + 1 < starts.size(); ++i) {
        const size_t at = starts[i];
        if (starts[i + 1] - at < 2.2 * 48000) continue;
        ++checked;
        // 20..60 ms after the crash the bare noise is as ever, the AGC's far down...
        const size_t from = at + 960, to = at + 2880;
        EXPECT_NEAR(Db(Rms(bare, from, to) / 3.0), 0.0, 1.0);
        EXPECT_LT(Db(Rms(pumped, from, to) / 3.0), -12.0);
        // ...and 2 s later (ten decay times) back.
        EXPECT_NEAR(Db(Rms(pumped, at + 96000, at + 96000 + 9600) / 3.0), 0.0, 1.0);
    }
    EXPECT_GE(checked, 3u);
    // Below its threshold the AGC leaves the noise alone.
    SynthSpec quiet = Noise(5);
    quiet.agc.on = true;
    const auto q = Counts(quiet);
    EXPECT_NEAR(Db(Rms(q, 0, q.size()) / 16.0), 0.0, 0.2);
}

TEST(SynthNoiseKinds, StrongCarriersUpTo30dBOverTheNoiseFitWithoutClipping) {
    // An ident at -24 dB beside a carrier whose SNR in 2500 Hz is +30 dB.
    SynthSpec spec = Noise(10);
    spec.snrDb = -24;
    spec.idents.push_back(Ident("DGU", 1015, 8, 8));
    spec.carriers.push_back({1070, 54});
    ReceiverAudio audio(spec);
    std::vector<uint8_t> s(audio.TotalSamples());
    audio.Fill(s.data(), s.size());
    EXPECT_LE(audio.ClippedSamples(), 10u);  // four noise deviations on the carrier's crest, rarely
    const double carrier = audio.ReferenceAmplitude() * std::pow(10.0, 54 / 20.0);
    const double noiseIn2500 = audio.NoiseRms() * audio.NoiseRms() * 2500 / 24000;
    EXPECT_NEAR(10 * std::log10(carrier * carrier / 2 / noiseIn2500), 30.0, 1e-9);
    EXPECT_GT(audio.NoiseRms(), 6.0);  // well above the rounding's 0.29 counts
}

TEST(SynthNoiseKinds, SpecCheckRefusesNoiseKindsItCannotMake) {
    SynthSpec spec;
    spec.idents.push_back(Ident("AB", 1000, 9, 8));
    spec.crashes.perSecond = 3;
    EXPECT_NE(CheckSynthSpec(spec).find("need noise"), std::string::npos);
    spec.withNoise = true;
    EXPECT_EQ(CheckSynthSpec(spec), "");
    spec.humHz = 55;
    EXPECT_NE(CheckSynthSpec(spec).find("50 or 60"), std::string::npos);
    spec.humHz = 60;
    spec.noiseTiltDbPerOctave = 7;
    EXPECT_NE(CheckSynthSpec(spec), "");
    spec.noiseTiltDbPerOctave = -6;
    spec.crashes.milliseconds = 0;
    EXPECT_NE(CheckSynthSpec(spec), "");
    spec.crashes.milliseconds = 5;
    spec.qsbSeconds = 0;
    EXPECT_NE(CheckSynthSpec(spec), "");
    spec.qsbSeconds = 180;
    spec.agc.decayMs = NAN;
    EXPECT_NE(CheckSynthSpec(spec), "");
    spec.agc.decayMs = 500;
    EXPECT_EQ(CheckSynthSpec(spec), "");
    spec.format = SynthFormat::Stereo16Bit44k;
    spec.seconds = 7 * 3600.0;  // more than 4 GiB of 16-bit stereo
    EXPECT_NE(CheckSynthSpec(spec).find("6.75 hours"), std::string::npos);
    spec.seconds = 60;
    spec.idents[0].toneHz = 23000;  // above 44100 Hz's Nyquist frequency
    EXPECT_NE(CheckSynthSpec(spec).find("22050"), std::string::npos);
}

}  // namespace
}  // namespace sorv
