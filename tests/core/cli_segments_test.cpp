// A recording longer than the store is searched in consecutive store-sized segments, each
// reported with its start; nothing is cut off.
#include <gtest/gtest.h>

#include "support/cli_runner.h"
#include "support/fake_platform.h"

namespace sorv {
namespace {

TEST(CliSegments, FiftyMinutesAreAnalysedInTwoSegmentsEachFindingTheIdent) {
    test::TempDir dir;
    const std::string wav = dir.file("night.wav");
    // A clean ident (no noise keeps the synthesis quick); one line searched keeps the test short.
    SynthSpec spec;
    SynthIdent id;
    id.toneHz = 1015;
    id.periodSeconds = 8;
    spec.idents.push_back(id);
    spec.seconds = 50 * 60;
    ASSERT_TRUE(test::WriteSynthWav(wav, spec));
    const test::CliResult r =
        test::RunCliArgs({"analyse", "--detector", "classic", "--json", "--tone-min", "1000", "--tone-max", "1000", wav});
    EXPECT_EQ(r.status, 0) << r.err;
    const auto found = r.Json();
    ASSERT_EQ(found.size(), 2u) << r.out;
    // At the start-up band a row is 1536 samples: the store holds 65536 rows, 2097.152 s.
    EXPECT_EQ(found[0].at("segment_start_s").number, 0.0);
    EXPECT_EQ(found[1].at("segment_start_s").number, 2097.152);
    for (const auto& o : found) EXPECT_EQ(o.at("ident").text, "DGU");
    EXPECT_NE(r.err.find("segment 1, 0.0 s to 2097.2 s, 65536 rows"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("segment 2, 2097.2 s to 3000.0 s, 28214 rows"), std::string::npos) << r.err;
}

}  // namespace
}  // namespace sorv
