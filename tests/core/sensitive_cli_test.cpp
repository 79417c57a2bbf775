// sorvantel-cli's --detector: sensitive by default, classic for the designed search.
#include <gtest/gtest.h>

#include "support/cli_runner.h"
#include "support/fake_platform.h"

namespace sorv {
namespace {

TEST(SensitiveCli, TheDefaultAnalyseFindsAWeakIdentThatTheClassicSearchMisses) {
    test::TempDir dir;
    const std::string wav = dir.file("demo.wav");
    // The README's demo: -18 dB over 10 minutes.
    ASSERT_TRUE(test::WriteSynthWav(wav, test::IdentSpec("DGU", 1015, 8, 8, -18, 10, 1)));
    const test::CliResult found = test::RunCliArgs({"analyse", "--json", wav});
    EXPECT_EQ(found.status, 0) << found.err;
    const auto objects = found.Json();
    ASSERT_EQ(objects.size(), 1u) << found.out;
    EXPECT_EQ(objects[0].at("ident").text, "DGU");
    EXPECT_NEAR(objects[0].at("period_s").number, 8.0, 0.005);

    const test::CliResult classic = test::RunCliArgs({"analyse", "--detector", "classic", wav});
    EXPECT_EQ(classic.status, 0) << classic.err;
    EXPECT_EQ(classic.out, "");
    const test::CliResult named = test::RunCliArgs({"analyse", "--detector=sensitive", wav});
    EXPECT_EQ(named.OutLines().size(), 1u) << named.out;
}

TEST(SensitiveCli, AnUnknownDetectorIsAUsageError) {
    const test::CliResult r = test::RunCliArgs({"analyse", "--detector", "fast", "x.wav"});
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("--detector must be sensitive or classic"), std::string::npos) << r.err;
    const test::CliResult help = test::RunCliArgs({"search", "--help"});
    EXPECT_NE(help.out.find("--detector NAME"), std::string::npos) << help.out;
}

TEST(SensitiveCli, ARecordingLongerThanTheStoreIsReadAsOneUnlessSegmentsAreAsked) {
    test::TempDir dir;
    const std::string wav = dir.file("night.wav");
    // 40 minutes: a store (35 minutes at the start-up band) and five more, the ident well
    // above the noise; a narrow tone range keeps the search short.
    ASSERT_TRUE(test::WriteSynthWav(wav, test::IdentSpec("DGU", 1015, 8, 8, -3, 40, 5)));
    const std::vector<std::string> narrow = {"--tone-min", "1000", "--tone-max", "1030"};

    std::vector<std::string> args = {"analyse", "--json"};
    args.insert(args.end(), narrow.begin(), narrow.end());
    args.push_back(wav);
    const test::CliResult whole = test::RunCliArgs(args);
    EXPECT_EQ(whole.status, 0) << whole.err;
    const auto once = whole.Json();
    ASSERT_EQ(once.size(), 1u) << whole.out;
    EXPECT_EQ(once[0].at("ident").text, "DGU");
    EXPECT_EQ(once[0].at("segment_start_s").number, 0.0);
    EXPECT_NEAR(once[0].at("tone_hz").number, 1015.0, 2.0);
    EXPECT_LT(once[0].at("heard_first_s").number, 300.0);
    EXPECT_GT(once[0].at("heard_last_s").number, 2100.0);  // past the first store's end
    EXPECT_LE(once[0].at("heard_strongest_s").number, once[0].at("heard_last_s").number);
    EXPECT_GE(once[0].at("score").number, 11.0);  // noise units, far above the acceptance
    EXPECT_NEAR(once[0].at("wpm").number, 8, 1);  // as the program records it
    EXPECT_NEAR(once[0].at("reading_wpm").number, 8.0, 0.3);
    EXPECT_NE(whole.err.find("searched as a whole, 1 identification"), std::string::npos) << whole.err;

    args.insert(args.begin() + 1, "--segments");
    const test::CliResult parts = test::RunCliArgs(args);
    EXPECT_EQ(parts.status, 0) << parts.err;
    const auto each = parts.Json();
    ASSERT_EQ(each.size(), 2u) << parts.out;
    EXPECT_EQ(each[0].at("segment_start_s").number, 0.0);
    EXPECT_EQ(each[1].at("segment_start_s").number, 2097.152);
    for (const auto& o : each) EXPECT_EQ(o.at("ident").text, "DGU");
}

}  // namespace
}  // namespace sorv
