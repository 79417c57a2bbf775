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

}  // namespace
}  // namespace sorv
