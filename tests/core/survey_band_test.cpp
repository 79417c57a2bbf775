// The band survey end to end on synthetic I/Q recordings: the carriers found, each beacon's
// ident read at its own carrier, nothing reported for carriers without an ident.
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>

#include "cli/band_survey.h"
#include "support/iq_beacons.h"

namespace sorv {
namespace {

using test::IqBeacon;
using test::IqBeaconSource;
using test::IqKeying;
using test::IqScene;

IqSourceOpener OpenerOf(const IqScene& scene) {
    return [scene](std::string&) -> std::unique_ptr<IqSource> { return std::make_unique<IqBeaconSource>(scene); };
}

IqBeacon Beacon(double offsetHz, const std::string& ident, double toneHz, IqKeying keying, double toneDb,
                double period) {
    IqBeacon b;
    b.offsetHz = offsetHz;
    b.ident = ident;
    b.toneHz = toneHz;
    b.keying = keying;
    b.toneDb = toneDb;
    b.periodSeconds = period;
    return b;
}

// Fifty seconds of a 24 kHz recording (small, so that the test is quick): an amplitude-
// modulated beacon on 1020 Hz, one in the upper sideband on 400 Hz, one in the lower on 1020 Hz
// 500 Hz from another, a keyed carrier, and a carrier without ident.
IqScene FourBeacons() {
    IqScene scene;
    scene.rate = 24000.0;
    scene.centreHz = 400000.0;
    scene.seconds = 50.0;
    scene.beacons = {Beacon(-7000.0, "DGU", 1020.0, IqKeying::Both, -6.0, 6.0),
                     Beacon(-2000.0, "KX", 400.0, IqKeying::Upper, -3.0, 6.5),
                     Beacon(-1500.0, "TZ", 1020.0, IqKeying::Lower, 0.0, 7.0),
                     Beacon(5000.0, "RAM", 0.0, IqKeying::Carrier, 0.0, 7.5)};
    for (IqBeacon& b : scene.beacons) b.carrierDb = b.toneDb + 8.0;
    scene.carriers = {{9000.0, 10.0}};
    return scene;
}

const SurveyBeacon* Find(const SurveyResult& r, const std::string& ident) {
    for (const SurveyBeacon& b : r.beacons)
        if (b.ident == ident) return &b;
    return nullptr;
}

TEST(BandSurvey, FindsEachBeaconAtItsCarrierAndNothingElse) {
    const IqScene scene = FourBeacons();
    SurveyResult result;
    std::string message;
    std::vector<std::string> stages;
    auto progress = [&](const std::string& stage, double done, double total) {
        if (stages.empty() || stages.back() != stage) stages.push_back(stage);
        EXPECT_LE(done, total + 2.1);  // a chunk past the end at most
    };
    ASSERT_TRUE(RunBandSurvey(OpenerOf(scene), SurveyOptions{}, result, message, progress)) << message;
    EXPECT_EQ(stages, (std::vector<std::string>{"spectrum", "channels"}));
    EXPECT_TRUE(result.readError.empty());
    EXPECT_NEAR(result.seconds, scene.seconds, 1e-6);
    ASSERT_EQ(result.carriers.size(), 5u);
    ASSERT_EQ(result.beacons.size(), 4u);
    struct Want {
        const char* ident;
        double offsetHz, period;
        Sideband side;
        double toneHz;
    } wants[] = {{"DGU", -7000.0, 6.0, Sideband::Both, 1020.0},
                 {"KX", -2000.0, 6.5, Sideband::Upper, 400.0},
                 {"TZ", -1500.0, 7.0, Sideband::Lower, -1020.0},
                 {"RAM", 5000.0, 7.5, Sideband::Carrier, 0.0}};
    for (const Want& w : wants) {
        SCOPED_TRACE(w.ident);
        const SurveyBeacon* b = Find(result, w.ident);
        ASSERT_NE(b, nullptr);
        EXPECT_NEAR(b->carrierOffsetHz, w.offsetHz, 1.0);
        EXPECT_NEAR(b->periodSeconds, w.period, 0.02);
        EXPECT_EQ(b->sideband, w.side);
        EXPECT_NEAR(b->toneOffsetHz, w.toneHz, kChannelLineHz);
        EXPECT_GT(b->score, 7.0);
        EXPECT_DOUBLE_EQ(b->startSeconds, 0.0);
        EXPECT_NEAR(b->endSeconds, scene.seconds, 0.1);
        EXPECT_NEAR(result.RadioKHz(b->carrierOffsetHz), 400.0 + w.offsetHz / 1000.0, 0.001);
    }
}

// The band of twelve beacons in 80 seconds instead of twenty minutes, and so 12 dB stronger,
// recorded at 120 kHz rather than 192 kHz to keep the test quick: each found at its carrier
// with its ident and period, nothing else.
TEST(BandSurvey, TwelveBeaconsAcrossAHundredKilohertz) {
    IqScene scene = test::TwelveBeaconBand(80.0, 12.0);
    scene.rate = 120000.0;
    const test::IqMemoryRecording recording(scene);
    SurveyResult result;
    std::string message;
    IqSourceOpener open = [&](std::string&) { return recording.Open(); };
    ASSERT_TRUE(RunBandSurvey(open, SurveyOptions{}, result, message)) << message;
    EXPECT_EQ(result.carriers.size(), scene.beacons.size() + scene.carriers.size());
    EXPECT_EQ(result.beacons.size(), scene.beacons.size());
    for (const IqBeacon& want : scene.beacons) {
        SCOPED_TRACE(want.ident);
        const SurveyBeacon* b = Find(result, want.ident);
        ASSERT_NE(b, nullptr);
        EXPECT_NEAR(result.RadioKHz(b->carrierOffsetHz), 400.0 + want.offsetHz / 1000.0, 0.02);
        EXPECT_NEAR(b->periodSeconds, want.periodSeconds, 0.05);
        EXPECT_EQ(b->sideband == Sideband::Carrier, want.keying == IqKeying::Carrier);
    }
}

TEST(BandSurvey, CarriersGivenByHandAreTheOnlyOnesSearched) {
    IqScene scene = FourBeacons();
    scene.seconds = 40.0;
    SurveyOptions options;
    options.carriersKHz = {392.995, 410.0};  // DGU, 5 Hz off; and nothing
    SurveyResult result;
    std::string message;
    ASSERT_TRUE(RunBandSurvey(OpenerOf(scene), options, result, message)) << message;
    ASSERT_EQ(result.carriers.size(), 2u);
    EXPECT_NEAR(result.carriers[0].offsetHz, -7000.0, 0.2);  // moved onto its peak
    EXPECT_TRUE(result.carriers[1].givenByHand);
    EXPECT_FALSE(result.carriers[1].seenInSpectrum);
    ASSERT_EQ(result.beacons.size(), 1u);
    EXPECT_EQ(result.beacons[0].ident, "DGU");
}

TEST(BandSurvey, SeveralPassesAndOneThreadFindTheSame) {
    IqScene scene = FourBeacons();
    // DGU, KX and TZ repeat six times; not 42 s, where TZ's 7 s would sit exactly on the
    // longest period that three repetitions in each half allow, and a measured 7.004 s is out.
    scene.seconds = 44.0;
    SurveyResult together, apart;
    std::string message;
    ASSERT_TRUE(RunBandSurvey(OpenerOf(scene), SurveyOptions{}, together, message)) << message;
    SurveyOptions options;
    options.channelsPerPass = 2;  // five carriers: three passes
    options.threads = 1;
    int opened = 0;
    IqSourceOpener counting = [&](std::string&) -> std::unique_ptr<IqSource> {
        ++opened;
        return std::make_unique<IqBeaconSource>(scene);
    };
    ASSERT_TRUE(RunBandSurvey(counting, options, apart, message)) << message;
    EXPECT_EQ(opened, 4);
    ASSERT_EQ(apart.beacons.size(), together.beacons.size());
    ASSERT_GE(together.beacons.size(), 3u);
    for (size_t i = 0; i < together.beacons.size(); ++i) {
        EXPECT_EQ(apart.beacons[i].ident, together.beacons[i].ident);
        EXPECT_EQ(apart.beacons[i].carrierOffsetHz, together.beacons[i].carrierOffsetHz);
        EXPECT_EQ(apart.beacons[i].score, together.beacons[i].score);  // the same rows, bit for bit
    }
}

TEST(BandSurvey, RecordingThatCannotBeSurveyed) {
    SurveyResult result;
    std::string message;
    IqScene scene;
    scene.rate = 96000.5;
    EXPECT_FALSE(RunBandSurvey(OpenerOf(scene), SurveyOptions{}, result, message));
    EXPECT_NE(message.find("whole number"), std::string::npos) << message;
    scene.rate = 48000.0;
    scene.seconds = 0.0;
    EXPECT_FALSE(RunBandSurvey(OpenerOf(scene), SurveyOptions{}, result, message));
    EXPECT_EQ(message, "the recording holds no samples");
    auto refused = [](std::string& m) -> std::unique_ptr<IqSource> {
        m = "x.wav: opening the recording: no such file";
        return nullptr;
    };
    EXPECT_FALSE(RunBandSurvey(refused, SurveyOptions{}, result, message));
    EXPECT_EQ(message, "x.wav: opening the recording: no such file");
}

}  // namespace
}  // namespace sorv
