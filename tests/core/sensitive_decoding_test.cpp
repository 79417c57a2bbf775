// Reading folded traces by likelihood: traces whose right answer is known (an ident keyed at a
// unit, with noise of a known level), read as the search reads them and judged by the
// search's acceptance: the text, its fit, its margin over the best other text, and what it
// leaves unexplained.
#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <string>
#include <vector>

#include "analysis/morse_reader.h"
#include "analysis/sensitive_decoding.h"
#include "analysis/sensitive_search.h"
#include "support/keyed_rows.h"

namespace sorv::test {
namespace {

constexpr double kRowRate = 31.25;

struct TraceSpec {
    std::string ident = "DGU";
    int n = 250;             // one period, in rows
    double unit = 4.7;       // rows per dot
    double start = 20.0;     // row of the first key-down
    double on = 1.0, off = 0.0;
    double noise = 0.0;      // Gaussian, per bin
    uint32_t seed = 1;
    std::string units;       // instead of the ident: '1' key down, '0' up, per dot unit
};

// A folded trace of a keyed ident: each bin the fraction of its row that the key is down,
// blurred over a neighbouring row as the producer's overlapping frames blur it.
FoldedTrace KeyedTrace(const TraceSpec& s, const RowResponse& response) {
    std::vector<bool> units = KeyingUnits(s.ident);
    if (!s.units.empty()) {
        units.clear();
        for (char c : s.units) units.push_back(c == '1');
    }
    std::vector<double> key(static_cast<size_t>(s.n), 0.0);
    for (int i = 0; i < s.n; ++i) {
        double down = 0.0;
        for (int sub = 0; sub < 10; ++sub) {
            const double t = std::fmod(i - 0.5 + (sub + 0.5) / 10.0 - s.start + s.n, static_cast<double>(s.n));
            const double u = t / s.unit;
            if (u >= 0.0 && u < static_cast<double>(units.size()) && units[static_cast<size_t>(u)]) down += 0.1;
        }
        key[static_cast<size_t>(i)] = down;
    }
    std::mt19937 rng(s.seed);
    std::normal_distribution<double> gauss(0.0, 1.0);
    FoldedTrace trace;
    trace.value.resize(static_cast<size_t>(s.n));
    trace.count.assign(static_cast<size_t>(s.n), 1.0);
    for (int i = 0; i < s.n; ++i) {
        const double k = 0.5 * key[static_cast<size_t>(i)] + 0.25 * (key[static_cast<size_t>((i + s.n - 1) % s.n)] +
                                                                     key[static_cast<size_t>((i + 1) % s.n)]);
        trace.value[static_cast<size_t>(i)] = s.off + (s.on - s.off) * k + s.noise * gauss(rng);
    }
    // The noise as the search measures it; a clean trace gets a small one of its own scale.
    trace.rowNoise = s.noise > 0.0 ? s.noise : 0.01 * std::fabs(s.on - s.off) + 1e-300;
    trace.response = &response;
    return trace;
}

RowResponse TwoRows() {
    RowResponse r;
    r.SetRectangular(2.0);
    return r;
}

MorseReading Read(const TraceSpec& s) {
    static const RowResponse response = TwoRows();
    return ReadMorse(KeyedTrace(s, response), AutomaticUnits(kRowRate));
}

std::string Why(const MorseReading& r) {
    return "'" + r.text + "' score " + std::to_string(r.fit.score) + " margin " + std::to_string(r.margin) +
           " over '" + r.runnerUp + "' silence " + std::to_string(r.silence) + " (" +
           std::to_string(r.silenceShare) + " of the key-down) misfit " + std::to_string(r.misfit) +
           " unit " + std::to_string(r.timing.unit);
}

TEST(SensitiveDecoding, ReadsIdentsAtTheSpeedsAndPeriodsOfBeacons) {
    struct Case { const char* ident; int n; double unit; };
    const Case cases[] = {{"DGU", 250, 4.69}, {"AB", 188, 6.25}, {"KX", 328, 5.36}, {"RAM", 375, 6.25},
                          {"SN", 219, 4.69},  {"OHM", 344, 4.69}, {"I", 200, 5.0}, {"TZ", 203, 6.25},
                          {"Q7", 400, 3.5}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.ident);
        TraceSpec s;
        s.ident = c.ident;
        s.n = c.n;
        s.unit = c.unit;
        s.noise = 0.05;
        const MorseReading r = Read(s);
        EXPECT_TRUE(AcceptableReading(r)) << Why(r);
        EXPECT_EQ(r.text, c.ident);
        EXPECT_NEAR(r.timing.unit, c.unit, 0.1);
        // The first key-down where it was keyed (the rows' smear is in the model).
        EXPECT_NEAR(r.timing.start, s.start, 1.0);
    }
}

TEST(SensitiveDecoding, NeitherThePhaseNorTheLevelsChangeTheReading) {
    TraceSpec s;
    for (double start : {0.0, 121.0, 230.5}) {
        for (double scale : {1e-6, 3.7e5}) {
            s.start = start;
            s.off = 2.0 * scale;
            s.on = 3.1 * scale;
            s.noise = 0.05 * scale;
            const MorseReading r = Read(s);
            EXPECT_TRUE(AcceptableReading(r)) << start << " " << scale << " " << Why(r);
            EXPECT_EQ(r.text, "DGU") << start << " " << scale;
            EXPECT_NEAR(r.fit.amplitude, 1.1 * scale, 0.1 * scale);
        }
    }
}

// A dot of 4.7 bins with noise of a quarter of the contrast per bin stands about 8 deviations
// out: every element is read, and the best other text lies well behind.
TEST(SensitiveDecoding, ReadsThroughNoiseOfAQuarterOfTheContrast) {
    for (uint32_t seed = 1; seed <= 6; ++seed) {
        TraceSpec s;
        s.noise = 0.25;
        s.seed = seed;
        const MorseReading r = Read(s);
        EXPECT_EQ(r.text, "DGU") << seed << " " << Why(r);
        EXPECT_TRUE(AcceptableReading(r)) << seed << " " << Why(r);
    }
}

TEST(SensitiveDecoding, NoiseAndSteadyModulationAreNotIdents) {
    // Noise alone: the best of a million texts fits it, but not as well as an ident would.
    for (uint32_t seed = 1; seed <= 12; ++seed) {
        TraceSpec s;
        s.on = s.off = 0.0;
        s.noise = 1.0;
        s.seed = seed;
        const MorseReading r = Read(s);
        EXPECT_FALSE(AcceptableReading(r)) << seed << " " << Why(r);
        EXPECT_LT(r.fit.score, kAcceptScore - 1.0) << seed << " " << Why(r);
    }
    // Two carriers beating in one line: half a period up, half down, no Morse length.
    static const RowResponse response = TwoRows();
    FoldedTrace beat;
    beat.value.resize(300);
    beat.count.assign(300, 1.0);
    for (int i = 0; i < 300; ++i) beat.value[static_cast<size_t>(i)] = 1.0 + std::cos(2 * M_PI * i / 300.0);
    beat.rowNoise = 0.05;
    beat.response = &response;
    const MorseReading r = ReadMorse(beat, AutomaticUnits(kRowRate));
    EXPECT_FALSE(AcceptableReading(r)) << Why(r);
    // No keying at all.
    FoldedTrace flat = beat;
    flat.value.assign(300, 5.0);
    EXPECT_FALSE(AcceptableReading(ReadMorse(flat, AutomaticUnits(kRowRate))));
}

TEST(SensitiveDecoding, RefusesWhatNoBeaconSends) {
    // Five letters: the best four leave the fifth in the silence.
    TraceSpec five;
    five.ident = "ABCDE";
    five.n = 600;
    five.unit = 4.0;
    five.noise = 0.05;
    MorseReading r = Read(five);
    EXPECT_FALSE(AcceptableReading(r)) << Why(r);
    // A, a word gap of seven units, B.
    TraceSpec gap = five;
    gap.units = "10111" "0000000" "111010101";
    gap.n = 250;
    r = Read(gap);
    EXPECT_FALSE(AcceptableReading(r)) << Why(r);
    EXPECT_TRUE((r.silence >= kMostSilence && r.silenceShare >= kMostSilenceShare) || r.misfit >= kMostMisfit)
        << Why(r);
    // ..-- has no letter in the table.
    TraceSpec none = five;
    none.units = "1010111" "0111";
    none.n = 200;
    r = Read(none);
    EXPECT_FALSE(AcceptableReading(r)) << Why(r);
    // An ident that fills its period leaves no silence between repetitions.
    TraceSpec full;
    full.n = 95;  // 29 units of 3 rows, and 8 rows of silence
    full.unit = 3.0;
    full.noise = 0.05;
    r = Read(full);
    EXPECT_FALSE(AcceptableReading(r)) << Why(r);
    // A lone key-down: a dot at one speed, a dash at a third of it.
    TraceSpec lone = full;
    lone.ident = "T";
    lone.n = 250;
    lone.unit = 2.8;
    r = Read(lone);
    EXPECT_FALSE(AcceptableReading(r)) << Why(r);
}

// A beacon thousands of noise deviations strong leaves leftovers in its silence (a receiver's
// slow recovery after each key-up) that stand many deviations out but are a few per cent of
// its key-down: it is read. An element the text leaves out is a whole key-down, however
// strong the beacon.
TEST(SensitiveDecoding, AStrongBeaconsSmallLeftoversAreNotAMissingElement) {
    static const RowResponse response = TwoRows();
    TraceSpec s;
    s.noise = 0.002;
    FoldedTrace trace = KeyedTrace(s, response);
    const int afterIdent = static_cast<int>(s.start + 40.0 * s.unit);
    for (int i = afterIdent; i < afterIdent + 30; ++i) trace.value[static_cast<size_t>(i % s.n)] += 0.04;
    MorseReading r = ReadMorse(trace, AutomaticUnits(kRowRate));
    EXPECT_EQ(r.text, "DGU") << Why(r);
    EXPECT_GT(r.silence, kMostSilence) << Why(r);
    EXPECT_TRUE(AcceptableReading(r)) << Why(r);

    TraceSpec five = s;
    five.ident = "ABCDE";
    five.n = 600;
    five.unit = 4.0;
    r = Read(five);
    EXPECT_FALSE(AcceptableReading(r)) << Why(r);
}

// The detector's rows are powers in units of the noise's mean, and a key-down's power beats
// with the noise: its variance is 1 + 2 S for a tone of power S, against 1 in the gaps. An
// ident twice the noise's power, folded 25 times, reads at about 100 deviations; judged by
// the gaps' noise alone, its key-downs stood 6 deviations out over some unit, by a third of
// its amplitude, in many traces, and it was refused for a misfit.
TEST(SensitiveDecoding, AStrongIdentsNoisierKeyDownsAreNoMisfit) {
    static const RowResponse response = TwoRows();
    constexpr double kFolds = 25.0;
    int refused = 0, right = 0;
    for (uint32_t seed = 1; seed <= 60; ++seed) {
        TraceSpec s;
        s.on = 2.0;
        FoldedTrace trace = KeyedTrace(s, response);
        std::mt19937 rng(seed);
        std::normal_distribution<double> gauss(0.0, 1.0);
        for (size_t i = 0; i < trace.value.size(); ++i) {
            const double power = trace.value[i];
            trace.value[i] += std::sqrt((1.0 + 2.0 * power) / kFolds) * gauss(rng);
            trace.count[i] = kFolds;
        }
        trace.rowNoise = 1.0;
        const MorseReading r = ReadMorse(trace, AutomaticUnits(kRowRate));
        right += r.text == "DGU" ? 1 : 0;
        refused += r.misfit >= kMostMisfit ? 1 : 0;
    }
    EXPECT_EQ(right, 60);
    EXPECT_EQ(refused, 0);
}

TEST(SensitiveDecoding, AHalfIsReadAtTheWholesTiming) {
    static const RowResponse response = TwoRows();
    TraceSpec s;
    s.noise = 0.05;
    const MorseReading whole = Read(s);
    ASSERT_TRUE(AcceptableReading(whole)) << Why(whole);
    // A half has the whole's levels with more noise.
    s.noise = 0.2;
    s.seed = 2;
    const FoldedTrace half = KeyedTrace(s, response);
    const MorseReading same = ReadMorseAt(half, whole.timing);
    EXPECT_EQ(same.text, "DGU") << Why(same);
    EXPECT_EQ(same.timing.unit, whole.timing.unit);
    EXPECT_EQ(same.timing.start, whole.timing.start);
    EXPECT_GT(FitMorse(half, "DGU", whole.timing).score, kHalfScore);
    // At a third of the unit every dot is a dash and every gap a letter gap: nothing fits.
    MorseTiming wrong = whole.timing;
    wrong.unit /= 3.0;
    EXPECT_LT(FitMorse(half, "DGU", wrong).score, 0.5 * FitMorse(half, "DGU", whole.timing).score);
    // A half in which the key is never down.
    FoldedTrace silent = half;
    std::mt19937 rng(5);
    std::normal_distribution<double> gauss(0.0, 0.2);
    for (double& v : silent.value) v = gauss(rng);
    EXPECT_LT(FitMorse(silent, "DGU", whole.timing).score, kHalfScore);
}

TEST(SensitiveDecoding, TheModelSeesTheRowsAsTheyAre) {
    // A key-down of 10 rows through rows 4 rows long: the edges ramp over the window.
    RowResponse four;
    four.SetRectangular(4.0);
    MorseTiming t;
    t.unit = 10.0;
    t.start = 50.0;
    std::vector<double> model;
    RenderMorse("E", t, &four, 100, model);
    EXPECT_NEAR(model[55], 1.0, 1e-9);           // the window wholly inside
    EXPECT_NEAR(model[50], 0.25, 0.03);          // half the window: half the amplitude
    EXPECT_NEAR(model[45], 0.0, 1e-9);
    EXPECT_NEAR(model[60], 0.25, 0.03);
    // Without a response the rows see the key as it is; and a key-down past the end
    // continues at the start.
    t.start = 95.0;
    RenderMorse("E", t, nullptr, 100, model);
    EXPECT_NEAR(model[97], 1.0, 1e-9);
    EXPECT_NEAR(model[2], 1.0, 1e-9);
    EXPECT_NEAR(model[50], 0.0, 1e-9);
    EXPECT_EQ(MorseUnits("DGU"), 29.0);
    EXPECT_EQ(MorseUnits("A?"), 0.0);
    EXPECT_TRUE(MorseIntervals("A?", t).empty());
}

// The template as its definition reads: at each of 4 sub-samples of a row, every key-down
// (and its copies one period either side) seen through the row's window, the squares of
// those amplitudes averaged over the row.
std::vector<double> TemplateByDefinition(const std::vector<KeyInterval>& keys, const RowResponse& r, int length) {
    const int subs = 4 * length;
    const double half = r.LengthRows() / 2.0;
    std::vector<double> a(static_cast<size_t>(subs), 0.0), out(static_cast<size_t>(length), 0.0);
    for (const KeyInterval& key : keys)
        for (int wrap = -1; wrap <= 1; ++wrap)
            for (int k = 0; k < subs; ++k) {
                const double tau = (k + 0.5) / 4 - 0.5;
                const double on = key.on + wrap * length, off = key.off + wrap * length;
                a[static_cast<size_t>(k)] += r.Cumulative(off - tau + half) - r.Cumulative(on - tau + half);
            }
    for (int i = 0; i < length; ++i) {
        double sum = 0.0;
        for (int s = 0; s < 4; ++s) sum += a[static_cast<size_t>(4 * i + s)] * a[static_cast<size_t>(4 * i + s)];
        out[static_cast<size_t>(i)] = sum / 4;
    }
    return out;
}

TEST(SensitiveDecoding, TemplatesAreTheirDefinitionToTheBit) {
    // Key-downs shorter and longer than the window, at fractional rows, across the trace's
    // ends and touching each other, through a rectangular window and a tapered one.
    RowResponse rectangular, tapered;
    rectangular.SetRectangular(1.0);
    tapered.Set({0.1, 0.4, 0.8, 1.0, 0.8, 0.4, 0.1}, 2.3);
    std::mt19937 rng(17);
    std::uniform_real_distribution<double> where(-5.0, 185.0), howLong(0.05, 14.0);
    for (const RowResponse* r : {&rectangular, &tapered}) {
        for (int trial = 0; trial < 200; ++trial) {
            std::vector<KeyInterval> keys;
            for (int k = 0; k < 1 + trial % 9; ++k) {
                const double on = where(rng);
                keys.push_back({on, on + (trial % 5 == 0 ? r->LengthRows() : howLong(rng))});
            }
            keys.push_back({keys.back().off, keys.back().off + 3.0});  // one key-down right after another
            std::vector<double> rendered;
            RenderKeying(keys, r, 180, rendered);
            const std::vector<double> wanted = TemplateByDefinition(keys, *r, 180);
            ASSERT_EQ(rendered.size(), wanted.size());
            for (size_t i = 0; i < wanted.size(); ++i)
                ASSERT_EQ(rendered[i], wanted[i]) << "trial " << trial << ", row " << i;
        }
    }
}

TEST(SensitiveDecoding, SpeedsAsTheProgramRecordsThem) {
    // A dot of 4.69 rows (8 wpm with a 1.2 s dot) gives a dash of 13.1 rows, counted 12.1.
    EXPECT_EQ(WpmOfTiming(kRowRate, {4.69, 0.0}), 7);
    EXPECT_EQ(WpmOfTiming(kRowRate, {6.25, 0.0}), 5);
    EXPECT_EQ(WpmOfTiming(kRowRate, {0.2, 0.0}), 0);
    const UnitRange automatic = AutomaticUnits(kRowRate);
    EXPECT_NEAR(automatic.shortest, 2.34, 0.01);
    EXPECT_NEAR(automatic.longest, 8.33, 0.01);
    const UnitRange manual = UnitsForSpeed(kRowRate, 8);
    EXPECT_LT(manual.shortest, kRowRate / 8.0);
    EXPECT_GT(manual.longest, 1.2 * kRowRate / 8.0);
    EXPECT_EQ(UnitsForSpeed(kRowRate, 0).longest, 0.0);
}

}  // namespace
}  // namespace sorv::test
