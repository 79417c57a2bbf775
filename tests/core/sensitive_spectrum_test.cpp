// The pieces under the sensitive detector: its transform, the keying spectrum in noise units
// and the score that calibrates it, and the fold that must be the integration's middle trial.
#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <random>
#include <vector>

#include "analysis/sensitive_fold.h"
#include "analysis/sensitive_periods.h"
#include "analysis/sensitive_search.h"
#include "analysis/sensitive_spectrum.h"
#include "engine/sorvantel_doc.h"
#include "support/fake_platform.h"

namespace sorv::test {
namespace {

constexpr double kRowRate = 31.25;

std::vector<double> ExponentialNoise(int rows, uint32_t seed, double mean = 1.0) {
    std::mt19937 rng(seed);
    std::exponential_distribution<double> noise(1.0 / mean);
    std::vector<double> x(static_cast<size_t>(rows));
    for (double& v : x) v = noise(rng);
    return x;
}

// On for the first `on` seconds of every period.
void AddKeying(std::vector<double>& x, double period, double on, double power) {
    for (size_t j = 0; j < x.size(); ++j)
        if (std::fmod(j / kRowRate, period) < on) x[j] += power;
}

TEST(SensitiveSpectrum, TheTransformIsTheDiscreteFourierTransform) {
    const int n = 64;
    std::mt19937 rng(3);
    std::uniform_real_distribution<double> u(-1.0, 1.0);
    std::vector<double> re(n), im(n);
    for (int j = 0; j < n; ++j) re[static_cast<size_t>(j)] = u(rng), im[static_cast<size_t>(j)] = u(rng);
    const std::vector<double> re0 = re, im0 = im;
    ComplexFft fft;
    ASSERT_TRUE(fft.Plan(n));
    fft.Run(re.data(), im.data());
    for (int k = 0; k < n; ++k) {
        std::complex<double> sum = 0.0;
        for (int j = 0; j < n; ++j)
            sum += std::complex<double>(re0[static_cast<size_t>(j)], im0[static_cast<size_t>(j)]) *
                   std::polar(1.0, -2.0 * M_PI * j * k / n);
        EXPECT_NEAR(re[static_cast<size_t>(k)], sum.real(), 1e-12);
        EXPECT_NEAR(im[static_cast<size_t>(k)], sum.imag(), 1e-12);
    }
    EXPECT_FALSE(fft.Plan(48));
    EXPECT_FALSE(fft.Plan(0));
}

TEST(SensitiveSpectrum, NoiseIsOneUnitPerBinAtAnyLevel) {
    SpectrumWork work;
    const std::vector<double> x = ExponentialNoise(18750, 1);
    KeyingSpectrum quiet;
    ASSERT_TRUE(quiet.Compute(x.data(), 18750, kRowRate, 3.0, work));
    double sum = 0.0;
    int bins = 0;
    for (double hz = 0.05; hz <= 3.0; hz += quiet.BinHz(), ++bins) sum += quiet.At(hz);
    EXPECT_NEAR(sum / bins, 1.0, 0.05);

    std::vector<double> loud(x);
    for (double& v : loud) v = 4321.0 * v + 1e6;  // another gain, and a steady carrier's offset
    KeyingSpectrum other;
    ASSERT_TRUE(other.Compute(loud.data(), 18750, kRowRate, 3.0, work));
    for (double hz = 0.05; hz <= 3.0; hz += 0.37) EXPECT_NEAR(other.At(hz), quiet.At(hz), 1e-6 * (1.0 + quiet.At(hz)));
    EXPECT_EQ(quiet.At(3.4), 0.0);  // beyond the normalised range
}

TEST(SensitiveSpectrum, TheScoreIsAStandardDeviateForNoiseAndGrowsWithKeying) {
    SpectrumWork work;
    EXPECT_NEAR(NoiseUnitsScore(40.0, 40), 0.0, 0.2);
    EXPECT_LT(NoiseUnitsScore(20.0, 40), -2.0);
    EXPECT_NEAR(NoiseUnitsScore(40.0 + 2.326 * std::sqrt(40.0), 40), 2.33, 0.35);  // the 1 % point
    EXPECT_EQ(NoiseUnitsScore(5.0, 0), 0.0);
    // The best score of pure noise over the scan of 6 to 15 s: some lines reach the reading
    // (kSensitiveThreshold), none comes near what keying scores.
    double highest = -1e9;
    for (uint32_t seed = 1; seed <= 20; ++seed) {
        const std::vector<double> x = ExponentialNoise(18750, 10 + seed);
        KeyingSpectrum s;
        ASSERT_TRUE(s.Compute(x.data(), 18750, kRowRate, 3.0, work));
        highest = std::max(highest, BestRepetition(s, 1.0 / 15.0, 1.0 / 6.0, 3.0).score);
    }
    EXPECT_GT(highest, 2.0);
    EXPECT_LT(highest, 6.0);
}

TEST(SensitiveSpectrum, KeyingIsFoundAtItsPeriodNotAtItsDouble) {
    SpectrumWork work;
    std::vector<double> x = ExponentialNoise(18750, 2);
    AddKeying(x, 7.0, 1.2, 1.0);
    KeyingSpectrum s;
    ASSERT_TRUE(s.Compute(x.data(), 18750, kRowRate, 3.0, work));
    const PeriodPeak best = BestRepetition(s, 1.0 / 15.0, 1.0 / 6.0, 3.0);
    EXPECT_NEAR(1.0 / best.f0, 7.0, 0.01);
    EXPECT_GT(best.score, 3.0 * kSensitiveThreshold);
    // Every 14 s repeats what 7 s does: no keying of its own between the harmonics of 7 s.
    EXPECT_FALSE(RepeatsOnlyEvery(s, 1.0 / 7.0, 2, 3.0, kSensitiveThreshold));
    // Keying that alternates between two patterns repeats only every second period.
    std::vector<double> y = ExponentialNoise(18750, 3);
    for (size_t j = 0; j < y.size(); ++j) {
        const double t = std::fmod(j / kRowRate, 14.0);
        if (t < 1.2 || (t >= 7.0 && t < 7.4)) y[j] += 1.0;
    }
    ASSERT_TRUE(s.Compute(y.data(), 18750, kRowRate, 3.0, work));
    EXPECT_TRUE(RepeatsOnlyEvery(s, 1.0 / 7.0, 2, 3.0, kSensitiveThreshold));
}

// A beacon heard for under a minute of ten, as a random fade brings it up and takes it away:
// its harmonics spread over the fade's rate, as wide as a block of the floor, and the floor
// must not be taken from their own power (with such a floor the keying scored 2 to 4 here).
TEST(SensitiveSpectrum, AKeyingHeardOnlyInAFadesPeakIsFound) {
    SpectrumWork work;
    KeyingSpectrum s;
    for (uint32_t seed = 1; seed <= 6; ++seed) {
        std::vector<double> x = ExponentialNoise(18750, seed);
        for (size_t j = 0; j < x.size(); ++j) {
            const double t = j / kRowRate;
            const double phase = std::fmod(t, 7.0);
            if (phase < 0.5 || (phase >= 0.7 && phase < 0.9) || (phase >= 1.1 && phase < 1.6))
                x[j] += 3.0 * std::exp(-0.5 * (t - 200.0) * (t - 200.0) / (20.0 * 20.0));
        }
        ASSERT_TRUE(s.Compute(x.data(), 18750, kRowRate, 3.0, work));
        const PeriodPeak best = BestRepetition(s, 1.0 / 15.0, 1.0 / 6.0, 3.0);
        EXPECT_NEAR(1.0 / best.f0, 7.0, 0.035) << "seed " << seed;
        EXPECT_GE(KeyingScore(s, 1.0 / 7.0, 3.0), kSensitiveThreshold) << "seed " << seed;
    }
}

// The scan's trials side by side must give what one trial alone gives, to the bit, and count
// the same harmonics: at topHz exactly (3 / 0.1875 = 16), just under and over it, past the
// normalised spectrum's end, and beside trials that are not frequencies at all.
TEST(SensitiveSpectrum, TrialsSideBySideSumAsOneAlone) {
    KeyingSpectrum spectrum;
    SpectrumWork work;
    const std::vector<double> x = ExponentialNoise(20000, 12);
    ASSERT_TRUE(spectrum.Compute(x.data(), static_cast<int>(x.size()), kRowRate, 3.0, work));
    const double exact = 0.1875;
    const std::vector<double> f0s = {exact, std::nextafter(exact, 0.0), std::nextafter(exact, 1.0), 0.0667,
                                     0.1234567, 0.16666666666666666, 2.9, 3.0, 3.1, 0.0,
                                     -0.5, std::nan(""), 1e-3};
    for (double topHz : {3.0, 2.0, 50.0}) {
        for (size_t first = 0; first + KeyingSpectrum::kHarmonicLanes <= f0s.size(); ++first) {
            double trial[KeyingSpectrum::kHarmonicLanes], sums[KeyingSpectrum::kHarmonicLanes];
            int counts[KeyingSpectrum::kHarmonicLanes];
            for (int i = 0; i < KeyingSpectrum::kHarmonicLanes; ++i) trial[i] = f0s[first + static_cast<size_t>(i)];
            spectrum.HarmonicSums(trial, topHz, sums, counts);
            for (int i = 0; i < KeyingSpectrum::kHarmonicLanes; ++i) {
                SCOPED_TRACE(::testing::Message() << "f0 " << trial[i] << ", top " << topHz);
                int count = 0;
                const double sum = spectrum.HarmonicSum(trial[i], topHz, 0, count);
                EXPECT_EQ(counts[i], count);
                EXPECT_EQ(sums[i], sum);
            }
        }
    }
    // The count at topHz itself includes it, and one step under topHz's multiple leaves it out.
    double trial[KeyingSpectrum::kHarmonicLanes] = {exact, std::nextafter(exact, 1.0), 1.0, 0.75};
    double sums[KeyingSpectrum::kHarmonicLanes];
    int counts[KeyingSpectrum::kHarmonicLanes];
    spectrum.HarmonicSums(trial, 3.0, sums, counts);
    EXPECT_EQ(counts[0], 16);
    EXPECT_EQ(counts[1], 15);
    EXPECT_EQ(counts[2], 3);
    EXPECT_EQ(counts[3], 4);
}

TEST(SensitiveSpectrum, NothingUsableIsRefused) {
    SpectrumWork work;
    KeyingSpectrum s;
    std::vector<double> x(100, 1.0);
    EXPECT_FALSE(s.Compute(x.data(), 10, kRowRate, 3.0, work));
    EXPECT_FALSE(s.Compute(x.data(), 100, 0.0, 3.0, work));
    EXPECT_FALSE(s.Compute(x.data(), 100, std::nan(""), 3.0, work));
    x[50] = std::nan("");
    EXPECT_FALSE(s.Compute(x.data(), 100, kRowRate, 3.0, work));
    EXPECT_EQ(s.At(1.0), 0.0);
    EXPECT_EQ(BestRepetition(s, 0.1, 0.2, 3.0).f0, 0.0);
}

// The trace the detector reads must be the one the integration shows and the decoding reads:
// same rows, same phases, same sums in the same order.
TEST(SensitiveFold, IsTheIntegrationsMiddleTrialBitForBit) {
    FakePlatform platform;
    CSorvantelDoc doc(platform);
    const int rows = 20000;
    const std::vector<double> x = ExponentialNoise(rows, 4, 1234.5);
    for (int j = 0; j < rows; ++j) doc.m_power[j][61] = x[static_cast<size_t>(j)];
    doc.m_nRows = rows;
    doc.m_nLine = 61;
    for (double period : {6.0123, 8.0, 14.987}) {
        doc.m_dPeriodMin = period - kSensitiveHalfRange;
        doc.m_dPeriodMax = period + kSensitiveHalfRange;
        doc.OnIntegrate();
        const double P = MiddleTrialPeriod(period);
        PeriodFold fold;
        ASSERT_TRUE(fold.Fold(x.data(), 0, FoldedRows(rows, doc.RowRate(), P), doc.RowRate(), P));
        ASSERT_EQ(fold.Length(), doc.m_nTrialRows[256]);
        for (int i = 0; i <= fold.Length(); ++i) ASSERT_EQ(fold.Sums()[i], doc.m_integral[256][i]) << period << " " << i;
        int counted = 0;
        for (int i = 0; i <= fold.Length(); ++i) counted += fold.Counts()[i];
        EXPECT_EQ(counted, FoldedRows(rows, doc.RowRate(), P));
    }
}

TEST(SensitiveFold, RemovingAPeriodLeavesNoKeyingAtIt) {
    SpectrumWork work;
    std::vector<double> x = ExponentialNoise(18750, 5);
    AddKeying(x, 9.0, 2.0, 3.0);
    AddKeying(x, 11.3, 1.0, 0.5);
    PeriodFold fold;
    RemovePeriodic(x.data(), 18750, kRowRate, 9.0, fold);
    KeyingSpectrum s;
    ASSERT_TRUE(s.Compute(x.data(), 18750, kRowRate, 3.0, work));
    EXPECT_LT(KeyingScore(s, 1.0 / 9.0, 3.0), 0.0);  // notched out: less than noise
    EXPECT_GT(KeyingScore(s, 1.0 / 11.3, 3.0), kSensitiveThreshold + 3.0);  // the other keying stays
    // A period that does not fit the fold is left alone.
    const std::vector<double> before = x;
    RemovePeriodic(x.data(), 18750, kRowRate, 0.0, fold);
    RemovePeriodic(x.data(), 18750, kRowRate, 200.0, fold);
    EXPECT_EQ(x, before);
}

// A beacon read at 6 s leaks into the line of another keyed every 12 s: taking out its keying
// as it was read leaves the other's nearly whole, where taking out the line's own fold at 6 s
// would take half of it (everything of it that repeats every 6 s).
TEST(SensitiveFold, RemovingAShapeSparesAKeyingAtTwiceThePeriod) {
    const int rows = 18750;
    std::vector<double> x = ExponentialNoise(rows, 8);
    std::vector<double> twice(static_cast<size_t>(rows), 0.0);
    for (size_t j = 0; j < twice.size(); ++j) {
        const double phase = std::fmod(j / kRowRate, 12.0);
        if (phase < 1.0 || (phase >= 7.0 && phase < 7.5) || (phase >= 8.0 && phase < 9.5)) twice[j] = 2.0;
    }
    for (size_t j = 0; j < x.size(); ++j) x[j] += twice[j];
    const std::vector<double> without = x;
    std::vector<double> plain = x;
    AddKeying(x, 6.0, 2.0, 1.0);
    AddKeying(plain, 6.0, 2.0, 1.0);
    PeriodFold fold;
    ASSERT_TRUE(fold.Fold(x.data(), 0, rows, kRowRate, 6.0));
    std::vector<double> shape(static_cast<size_t>(fold.Length()));
    for (size_t i = 0; i < shape.size(); ++i) shape[i] = i / kRowRate < 2.0 ? 1.0 : 0.0;
    RemovePeriodic(x.data(), rows, kRowRate, 6.0, fold, &shape);
    RemovePeriodic(plain.data(), rows, kRowRate, 6.0, fold);
    // What is left, folded at 12 s, against the keying at 12 s alone.
    auto agreement = [&](const std::vector<double>& left) {
        PeriodFold f, truth;
        f.Fold(left.data(), 0, rows, kRowRate, 12.0);
        truth.Fold(twice.data(), 0, rows, kRowRate, 12.0);
        double ft = 0.0, tt = 0.0, ff = 0.0, fm = 0.0, tm = 0.0;
        const int n = f.Length();
        for (int i = 0; i < n; ++i) fm += f.Trace()[i] / n, tm += truth.Trace()[i] / n;
        for (int i = 0; i < n; ++i) {
            ft += (f.Trace()[i] - fm) * (truth.Trace()[i] - tm);
            tt += (truth.Trace()[i] - tm) * (truth.Trace()[i] - tm);
            ff += (f.Trace()[i] - fm) * (f.Trace()[i] - fm);
        }
        return ft / std::sqrt(tt * ff);
    };
    EXPECT_GT(agreement(x), 0.95);
    EXPECT_LT(agreement(plain), 0.9);
    // The 6 s keying itself is gone: what is left beside the line without it is flat at 6 s,
    // but for the part of the other's keying at 6 s that looks like this one (here it keys at
    // the same phase, a quarter of the key-down).
    std::vector<double> left(static_cast<size_t>(rows));
    for (size_t j = 0; j < left.size(); ++j) left[j] = x[j] - without[j];
    ASSERT_TRUE(fold.Fold(left.data(), 0, rows, kRowRate, 6.0));
    double mean = 0.0;
    for (int i = 0; i < fold.Length(); ++i) mean += fold.Trace()[i] / fold.Length();
    for (int i = 0; i < fold.Length(); ++i) EXPECT_NEAR(fold.Trace()[i], mean, 0.3) << i;
}

// A strong keying whose strength wanders by 10 dB over minutes: removing its mean
// keying alone would leave the wandering, whose harmonics beside the keying's fold at other
// periods into keying of their own (some 50 deviations here). Following the keying's gain
// leaves only the few deviations of the fade's first sideband, which no reading takes for an
// ident.
TEST(SensitiveFold, RemovingAFadingPeriodLeavesNoKeyingAnywhere) {
    SpectrumWork work;
    for (uint32_t seed = 1; seed <= 6; ++seed) {
        std::vector<double> x = ExponentialNoise(18750, seed);
        for (size_t j = 0; j < x.size(); ++j) {
            const double t = j / kRowRate;
            const double gain = std::pow(10.0, 0.5 * std::sin(2.0 * M_PI * t / 170.0));
            const double phase = std::fmod(t, 12.0);
            if (phase < 3.0 || (phase >= 4.0 && phase < 4.5)) x[j] += 6.0 * gain;
        }
        PeriodFold fold;
        RemovePeriodic(x.data(), 18750, kRowRate, 12.0, fold);
        KeyingSpectrum s;
        ASSERT_TRUE(s.Compute(x.data(), 18750, kRowRate, 3.0, work));
        for (const PeriodPeak& p : TopRepetitions(s, 1.0 / 15.0, 1.0 / 6.0, 3.0, 6, 0.01))
            EXPECT_LT(p.score, 8.0) << "seed " << seed << ", " << 1.0 / p.f0 << " s";
    }
}

// The fold finds where each period's rows end without dividing for every row: the phases must
// still be those of t = j / R, m = trunc(t / P) row by row, bit for bit, wherever a period
// ends -- on a row exactly (8 s at 31.25 rows a second), a rounding either side of one, or
// anywhere -- from any first row, for either half and with weights.
TEST(SensitiveFold, EveryRowLandsInThePhaseOfItsOwnTime) {
    const int rows = 9000;
    const std::vector<double> x = ExponentialNoise(rows, 21);
    std::vector<double> w(static_cast<size_t>(rows));
    for (int j = 0; j < rows; ++j) w[static_cast<size_t>(j)] = 0.5 + (j % 7) / 7.0;
    for (double rate : {kRowRate, 37.5, 30.0 / 1.1}) {
        for (double period : {8.0, std::nextafter(8.0, 0.0), std::nextafter(8.0, 9.0), 6.4, 10.24, 7.123456789, 14.96}) {
            for (int from : {0, 1, 250, 4000}) {
                for (int parity : {-1, 0, 1}) {
                    for (const double* weights : {static_cast<const double*>(nullptr), static_cast<const double*>(w.data())}) {
                        SCOPED_TRACE(::testing::Message() << "rate " << rate << ", period " << period << ", from " << from
                                                          << ", parity " << parity << (weights ? ", weighted" : ""));
                        FoldedTrace folded;
                        ASSERT_TRUE(FoldForReading(x.data(), from, rows, rate, period, parity, folded, weights));
                        const int n = folded.Length();
                        std::vector<double> value(static_cast<size_t>(n), 0.0), count(static_cast<size_t>(n), 0.0),
                            squares(static_cast<size_t>(n), 0.0);
                        for (int j = from; j < rows; ++j) {
                            const double t = j / rate;
                            const double m = std::trunc(t / period);
                            if (parity >= 0 && static_cast<int>(std::fmod(m, 2.0)) != parity) continue;
                            int i = static_cast<int>(rate * (t - m * period) + 0.5);
                            if (i == n) i = 0;
                            const double wj = weights ? weights[j] : 1.0;
                            value[static_cast<size_t>(i)] += wj * x[static_cast<size_t>(j)];
                            count[static_cast<size_t>(i)] += wj;
                            squares[static_cast<size_t>(i)] += wj * wj;
                        }
                        int differing = 0;
                        for (int i = 0; i < n; ++i) {
                            const size_t b = static_cast<size_t>(i);
                            if (count[b] > 0.0) value[b] /= count[b];
                            if (weights && count[b] > 0.0) count[b] = count[b] * count[b] / squares[b];
                            differing += value[b] != folded.value[b] || count[b] != folded.count[b];
                        }
                        EXPECT_EQ(differing, 0);
                    }
                }
            }
        }
    }
}

// Weights of 0 and 1 fold exactly the rows they keep; equal weights change nothing; and a
// bin's count is the number of equally weighted rows that would leave the same noise.
TEST(SensitiveFold, WeightsCountAsTheRowsTheyStandFor) {
    const int rows = 6000;
    const double period = 7.3;
    const std::vector<double> x = ExponentialNoise(rows, 7);
    FoldedTrace plain, firstHalf, weighted;
    ASSERT_TRUE(FoldForReading(x.data(), 0, rows, kRowRate, period, -1, plain));
    ASSERT_TRUE(FoldForReading(x.data(), 0, rows / 2, kRowRate, period, -1, firstHalf));
    std::vector<double> w(rows, 0.0);
    std::fill(w.begin(), w.begin() + rows / 2, 1.0);
    ASSERT_TRUE(FoldForReading(x.data(), 0, rows, kRowRate, period, -1, weighted, w.data()));
    ASSERT_EQ(weighted.Length(), firstHalf.Length());
    for (int i = 0; i < weighted.Length(); ++i) {
        EXPECT_NEAR(weighted.value[static_cast<size_t>(i)], firstHalf.value[static_cast<size_t>(i)], 1e-12);
        EXPECT_NEAR(weighted.count[static_cast<size_t>(i)], firstHalf.count[static_cast<size_t>(i)], 1e-9);
    }
    std::fill(w.begin(), w.end(), 2.5);
    ASSERT_TRUE(FoldForReading(x.data(), 0, rows, kRowRate, period, -1, weighted, w.data()));
    for (int i = 0; i < weighted.Length(); ++i) {
        EXPECT_NEAR(weighted.value[static_cast<size_t>(i)], plain.value[static_cast<size_t>(i)], 1e-12);
        EXPECT_NEAR(weighted.count[static_cast<size_t>(i)], plain.count[static_cast<size_t>(i)], 1e-9);
    }
    // Rows weighted 1 and 3 alternately: (1 + 3)^2 / (1 + 9) = 1.6 rows' worth for every two.
    for (int j = 0; j < rows; ++j) w[static_cast<size_t>(j)] = (j / 200) % 2 ? 3.0 : 1.0;
    ASSERT_TRUE(FoldForReading(x.data(), 0, rows, kRowRate, period, -1, weighted, w.data()));
    double counted = 0.0, rowsFolded = 0.0;
    for (int i = 0; i < weighted.Length(); ++i) {
        counted += weighted.count[static_cast<size_t>(i)];
        rowsFolded += plain.count[static_cast<size_t>(i)];
    }
    EXPECT_NEAR(counted / rowsFolded, 0.8, 0.05);
}

TEST(SensitiveFold, PeriodsOfNoLengthFoldNothing) {
    PeriodFold fold;
    std::vector<double> x(1000, 1.0);
    EXPECT_FALSE(fold.Fold(x.data(), 0, 1000, kRowRate, 0.0));
    EXPECT_FALSE(fold.Fold(x.data(), 0, 1000, kRowRate, -3.0));
    EXPECT_FALSE(fold.Fold(x.data(), 0, 1000, kRowRate, std::nan("")));
    EXPECT_FALSE(fold.Fold(x.data(), 0, 1000, kRowRate, 131.1));  // 4097 rows
    EXPECT_EQ(fold.Length(), 0);
    EXPECT_EQ(FoldedRows(1000, kRowRate, 40.0), 0);
    EXPECT_EQ(FoldedRows(1000, kRowRate, 8.0), 1000 - 1 - 250);
}

}  // namespace
}  // namespace sorv::test
