// run: a script whose "start" captures from a recording, with waits on the recording's clock.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "support/cli_runner.h"
#include "support/fake_platform.h"

namespace sorv {
namespace {

class CliRun : public ::testing::Test {
protected:
    void SetUp() override {
        wav = dir.file("in.wav");
        ASSERT_TRUE(test::WriteSynthWav(wav, test::IdentSpec("NDB", 1000, 9, 6, 0, 5, 5)));
    }
    std::string Script(const std::string& text) {
        const std::string path = dir.file("script.txt");
        std::ofstream(path) << text;
        return path;
    }
    test::TempDir dir;
    std::string wav;
};

TEST_F(CliRun, StartCapturesFromTheInputAndWaitsFollowItsClock) {
    const std::string logs = dir.file("logs");
    const std::string script = Script(
        "carrier 404.0 USB\n"
        "start\n"
        "wait for 0:04:00\n"
        "stop\n"
        "autosearch\n"
        "save\n"
        "exit\n");
    const test::CliResult r = test::RunCliArgs({"run", script, "--input", wav, "--detector", "classic", "--log-dir", logs, "--json"});
    EXPECT_EQ(r.status, 0) << r.err;
    const auto found = r.Json();
    ASSERT_EQ(found.size(), 1u) << r.out << r.err;
    EXPECT_EQ(found[0].at("ident").text, "NDB");
    EXPECT_EQ(found[0].at("file").text, wav);
    EXPECT_EQ(found[0].at("segment_start_s").number, 0.0);
    EXPECT_NEAR(found[0].at("rf_khz").number, 404.0 + found[0].at("offset_hz").number / 1000, 1e-9);
    // Four minutes of the recording's clock are 240 s of audio: 7500 rows, saved by "save".
    int saved = 0;
    for (const auto& e : std::filesystem::directory_iterator(logs)) {
        if (e.path().extension() != ".svl") continue;
        ++saved;
        EXPECT_EQ(e.file_size(), 4u + 1024u * 7500u);
        EXPECT_NE(e.path().filename().string().find("_404_0.svl"), std::string::npos);
    }
    EXPECT_EQ(saved, 1);
}

TEST_F(CliRun, AScriptThatWaitsPastTheEndOfTheInputEnds) {
    // "wait samples" for more rows than the recording can give: once the input is used up the
    // wait can never end, and the script ends there, naming the line, with status 1.
    const std::string script = Script("start\nwait samples 20000\nautosearch\n");
    const test::CliResult r = test::RunCliArgs({"run", script, "--input", wav});
    EXPECT_EQ(r.status, 1) << r.err;
    EXPECT_NE(r.err.find(script + ": line 2 \"wait samples 20000\": waits for 20000 rows, but the input is used up"),
              std::string::npos)
        << r.err;
    EXPECT_EQ(r.out, "");  // stopped before "autosearch"

    // A second "start" after the end of the input ends the script too.
    const std::string again = Script("start\nwait for 0:06:00\nstop\nstart\nwait for 0:01:00\nstop\nautosearch\n");
    const test::CliResult r2 = test::RunCliArgs({"run", again, "--input", wav});
    EXPECT_EQ(r2.status, 1);
    EXPECT_NE(r2.err.find(again + ": line 4 \"start\": starts capture again, but the input is used up"),
              std::string::npos)
        << r2.err;
    EXPECT_EQ(r2.out, "");
}

TEST_F(CliRun, AMissingScriptOrInputIsAReadFailure) {
    const std::string script = Script("start\n");
    const test::CliResult noScript = test::RunCliArgs({"run", dir.file("none.txt"), "--input", wav});
    EXPECT_EQ(noScript.status, 1);
    EXPECT_NE(noScript.err.find(dir.file("none.txt") + ": cannot open the script: No such file"), std::string::npos)
        << noScript.err;
    const test::CliResult noInput = test::RunCliArgs({"run", script, "--input", dir.file("none.wav")});
    EXPECT_EQ(noInput.status, 1);
    EXPECT_NE(noInput.err.find(dir.file("none.wav") + ": "), std::string::npos);
}

}  // namespace
}  // namespace sorv
