// The survey's quick look scores a line as the sensitive detector's own keying spectrum does,
// so that no line the detector would take is passed over.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <vector>

#include "analysis/detector_lines.h"
#include "analysis/detector_rows.h"
#include "analysis/sensitive_periods.h"
#include "analysis/sensitive_search.h"
#include "analysis/sensitive_spectrum.h"
#include "survey/keying_prescreen.h"

namespace sorv {
namespace {

constexpr double kRate = 37.5;

// A line's power history: exponential noise whose level rises by `riseDb` from start to end
// (a channel whose noise grows through the night), and a keyed tone of the given strength that
// repeats every `period` seconds (on for 40 % of it, in three marks).
std::vector<double> Line(int rows, double strength, double period, uint32_t seed, double riseDb = 0.0) {
    std::mt19937 rng(seed);
    std::exponential_distribution<double> noise(1.0);
    std::vector<double> v(static_cast<size_t>(rows));
    for (int r = 0; r < rows; ++r) {
        const double t = std::fmod(r / kRate, period) / period;
        const bool on = (t > 0.05 && t < 0.15) || (t > 0.2 && t < 0.4) || (t > 0.45 && t < 0.55);
        const double level = std::pow(10.0, riseDb / 10.0 * r / rows);
        v[static_cast<size_t>(r)] = level * noise(rng) * (1.0 + (on ? strength : 0.0));
    }
    return v;
}

// The highest score of the peaks the detector itself keeps for the line, through its own copy
// of the rows as the survey hands them over (one line, a fixed floor) and its own
// normalisation.
double DetectorScore(const std::vector<double>& v) {
    const int rows = static_cast<int>(v.size());
    std::vector<double> store(static_cast<size_t>(rows) * kLines, 0.0);
    auto* power = reinterpret_cast<double(*)[kLines]>(store.data());
    for (int r = 0; r < rows; ++r) power[r][70] = v[static_cast<size_t>(r)];
    SensitiveSearchInput in;
    in.power = power;
    in.rows = rows;
    in.rowRate = kRate;
    in.firstLine = in.lastLine = 70;
    in.lineHz = 18.75;
    in.floorFromLines = false;
    DetectorRows copy;
    std::vector<int> storedLine;
    CopyStoredRows(in, copy, storedLine);
    DetectorLines lines;
    lines.Prepare(copy);
    std::vector<double> series;
    lines.Series(0, series);
    KeyingSpectrum spectrum;
    SpectrumWork work;
    EXPECT_TRUE(spectrum.Compute(series.data(), rows, kRate, 3.0, work));
    const double seconds = rows / kRate;
    const double pMax = std::min({15.0 * 1.005, 510.5 / kRate, seconds / 6.0});
    double best = 0.0;
    for (const PeriodPeak& p : TopRepetitions(spectrum, 1.0 / pMax, 1.0 / (6.0 * 0.995), 3.0, 6, 0.01))
        best = std::max(best, p.score);
    return best;
}

TEST(KeyingPrescreen, ScoresAsTheDetectorDoesEvenWhenTheNoiseLevelChanges) {
    KeyingPrescreen prescreen;
    int reaching = 0;
    for (int rows : {32768, 12000}) {
        for (double riseDb : {0.0, 10.0}) {
            for (double strength : {0.0, 0.1, 0.3}) {
                for (uint32_t seed = 1; seed <= 2; ++seed) {
                    SCOPED_TRACE(::testing::Message() << rows << " rows, rise " << riseDb << " dB, strength "
                                                      << strength << ", seed " << seed);
                    const std::vector<double> v = Line(rows, strength, 8.3, seed, riseDb);
                    const double quick = prescreen.BestScore(v, kRate, 6.0, 15.0);
                    const double detector = DetectorScore(v);
                    // The best of all trial periods, less no more than single precision's
                    // rounding: far within the threshold's margin.
                    EXPECT_GE(quick, detector - 0.002);
                    if (strength == 0.0) {
                        EXPECT_LT(quick, 6.5);  // noise stays well below the threshold
                    }
                    if (detector >= kSensitiveThreshold) {
                        EXPECT_GE(quick, kPrescreenThreshold);
                        ++reaching;
                    }
                    // Asked to stop at the threshold, it says the same about it: a score that
                    // reaches it (and no more than the best), or the best itself.
                    const double early = prescreen.BestScore(v, kRate, 6.0, 15.0, kPrescreenThreshold);
                    if (quick >= kPrescreenThreshold) {
                        EXPECT_GE(early, kPrescreenThreshold);
                        EXPECT_LE(early, quick);
                    } else {
                        EXPECT_EQ(early, quick);
                    }
                }
            }
        }
    }
    EXPECT_GT(reaching, 4);  // the keyed lines do reach the detector's threshold
}

TEST(KeyingPrescreen, TooShortForThePeriodsScoresNothing) {
    KeyingPrescreen prescreen;
    EXPECT_EQ(prescreen.BestScore(Line(10, 1.0, 8.0, 1), kRate, 6.0, 15.0), 0.0);
    // 30 s cannot hold three periods of 6 s in each half.
    EXPECT_EQ(prescreen.BestScore(Line(1125, 1.0, 8.0, 1), kRate, 6.0, 15.0), 0.0);
    EXPECT_GT(prescreen.BestScore(Line(30000, 0.3, 8.0, 1), kRate, 6.0, 15.0), 7.0);
}

}  // namespace
}  // namespace sorv
