// The average spectrum and the carriers found in it: tones where they are, at their power,
// noise alone giving no carrier, and a beacon's own sidebands and keying not taken for carriers.
#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <random>
#include <vector>

#include "support/iq_beacons.h"
#include "survey/average_spectrum.h"
#include "survey/carrier_finder.h"

namespace sorv {
namespace {

using test::IqBeacon;
using test::IqBeaconSource;
using test::IqKeying;
using test::IqScene;

AverageSpectrum SpectrumOf(const IqScene& scene, int workers = 2) {
    IqBeaconSource source(scene);
    AverageSpectrumBuilder builder(scene.rate, AverageSpectrumBins(scene.rate), workers);
    std::vector<std::complex<float>> block(50000);  // not a multiple of the segment: pieces are joined
    for (;;) {
        const size_t n = source.Read(block.data(), block.size());
        builder.Add(block.data(), n);
        if (n < block.size()) break;
    }
    return builder.Finish();
}

TEST(AverageSpectrum, BinsOfAtMostOneHertz) {
    for (double rate : {48000.0, 96000.0, 192000.0, 250000.0, 2400000.0}) {
        const int bins = AverageSpectrumBins(rate);
        EXPECT_LE(rate / bins, 1.0) << rate;
        EXPECT_GT(rate / bins, 0.5) << rate;  // and no finer than needed
        EXPECT_EQ(bins & (bins - 1), 0) << rate;
    }
}

TEST(AverageSpectrum, ToneInItsBinAndNoiseAddsUpToItsPower) {
    IqScene scene;
    scene.rate = 48000.0;
    scene.seconds = 20.0;
    scene.noisePower = 1e-4;
    const int bins = AverageSpectrumBins(scene.rate);
    const double binHz = scene.rate / bins;
    // A steady carrier on a bin centre, 1500 bins above the centre; 30 dB over the noise in 2500 Hz.
    scene.carriers = {{1500 * binHz, 30.0}};
    const AverageSpectrum s = SpectrumOf(scene);
    ASSERT_EQ(s.Bins(), bins);
    EXPECT_EQ(s.segments, static_cast<int>(20.0 * 48000.0) / bins);
    const double tonePower = 1000.0 * scene.noisePower * 2500.0 / scene.rate;
    const int at = static_cast<int>(std::lround(s.BinOfOffset(1500 * binHz)));
    EXPECT_EQ(at, bins / 2 + 1500);
    EXPECT_NEAR(s.power[static_cast<size_t>(at)], tonePower * 2.0 / 3.0, tonePower * 0.01);
    double total = 0.0;
    for (double p : s.power) total += p;
    EXPECT_NEAR(total, scene.noisePower + tonePower, (scene.noisePower + tonePower) * 0.01);
    // Away from the tone, a bin holds its share of the noise.
    EXPECT_NEAR(s.power[static_cast<size_t>(bins / 4)] * bins, scene.noisePower, scene.noisePower * 0.5);
}

TEST(AverageSpectrum, RecordingShorterThanOneSegmentStillGivesItsPower) {
    IqScene scene;
    scene.rate = 48000.0;
    scene.seconds = 1.0;  // a segment is 2.7 s
    const AverageSpectrum s = SpectrumOf(scene, 1);
    ASSERT_EQ(s.segments, 1);
    double total = 0.0;
    for (double p : s.power) total += p;
    EXPECT_NEAR(total, scene.noisePower, scene.noisePower * 0.05);
}

TEST(NoiseThreshold, GammaTailOfTheAveragedNoise) {
    // One segment: the power is exponential, and exceeds x with the chance e^-x.
    EXPECT_NEAR(NoiseThresholdFactor(1, 1e-6), -std::log(1e-6), 1e-3);
    // Rarer events need a higher threshold; more averages a lower one.
    EXPECT_GT(NoiseThresholdFactor(10, 1e-10), NoiseThresholdFactor(10, 1e-6));
    EXPECT_GT(NoiseThresholdFactor(10, 1e-10), NoiseThresholdFactor(100, 1e-10));
    // Many averages: close to 1 + z / sqrt(k) with z = 6.36 for 1e-10.
    EXPECT_NEAR(NoiseThresholdFactor(10000, 1e-10), 1.0 + 6.36 / 100.0, 0.005);
    // Either side of the switch between the exact sum and the approximation they agree.
    EXPECT_NEAR(NoiseThresholdFactor(59, 1e-10), NoiseThresholdFactor(60, 1e-10), 0.03);
}

TEST(FindCarriers, NoiseAloneGivesNone) {
    for (uint32_t seed = 1; seed <= 4; ++seed) {
        IqScene scene;
        scene.rate = 24000.0;
        scene.seconds = seed == 1 ? 3.0 : 30.0;  // one segment, and twenty-one
        scene.seed = seed;
        const AverageSpectrum s = SpectrumOf(scene);
        EXPECT_TRUE(FindCarriers(s).empty()) << "seed " << seed;
    }
}

TEST(FindCarriers, WeakSteadyCarriersAtTheirFrequency) {
    IqScene scene;
    scene.rate = 24000.0;
    scene.seconds = 40.0;
    // -25 dB in 2500 Hz is some +5 dB in a 0.73 Hz bin; the threshold after 40 s is some +1.7 dB.
    // Two of them 500 Hz apart, between bins.
    scene.carriers = {{-7012.34, -25.0}, {3000.0, 20.0}, {3500.17, -25.0}};
    const std::vector<Carrier> found = FindCarriers(SpectrumOf(scene));
    ASSERT_EQ(found.size(), 3u);
    for (size_t i = 0; i < 3; ++i) {
        EXPECT_NEAR(found[i].offsetHz, scene.carriers[i].offsetHz, 0.1);
        EXPECT_NEAR(found[i].LevelDb(), scene.carriers[i].levelDb, 1.0);
        EXPECT_FALSE(found[i].givenByHand);
    }
}

TEST(FindCarriers, SidebandsAndKeyingBelongToTheirCarrier) {
    IqScene scene;
    scene.rate = 24000.0;
    scene.seconds = 40.0;
    IqBeacon am;  // strong, both sidebands of 1020 Hz
    am.offsetHz = -5000.0;
    am.toneDb = 20.0;
    am.carrierDb = 26.0;
    IqBeacon upper = am;  // 400 Hz, upper sideband only
    upper.offsetHz = 2000.0;
    upper.toneHz = 400.0;
    upper.keying = IqKeying::Upper;
    IqBeacon keyed = am;  // a keyed carrier: its keying shows as lines beside it
    keyed.offsetHz = 9000.0;
    keyed.keying = IqKeying::Carrier;
    keyed.toneDb = 30.0;
    scene.beacons = {am, upper, keyed};
    const std::vector<Carrier> found = FindCarriers(SpectrumOf(scene));
    ASSERT_EQ(found.size(), 3u);
    EXPECT_NEAR(found[0].offsetHz, -5000.0, 0.1);
    EXPECT_NEAR(found[1].offsetHz, 2000.0, 0.1);
    EXPECT_NEAR(found[2].offsetHz, 9000.0, 0.2);
}

TEST(FindCarriers, CarriersTooNearTheBandEdgeArePassedOver) {
    IqScene scene;
    scene.rate = 24000.0;
    scene.seconds = 10.0;
    scene.carriers = {{11500.0, 20.0}, {-11000.0, 20.0}, {10000.0, 20.0}};
    const std::vector<Carrier> found = FindCarriers(SpectrumOf(scene));
    ASSERT_EQ(found.size(), 1u);
    EXPECT_NEAR(found[0].offsetHz, 10000.0, 0.1);
}

TEST(CarrierAt, MovesOntoAPeakNearbyOrKeepsTheGivenFrequency) {
    IqScene scene;
    scene.rate = 24000.0;
    scene.seconds = 10.0;
    scene.carriers = {{1010.0, 10.0}};
    const AverageSpectrum s = SpectrumOf(scene);
    const std::vector<double> floor = NoiseFloor(s);
    const Carrier near = CarrierAt(s, floor, 1000.0);
    EXPECT_NEAR(near.offsetHz, 1010.0, 0.1);
    EXPECT_TRUE(near.givenByHand);
    EXPECT_TRUE(near.seenInSpectrum);
    const Carrier far = CarrierAt(s, floor, 5000.0);
    EXPECT_DOUBLE_EQ(far.offsetHz, 5000.0);
    EXPECT_FALSE(far.seenInSpectrum);
    EXPECT_GT(far.floorPerHz, 0.0);
}

}  // namespace
}  // namespace sorv
