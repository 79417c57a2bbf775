// The sensitive detector over whole recordings in the kinds of noise real receivers deliver:
// noise alone never gives an ident, an ident well above the detector's limit is read in each
// kind, once, on its tone, with where in the recording it was heard.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "analysis/beacon_detector.h"
#include "support/noise_kinds.h"

namespace sorv {
namespace {

using test::NoiseKind;

constexpr NoiseKind kKinds[] = {NoiseKind::White, NoiseKind::Impulsive, NoiseKind::Drifting, NoiseKind::Coloured,
                                NoiseKind::Carriers};

struct DetectorRun {
    std::vector<SensitiveDetection> found;
    int rows = 0;
    size_t bytes = 0;
    double seconds = 0.0;
};

DetectorRun Detect(const test::NoiseRecording& spec) {
    test::NoiseKindAudio audio(spec);
    DetectorRun run;
    BeaconDetectorSettings settings;
    settings.threads = 2;
    BeaconDetector detector(settings);
    EXPECT_TRUE(detector.Usable());
    std::vector<uint8_t> block(48000);
    for (;;) {
        const size_t n = audio.Fill(block.data(), block.size());
        detector.AddAudio(block.data(), n);
        if (n < block.size()) break;
    }
    run.found = detector.Finish();
    // After Finish: the last rows wait for audio beyond them until then.
    run.rows = detector.Rows();
    run.bytes = detector.BytesHeld();
    run.seconds = detector.Seconds();
    return run;
}

class DetectorInNoise : public ::testing::TestWithParam<NoiseKind> {};

TEST_P(DetectorInNoise, NoiseAloneGivesNoIdent) {
    for (uint32_t seed : {11u, 12u}) {
        test::NoiseRecording spec;
        spec.kind = GetParam();
        spec.seconds = 240.0;
        spec.seed = seed;
        const DetectorRun run = Detect(spec);
        for (const SensitiveDetection& d : run.found)
            ADD_FAILURE() << test::NoiseKindName(GetParam()) << " seed " << seed << ": " << d.ident << " at "
                          << d.period << " s, " << d.toneHz << " Hz, score " << d.score;
        // Four minutes at 31.25 rows a second: the rows were all made.
        EXPECT_NEAR(run.rows, 7500, 2);
    }
}

// -12 dB in four minutes lies some 6 dB above what the detector reads in that time in white
// noise; each kind may cost a little of that, not all of it.
TEST_P(DetectorInNoise, ReadsAnIdentOnceOnItsToneWithWhereItWasHeard) {
    test::NoiseRecording spec;
    spec.kind = GetParam();
    spec.seconds = 240.0;
    spec.seed = 21;
    spec.idents.push_back({"DGU", 1015.0, 8.0, 8.0, -12.0});
    const DetectorRun run = Detect(spec);
    ASSERT_EQ(run.found.size(), 1u) << test::NoiseKindName(GetParam());
    const SensitiveDetection& d = run.found[0];
    EXPECT_EQ(d.ident, "DGU");
    EXPECT_NEAR(d.period, 8.0, 0.02);
    EXPECT_NEAR(d.toneHz, 1015.0, 2.0);
    EXPECT_NEAR(d.wpm, 8, 1);  // as the designed decoding records it, from a dash's rows
    EXPECT_GE(d.score, kAcceptScore);
    // The stored line whose transform bin holds 1015 Hz at the default band: 64, labelled
    // 1000 Hz (the producer's lines carry a tone a line above their label).
    EXPECT_EQ(d.line, 64);
    EXPECT_GE(d.firstSeconds, 0.0);
    EXPECT_LE(d.firstSeconds, d.strongestSeconds);
    EXPECT_LE(d.strongestSeconds, d.lastSeconds);
    EXPECT_LE(d.lastSeconds, run.seconds + 0.1);
    // An ident this strong is heard in every part of the recording.
    EXPECT_LT(d.firstSeconds, 60.0);
    EXPECT_GT(d.lastSeconds, 180.0);
}

INSTANTIATE_TEST_SUITE_P(Kinds, DetectorInNoise, ::testing::ValuesIn(kKinds),
                         [](const ::testing::TestParamInfo<NoiseKind>& info) {
                             return std::string(test::NoiseKindName(info.param));
                         });

TEST(BeaconDetector, AnIdentThatFadesOutIsStrongestWhereItIsStill) {
    // Down by 30 dB at the end: the raised-cosine fade over twice the recording's length.
    test::NoiseRecording spec;
    spec.seconds = 360.0;
    spec.seed = 31;
    test::NoiseIdent id{"K7X", 947.0, 10.5, 7.0, -6.0};
    id.fadeDepthDb = 30.0;
    id.fadePeriodSeconds = 720.0;
    spec.idents.push_back(id);
    const DetectorRun run = Detect(spec);
    ASSERT_EQ(run.found.size(), 1u);
    EXPECT_EQ(run.found[0].ident, "K7X");
    EXPECT_LT(run.found[0].strongestSeconds, 120.0);
    EXPECT_LT(run.found[0].lastSeconds, run.seconds);
}

// An ident 20 dB down in the middle of ten minutes: the rows where it has faded out count for
// less, and the fold reads it about half again as clearly as with all rows alike (about 20
// deviations).
TEST(BeaconDetector, AnIdentUnderADeepFadeIsReadWhereItIsStrong) {
    for (uint32_t seed : {51u, 52u, 53u}) {
        test::NoiseRecording spec;
        spec.seconds = 600.0;
        spec.seed = seed;
        test::NoiseIdent id{"OHM", 980.5, 12.0, 9.0, -19.5};
        id.fadeDepthDb = 20.0;
        id.fadePeriodSeconds = 600.0;
        spec.idents.push_back(id);
        const DetectorRun run = Detect(spec);
        ASSERT_EQ(run.found.size(), 1u) << seed;
        EXPECT_EQ(run.found[0].ident, "OHM") << seed;
        EXPECT_GT(run.found[0].score, 25.0) << seed;
    }
}

// OHM every 12 s beside AB every 6 s, 10 dB stronger and 120 Hz away: half of OHM's keying
// repeats every 6 s, and taking AB's period out of OHM's line with it had lost OHM here.
TEST(BeaconDetector, ABeaconAtTwiceAStrongerOnesPeriodKeepsItsKeying) {
    {
        const uint32_t seed = 61;
        test::NoiseRecording spec;
        spec.seconds = 600.0;
        spec.seed = seed;
        spec.idents.push_back({"OHM", 980.5, 12.0, 9.0, -19.0});
        spec.idents.push_back({"AB", 1100.0, 6.0, 6.0, -9.0});
        const DetectorRun run = Detect(spec);
        ASSERT_EQ(run.found.size(), 2u) << seed;
        for (const SensitiveDetection& d : run.found) {
            if (d.ident == "AB") continue;
            EXPECT_EQ(d.ident, "OHM") << seed;
            EXPECT_NEAR(d.period, 12.0, 0.05) << seed;
            EXPECT_GT(d.score, 30.0) << seed;
        }
    }
}

TEST(BeaconDetector, RandomSlowFadingDoesNotHideAnIdent) {
    // 7 dB standard deviation, minutes slow: the interleaved halves both hold the ident.
    test::NoiseRecording spec;
    spec.seconds = 360.0;
    spec.seed = 41;
    test::NoiseIdent id{"OHM", 980.5, 12.0, 9.0, -10.0};
    id.randomFadeDb = 7.0;
    spec.idents.push_back(id);
    const DetectorRun run = Detect(spec);
    ASSERT_EQ(run.found.size(), 1u);
    EXPECT_EQ(run.found[0].ident, "OHM");
    EXPECT_NEAR(run.found[0].period, 12.0, 0.03);
}

TEST(BeaconDetector, EightHoursAtTheDefaultBandFitInAGigabyte) {
    test::NoiseRecording spec;
    spec.seconds = 240.0;
    const DetectorRun run = Detect(spec);
    ASSERT_GT(run.rows, 0);
    const double perHour = static_cast<double>(run.bytes) / run.seconds * 3600.0;
    EXPECT_LT(8.0 * perHour, 1024.0 * 1024.0 * 1024.0) << perHour / 1e6 << " MB an hour";
}

TEST(BeaconDetector, NothingToSearchGivesNothing) {
    BeaconDetectorSettings settings;
    settings.band = {0, 2000, 2, 3000.0, 3100.0};  // tones beyond the band
    BeaconDetector outside(settings);
    EXPECT_FALSE(outside.Usable());
    const uint8_t quiet[4800] = {};
    outside.AddAudio(quiet, sizeof quiet);
    EXPECT_TRUE(outside.Finish().empty());

    BeaconDetector empty{BeaconDetectorSettings{}};
    EXPECT_TRUE(empty.Finish().empty());
    EXPECT_TRUE(empty.Finish().empty());  // a second call finds nothing more
}

}  // namespace
}  // namespace sorv
