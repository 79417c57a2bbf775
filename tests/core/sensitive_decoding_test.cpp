// Reading folded traces: the two levels come from the trace, the unit from the runs, and only
// Morse-timed idents of one to four letters are plausible.
#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <string>
#include <vector>

#include "analysis/sensitive_decoding.h"
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
std::vector<double> KeyedTrace(const TraceSpec& s) {
    std::vector<bool> units = KeyingUnits(s.ident);
    if (!s.units.empty()) {
        units.clear();
        for (char c : s.units) units.push_back(c == '1');
    }
    std::vector<double> key(static_cast<size_t>(s.n), 0.0);
    for (int i = 0; i < s.n; ++i) {
        double down = 0.0;
        for (int sub = 0; sub < 10; ++sub) {
            const double t = std::fmod(i + (sub + 0.5) / 10.0 - s.start + s.n, static_cast<double>(s.n));
            const double u = t / s.unit;
            if (u >= 0.0 && u < static_cast<double>(units.size()) && units[static_cast<size_t>(u)]) down += 0.1;
        }
        key[static_cast<size_t>(i)] = down;
    }
    std::mt19937 rng(s.seed);
    std::normal_distribution<double> gauss(0.0, 1.0);
    std::vector<double> trace(static_cast<size_t>(s.n));
    for (int i = 0; i < s.n; ++i) {
        const double k = 0.5 * key[static_cast<size_t>(i)] + 0.25 * (key[static_cast<size_t>((i + s.n - 1) % s.n)] +
                                                                     key[static_cast<size_t>((i + 1) % s.n)]);
        trace[static_cast<size_t>(i)] = s.off + (s.on - s.off) * k + s.noise * gauss(rng);
    }
    return trace;
}

KeyingReading Read(const TraceSpec& s) {
    const std::vector<double> t = KeyedTrace(s);
    return ReadKeying(t.data(), s.n, AutomaticUnits(kRowRate));
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
        const KeyingReading r = Read(s);
        EXPECT_TRUE(r.plausible) << r.reason;
        EXPECT_EQ(r.text, c.ident);
        EXPECT_NEAR(r.timing.unit, c.unit, 0.35);
        EXPECT_LT(r.misfit, 0.2);
    }
}

TEST(SensitiveDecoding, NeitherThePhaseNorTheLevelsChangeTheReading) {
    TraceSpec s;
    for (double start : {0.0, 13.3, 121.0, 230.5}) {
        for (double scale : {1e-6, 1.0, 3.7e5}) {
            s.start = start;
            s.off = 2.0 * scale;
            s.on = 3.1 * scale;
            const KeyingReading r = Read(s);
            EXPECT_TRUE(r.plausible) << start << " " << scale << " " << r.reason;
            EXPECT_EQ(r.text, "DGU") << start << " " << scale;
        }
    }
}

TEST(SensitiveDecoding, ReadsThroughNoiseOfAFifthOfTheContrast) {
    for (uint32_t seed = 1; seed <= 20; ++seed) {
        TraceSpec s;
        s.noise = 0.2;
        s.seed = seed;
        const KeyingReading r = Read(s);
        EXPECT_EQ(r.text, "DGU") << seed;
        EXPECT_TRUE(r.plausible) << seed << " " << r.reason;
    }
}

TEST(SensitiveDecoding, NoiseAndSteadyModulationAreNotIdents) {
    // Noise alone: the two "levels" are its two tails.
    int plausible = 0;
    for (uint32_t seed = 1; seed <= 200; ++seed) {
        TraceSpec s;
        s.on = s.off = 0.0;
        s.noise = 1.0;
        s.seed = seed;
        plausible += Read(s).plausible ? 1 : 0;
    }
    EXPECT_LE(plausible, 2);
    // Two carriers beating in one line: half a period up, half down, no Morse length.
    std::vector<double> beat(300);
    for (int i = 0; i < 300; ++i) beat[static_cast<size_t>(i)] = 1.0 + std::cos(2 * M_PI * i / 300.0);
    const KeyingReading r = ReadKeying(beat.data(), 300, AutomaticUnits(kRowRate));
    EXPECT_FALSE(r.plausible);
    // No keying at all.
    std::vector<double> flat(300, 5.0);
    EXPECT_FALSE(ReadKeying(flat.data(), 300, AutomaticUnits(kRowRate)).plausible);
}

TEST(SensitiveDecoding, RefusesWhatNoBeaconSends) {
    struct Case { const char* ident; int n; const char* reason; };
    const Case cases[] = {
        {"ABCDE", 600, "more than four letters"},
        {"A B", 250, "a word gap inside the ident"},
    };
    for (const Case& c : cases) {
        TraceSpec s;
        s.ident = c.ident;
        // A, a word gap of seven units, B.
        if (std::string(c.ident) == "A B") s.units = "10111" "0000000" "111010101";
        s.n = c.n;
        s.unit = 4.0;
        const KeyingReading r = Read(s);
        EXPECT_FALSE(r.plausible) << c.ident;
        EXPECT_STREQ(r.reason, c.reason) << c.ident;
    }
    // ..-- has no letter in the table.
    std::vector<double> t(200, 0.0);
    const int elements[4][2] = {{10, 15}, {20, 25}, {30, 45}, {50, 65}};
    for (const auto& e : elements)
        for (int i = e[0]; i < e[1]; ++i) t[static_cast<size_t>(i)] = 1.0;
    const KeyingReading r = ReadKeying(t.data(), 200, AutomaticUnits(kRowRate));
    EXPECT_FALSE(r.plausible);
    EXPECT_STREQ(r.reason, "no such letter");
    // An ident that fills its period leaves no silence between repetitions.
    TraceSpec full;
    full.n = 95;  // 29 units of 3 rows, and 8 rows of silence
    full.unit = 3.0;
    EXPECT_FALSE(Read(full).plausible);
    EXPECT_STREQ(Read(full).reason, "no silence between repetitions");
    // A lone key-down reads as E at one speed and T at a third of it.
    TraceSpec lone;
    lone.ident = "T";
    lone.unit = 2.8;
    EXPECT_FALSE(Read(lone).plausible);
    EXPECT_STREQ(Read(lone).reason, "a single key-down has no speed");
}

TEST(SensitiveDecoding, AHalfIsReadAtTheWholesTimingAndThreshold) {
    TraceSpec s;
    s.noise = 0.05;
    const KeyingReading whole = Read(s);
    ASSERT_TRUE(whole.plausible);
    // A half has the whole's levels with more noise.
    s.noise = 0.15;
    s.seed = 2;
    const std::vector<double> half = KeyedTrace(s);
    const KeyingReading same = ReadKeyingLike(half.data(), s.n, whole);
    EXPECT_EQ(same.text, "DGU");
    EXPECT_TRUE(same.plausible) << same.reason;
    EXPECT_EQ(same.threshold, whole.threshold);
    EXPECT_EQ(same.timing.unit, whole.timing.unit);
    // At a third of the unit every dot is a dash and every gap a letter gap.
    KeyingReading wrong = whole;
    wrong.timing.unit /= 3.0;
    wrong.timing.bias = 0.0;
    EXPECT_FALSE(ReadKeyingLike(half.data(), s.n, wrong).plausible);
    // A half in which the key is never down.
    std::vector<double> silent(static_cast<size_t>(s.n), 0.0);
    EXPECT_FALSE(ReadKeyingLike(silent.data(), s.n, whole).plausible);
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
