// Channels taking turns on one engine make the rows each would make alone; and the detections
// of all channels become one report per beacon.
#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "cli/engine_lane.h"
#include "engine/quadrature_mixer.h"
#include "survey/beacon_merge.h"
#include "survey/channel_layout.h"

namespace sorv {
namespace {

std::vector<uint8_t> NoisyTone(double hz, uint32_t seed, size_t n) {
    std::mt19937 rng(seed);
    std::normal_distribution<double> noise(0.0, 16.0);
    std::vector<uint8_t> out(n);
    for (size_t i = 0; i < n; ++i)
        out[i] = static_cast<uint8_t>(std::clamp(std::lround(128.0 + 30.0 * std::sin(2 * M_PI * hz * i / 48000.0) + noise(rng)), 0L, 255L));
    return out;
}

TEST(EngineLane, ChannelsTakingTurnsMakeTheRowsOfTheirOwnEngine) {
    const size_t n = 48000 * 3 + 777;
    const std::vector<uint8_t> a = NoisyTone(2220.0, 1, n), b = NoisyTone(1390.0, 2, n);
    // Alone: each channel's audio through an engine of its own, in one piece.
    std::vector<std::vector<double>> alone[2];
    for (int c = 0; c < 2; ++c) {
        EngineLane own;
        ProducerState state;
        own.Run(state, (c == 0 ? a : b).data(), n, [&](const double* row) { alone[c].emplace_back(row, row + kLines); });
    }
    // Shared: both on one lane, in uneven pieces, turn about.
    EngineLane lane;
    ProducerState states[2];
    std::vector<std::vector<double>> shared[2];
    const size_t pieces[] = {1, 1279, 48000, 12345, 30000, 5000};
    size_t at = 0;
    for (size_t k = 0; at < n; ++k) {
        const size_t len = std::min(pieces[k % 6], n - at);
        for (int c = 0; c < 2; ++c)
            lane.Run(states[c], (c == 0 ? a : b).data() + at, len, [&](const double* row) { shared[c].emplace_back(row, row + kLines); });
        at += len;
    }
    for (int c = 0; c < 2; ++c) {
        ASSERT_EQ(shared[c].size(), alone[c].size());
        ASSERT_GT(alone[c].size(), 100u);
        for (size_t r = 0; r < alone[c].size(); ++r) ASSERT_EQ(shared[c][r], alone[c][r]) << "channel " << c << " row " << r;
    }
    // With the oscillator worked out once per piece for both, as the survey does; and with a
    // run one sample out of step for the second channel, which must then work out its own.
    EngineLane oneOscillator;
    ProducerState withRun[2];
    std::vector<std::vector<double>> mixedByRun[2];
    OscillatorRun run, late;
    at = 0;
    for (size_t k = 0; at < n; ++k) {
        const size_t len = std::min(pieces[k % 6], n - at);
        run.Compute(withRun[0].phase, oneOscillator.Doc().MixerIncrement(), len);
        late.Compute(AdvancePhase(withRun[1].phase, oneOscillator.Doc().MixerIncrement()),
                     oneOscillator.Doc().MixerIncrement(), len);
        for (int c = 0; c < 2; ++c)
            oneOscillator.Run(withRun[c], (c == 0 ? a : b).data() + at, len,
                              [&](const double* row) { mixedByRun[c].emplace_back(row, row + kLines); },
                              c == 0 ? &run : &late);
        at += len;
    }
    for (int c = 0; c < 2; ++c) EXPECT_EQ(mixedByRun[c], alone[c]) << "channel " << c;
    // And they are the rows of the engine's band: the tone of a at 1800 + 420 Hz peaks 22 lines
    // above the carrier's line.
    const std::vector<double>& row = alone[0][50];
    EXPECT_EQ(std::max_element(row.begin(), row.end()) - row.begin(), kChannelCarrierLine + 22);
}

TEST(EngineLane, ReportsAudioAtTheLimits) {
    EngineLane lane;
    ProducerState state;
    std::vector<uint8_t> quiet(4800, 128), loud(4800, 128);
    loud[100] = 255;
    EXPECT_FALSE(lane.Run(state, quiet.data(), quiet.size(), [](const double*) {}));
    EXPECT_TRUE(lane.Run(state, loud.data(), loud.size(), [](const double*) {}));
}

ChannelDetection Detection(int carrier, double offsetHz, const std::string& ident, double period, double score,
                           Sideband side, double start = 0.0, double end = 600.0) {
    ChannelDetection d;
    d.carrier = carrier;
    d.carrierOffsetHz = offsetHz;
    d.ident = ident;
    d.periodSeconds = period;
    d.score = score;
    d.sideband = side;
    d.toneOffsetHz = side == Sideband::Lower ? -1012.5 : 1012.5;
    d.startSeconds = start;
    d.endSeconds = end;
    return d;
}

TEST(MergeDetections, OneBeaconPerCarrierDescribedByItsBestReading) {
    const std::vector<SurveyBeacon> beacons = MergeDetections({
        Detection(0, 1000.0, "DGU", 8.000, 12.0, Sideband::Upper),
        Detection(0, 1000.0, "DGU", 8.010, 17.0, Sideband::Both),
        Detection(0, 1000.0, "DGU", 7.995, 9.0, Sideband::Lower, 600.0, 1200.0),  // the next stretch
        Detection(0, 1000.0, "DGU", 9.000, 8.0, Sideband::Upper),                 // another period: another beacon
    });
    ASSERT_EQ(beacons.size(), 2u);
    EXPECT_EQ(beacons[0].sideband, Sideband::Both);
    EXPECT_DOUBLE_EQ(beacons[0].periodSeconds, 8.010);
    EXPECT_DOUBLE_EQ(beacons[0].score, 17.0);
    EXPECT_DOUBLE_EQ(beacons[0].startSeconds, 0.0);
    EXPECT_DOUBLE_EQ(beacons[0].endSeconds, 1200.0);
    EXPECT_DOUBLE_EQ(beacons[1].periodSeconds, 9.0);
}

TEST(MergeDetections, ANeighbourThatOverheardABeaconDoesNotReportIt) {
    const std::vector<SurveyBeacon> beacons = MergeDetections({
        Detection(1, 1500.0, "KX", 7.0, 6.0, Sideband::Upper),   // 500 Hz away: overheard
        Detection(0, 1000.0, "KX", 7.0, 30.0, Sideband::Both),
        Detection(2, 9000.0, "KX", 7.0, 8.0, Sideband::Upper),   // far away: a beacon of its own
        Detection(1, 1500.0, "AB", 9.0, 7.0, Sideband::Lower),   // the neighbour's own beacon
    });
    ASSERT_EQ(beacons.size(), 3u);
    EXPECT_EQ(beacons[0].carrier, 0);
    EXPECT_EQ(beacons[0].ident, "KX");
    EXPECT_EQ(beacons[1].carrier, 1);
    EXPECT_EQ(beacons[1].ident, "AB");
    EXPECT_EQ(beacons[2].carrier, 2);
}

// A beacon keyed on both sidebands, 2 kHz from a steady carrier: that carrier's upper sideband
// holds the beacon's lower tone and may read it more strongly than any one line of the
// beacon's own channel (and so does its combination of sidebands); the beacon's own carrier
// hears it on both sidebands.
TEST(MergeDetections, TheCarrierThatHearsABeaconOnMoreLinesOwnsIt) {
    const std::vector<SurveyBeacon> beacons = MergeDetections({
        Detection(0, -2000.0, "AE", 6.001, 8690.0, Sideband::Upper),
        Detection(0, -2000.0, "AE", 6.000, 6347.0, Sideband::Both),
        Detection(0, -2000.0, "AE", 6.000, 26.8, Sideband::Lower),  // a trace of it, no more
        Detection(1, 0.0, "AE", 6.000, 6498.0, Sideband::Upper),
        Detection(1, 0.0, "AE", 6.000, 5000.0, Sideband::Lower),
        Detection(1, 0.0, "AE", 6.000, 7000.0 * 0.9, Sideband::Both),
    });
    ASSERT_EQ(beacons.size(), 1u);
    EXPECT_EQ(beacons[0].carrier, 1);
    EXPECT_DOUBLE_EQ(beacons[0].score, 6498.0);
    EXPECT_EQ(beacons[0].sideband, Sideband::Upper);
}

// A strong ident misread on a weaker line of its own carrier (YQ's leftovers read as AMQ in
// the combined sidebands) is not a second beacon there; another period there, or the same
// period on the next carrier, is.
TEST(MergeDetections, AnotherTextAtTheSamePeriodOnTheSameCarrierIsAMisreading) {
    const std::vector<SurveyBeacon> beacons = MergeDetections({
        Detection(0, 1000.0, "AMQ", 11.007, 16.8, Sideband::Both),
        Detection(0, 1000.0, "YQ", 10.998, 5840.0, Sideband::Upper),
        Detection(0, 1000.0, "TZ", 8.5, 20.0, Sideband::Lower),
        Detection(1, 1500.0, "KX", 11.0, 40.0, Sideband::Upper),
    });
    ASSERT_EQ(beacons.size(), 3u);
    EXPECT_EQ(beacons[0].ident, "TZ");
    EXPECT_EQ(beacons[1].ident, "YQ");
    EXPECT_EQ(beacons[2].ident, "KX");
}

}  // namespace
}  // namespace sorv
