// The mixer's kernels against the plain arithmetic of one sample after another: phases, sums
// and their signs must agree bit for bit, in every quadrant, at the quadrant boundaries, at
// the edges of the polynomial's range and beyond it.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <vector>

#include "engine/oscillator_run.h"
#include "engine/quadrature_mixer.h"
#include "engine/sin_cos.h"

namespace sorv {
namespace {

struct Sums {
    double phase, i, q;
};

Sums PlainMix(double phase, double increment, const std::vector<uint8_t>& bytes, double sumI, double sumQ) {
    for (uint8_t b : bytes) {
        const int x = static_cast<int>(b) - 128;
        double s, c;
        SinCos(phase, s, c);
        sumI += c * x;
        sumQ += s * x;
        phase += increment;
        if (phase > 6.2831853) phase -= 6.2831853;
    }
    return {phase, sumI, sumQ};
}

bool Same(double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; }

std::vector<MixerKernel> Kernels() {
    std::vector<MixerKernel> k{MixerKernel::kSse2};
    if (MixerKernelAvailable(MixerKernel::kAvx2)) k.push_back(MixerKernel::kAvx2);
    return k;
}

void ExpectSameAsPlain(double phase, double increment, const std::vector<uint8_t>& bytes, double start = -0.0) {
    const Sums plain = PlainMix(phase, increment, bytes, start, start);
    for (MixerKernel kernel : Kernels()) {
        double i = start, q = start;
        const double next = MixIntoSlotWith(kernel, phase, increment, bytes.data(), bytes.size(), i, q);
        EXPECT_TRUE(Same(next, plain.phase) && Same(i, plain.i) && Same(q, plain.q))
            << "kernel " << static_cast<int>(kernel) << " phase " << phase << " increment " << increment << " n "
            << bytes.size() << ": " << i << " " << q << " against " << plain.i << " " << plain.q;
    }
}

std::vector<uint8_t> Bytes(size_t n, uint32_t seed) {
    std::mt19937 rng(seed);
    std::vector<uint8_t> b(n);
    for (auto& v : b) v = static_cast<uint8_t>(rng());
    return b;
}

TEST(QuadratureMixer, RunsThroughEveryQuadrantLikeThePlainStep) {
    // Increments of the start-up band, of a 1015 Hz centre, a slow and a fast oscillator; the
    // fastest takes phases up to 7.9, beyond the wrap.
    for (double increment : {0.1308996938995747, 0.13286, 1e-3, 1.7, 6.0}) {
        for (size_t n : {0, 1, 3, 4, 5, 24, 255, 1001}) {
            for (double phase : {0.0, 1.0, 3.0, 6.2831853, 6.2831852, 7.99}) {
                ExpectSameAsPlain(phase, increment, Bytes(n, static_cast<uint32_t>(n)));
            }
        }
    }
}

TEST(QuadratureMixer, QuadrantBoundariesAndSignedZerosMatch) {
    // Where phase * 2/pi + 0.5 crosses an integer the quadrant changes; a few units in the last
    // place either side of each crossing, all four lanes alike (an increment too small to move
    // the phase) and with silence and full-scale bytes.
    const std::vector<uint8_t> silence(7, 128), loud{0, 255, 1, 254, 128, 0, 255};
    for (int m = 1; m <= 5; ++m) {
        double phase = (m - 0.5) / sin_cos_detail::kTwoOverPi;
        for (int step = 0; step < 4; ++step) phase = std::nextafter(phase, 0.0);
        for (int step = 0; step < 8; ++step, phase = std::nextafter(phase, 9.0)) {
            ExpectSameAsPlain(phase, 1e-300, silence);
            ExpectSameAsPlain(phase, 1e-300, loud);
            ExpectSameAsPlain(phase, 1e-300, loud, 2.5);
        }
    }
    // -0.0 is a phase inside the range; a sum that starts at -0.0 stays -0.0 over silence in
    // the quadrants where the cosine or sine is negative.
    ExpectSameAsPlain(-0.0, 0.0, silence);
    ExpectSameAsPlain(2.0, 0.0, silence);
    ExpectSameAsPlain(4.0, 0.0, silence);
}

TEST(QuadratureMixer, PhasesOutsideThePolynomialRangeTakeTheLibraryAsSinCosDoes) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    // Either side of 8, below 0, far above (band edges near the integer limits) and not numbers.
    for (double phase : {8.0, std::nextafter(8.0, 9.0), 7.9999, -1e-300, -0.5, 1e6, 2.8e5, nan, inf, -inf}) {
        for (double increment : {0.0, 0.1308996938995747, -0.01, 2.8e5}) {
            ExpectSameAsPlain(phase, increment, Bytes(13, 3));
        }
    }
    // A run that leaves the range in the middle of a group of four.
    ExpectSameAsPlain(1.0, 7.0, Bytes(40, 4));     // past 8 from the eleventh sample on
    ExpectSameAsPlain(0.17, -0.04, Bytes(40, 5));  // below 0 from the sixth
}

TEST(QuadratureMixer, TheOscillatorAloneGivesThePhasesSinesAndCosinesTheMixerUses) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    for (double increment : {0.1308996938995747, 1.7, 7.0, -0.04}) {
        for (double phase : {0.0, -0.0, 3.0, 6.2831852, 7.99, 0.17, nan}) {
            for (size_t n : {0, 1, 5, 43}) {
                for (MixerKernel kernel : Kernels()) {
                    std::vector<double> phases(n + 1), sines(n), cosines(n);
                    OscillatorValuesWith(kernel, phase, increment, n, phases.data(), sines.data(), cosines.data());
                    double p = phase;
                    for (size_t j = 0; j < n; ++j) {
                        double s, c;
                        SinCos(p, s, c);
                        ASSERT_TRUE(Same(phases[j], p) && Same(sines[j], s) && Same(cosines[j], c))
                            << "kernel " << static_cast<int>(kernel) << " phase " << phase << " increment "
                            << increment << " sample " << j;
                        p = AdvancePhase(p, increment);
                    }
                    EXPECT_TRUE(Same(phases[n], p));
                }
            }
        }
    }
}

TEST(QuadratureMixer, ASharedOscillatorRunMixesAsTheMixerAndOnlyWhereItsPhasesAreTheSame) {
    const double increment = 0.1308996938995747;
    OscillatorRun run;
    run.Compute(2.5, increment, 1000);
    const std::vector<uint8_t> bytes = Bytes(1000, 8);
    // Slots of the run, from its start and from the middle, against the mixer working the
    // oscillator out itself.
    double phase = 2.5, plainI = -0.0, plainQ = -0.0, sharedI = -0.0, sharedQ = -0.0;
    for (size_t at = 0; at < 1000; at += 20) {
        ASSERT_TRUE(run.Holds(at, 20, phase, increment));
        const double next = run.MixIntoSlot(at, bytes.data() + at, 20, sharedI, sharedQ);
        phase = MixIntoSlot(phase, increment, bytes.data() + at, 20, plainI, plainQ);
        ASSERT_TRUE(Same(next, phase) && Same(sharedI, plainI) && Same(sharedQ, plainQ)) << "sample " << at;
    }
    // Whole slots side by side: each the slot MixIntoSlot sums on its own.
    for (int decimation : {1, 3, 20}) {
        for (int slots : {1, 4, 7, 9}) {
            std::vector<double> sumsI(static_cast<size_t>(slots)), sumsQ(static_cast<size_t>(slots));
            const double after = run.MixSlots(13, bytes.data() + 13, slots, decimation, sumsI.data(), sumsQ.data());
            double p = run.PhaseAt(13);
            for (int k = 0; k < slots; ++k) {
                double i = -0.0, q = -0.0;
                p = MixIntoSlot(p, increment, bytes.data() + 13 + k * decimation, static_cast<size_t>(decimation), i, q);
                EXPECT_TRUE(Same(sumsI[static_cast<size_t>(k)], i) && Same(sumsQ[static_cast<size_t>(k)], q))
                    << "decimation " << decimation << " slots " << slots << " slot " << k;
            }
            EXPECT_TRUE(Same(after, p));
        }
    }
    // Another phase, the other zero, another increment, or beyond the run's end are refused.
    EXPECT_FALSE(run.Holds(20, 20, std::nextafter(run.PhaseAt(20), 9.0), increment));
    EXPECT_FALSE(run.Holds(0, 20, 2.5, std::nextafter(increment, 1.0)));
    EXPECT_FALSE(run.Holds(990, 20, run.PhaseAt(990), increment));
    EXPECT_TRUE(run.Holds(1000, 0, run.PhaseAt(1000), increment));
    OscillatorRun atZero;
    atZero.Compute(0.0, increment, 10);
    EXPECT_FALSE(atZero.Holds(0, 10, -0.0, increment));
    EXPECT_FALSE(OscillatorRun().Holds(0, 0, 0.0, increment));
}

}  // namespace
}  // namespace sorv
