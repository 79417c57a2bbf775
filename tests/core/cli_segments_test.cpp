// A recording longer than the store is searched in consecutive store-sized segments, each
// reported with its start; nothing is cut off.
#include <gtest/gtest.h>

#include <ctime>

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
    // Each segment is logged at its own time in the recording: its start plus the offset.
    const auto seconds = [](const std::string& iso) {
        std::tm tm{};
        EXPECT_NE(strptime(iso.c_str(), "%Y-%m-%dT%H:%M:%SZ", &tm), nullptr) << iso;
        return static_cast<int64_t>(timegm(&tm));
    };
    EXPECT_EQ(found[0].at("stamp_utc").text, found[0].at("recording_start").text);
    EXPECT_EQ(seconds(found[1].at("stamp_utc").text) - seconds(found[1].at("recording_start").text), 2097);
    EXPECT_NE(r.err.find("segment 1, 0.0 s to 2097.2 s, 65536 rows"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("segment 2, 2097.2 s to 3000.0 s, 28214 rows"), std::string::npos) << r.err;
}

}  // namespace
}  // namespace sorv
