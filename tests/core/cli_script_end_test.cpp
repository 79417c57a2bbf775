// run without a keyboard: a wait that nothing can end any more ends the script, an error ends
// it with status 1 and its line named, and --timeout bounds the whole run on the wall clock.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "support/cli_runner.h"
#include "support/fake_platform.h"

namespace sorv {
namespace {

class CliScriptEnd : public ::testing::Test {
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
    // With a generous bound on the wall clock, so that a script that fails to end fails the
    // test instead of hanging it.
    test::CliResult Run(const std::string& text, std::vector<std::string> extra = {}) {
        std::vector<std::string> args = {"run", Script(text), "--input", wav, "--detector", "classic", "--timeout", "300"};
        args.insert(args.end(), extra.begin(), extra.end());
        return test::RunCliArgs(args);
    }
    std::string Named(const std::string& rest) const { return "sorvantel-cli: " + dir.file("script.txt") + ": " + rest; }
    test::TempDir dir;
    std::string wav;
};

TEST_F(CliScriptEnd, WaitsThatNothingCanEndEndTheScriptWithTheirLine) {
    struct Case {
        std::string script;
        std::string failure;
    } cases[] = {
        {"wait samples 100\nstart\n", "line 1 \"wait samples 100\": waits for 100 rows, but no capture is running"},
        {"start\nwait for 0:00:30\nstop\nwait samples 5000\nautosearch\n",
         "line 4 \"wait samples 5000\": waits for 5000 rows, but no capture is running"},
        {"carrier 1\nrepeat\n", "line 2 \"repeat\": repeats without waiting, and no capture is running"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.script);
        const test::CliResult r = Run(c.script);
        EXPECT_EQ(r.status, 1);
        EXPECT_NE(r.err.find(Named(c.failure)), std::string::npos) << r.err;
        EXPECT_EQ(r.out, "");
    }
}

TEST_F(CliScriptEnd, ErrorsGiveStatusOneAndNameTheirLine) {
    const test::CliResult port = Run("carrier 404\ncom 0:9600 F404<cr>\nstart\n");
    EXPECT_EQ(port.status, 1);
    EXPECT_NE(port.err.find("sorvantel-cli: Error opening port\n"), std::string::npos) << port.err;
    EXPECT_NE(port.err.find(Named("line 2 \"com 0:9600 F404<cr>\": Error opening port; the script ended there")),
              std::string::npos)
        << port.err;

    const test::CliResult time = Run("wait until 25:00:00\n");
    EXPECT_EQ(time.status, 1);
    EXPECT_NE(time.err.find(Named("line 1 \"wait until 25:00:00\": the time is out of range")), std::string::npos)
        << time.err;

    // A "save" that cannot write is named, and the script goes on to find the beacon.
    std::ofstream(dir.file("occupied")) << "a file, not a directory";
    const test::CliResult save =
        Run("save\nstart\nwait for 0:04:00\nstop\nautosearch\n", {"--log-dir", dir.file("occupied") + "/logs"});
    EXPECT_EQ(save.status, 1);
    EXPECT_NE(save.err.find(Named("line 1 \"save\": " + dir.file("occupied") + "/logs/sorvantel_")), std::string::npos)
        << save.err;
    EXPECT_NE(save.err.find(".svl could not be created"), std::string::npos) << save.err;
    EXPECT_NE(save.out.find(" NDB "), std::string::npos) << save.out;

    // A script that runs to its end, or to "exit", is no failure.
    EXPECT_EQ(Run("start\nwait for 0:00:10\nstop\n").status, 0);
    EXPECT_EQ(Run("exit\nwait samples 100\n").status, 0);
}

TEST_F(CliScriptEnd, TimeoutBoundsTheRunOnTheWallClock) {
    // A loop on the clock alone; each reading of the wall clock finds a second gone.
    int64_t wallMs = 0;
    int readings = 0;
    std::ostringstream out, err;
    CliStreams streams{out, err, false, [&] {
                           ++readings;
                           return wallMs += 1000;
                       }};
    const int status = RunCli({"run", Script("wait for 0:00:01\nrepeat\n"), "--input", wav, "--timeout", "30"}, streams);
    EXPECT_EQ(status, 1);
    EXPECT_NE(err.str().find(Named("line ")), std::string::npos) << err.str();
    EXPECT_NE(err.str().find("\": the run reached its --timeout of 30 s"), std::string::npos) << err.str();
    EXPECT_GE(readings, 30);
    EXPECT_LE(readings, 32);

    // Without a bound the same loop ends after a day of the recording's clock with no audio.
    const test::CliResult unbounded = Run("wait for 0:00:01\nrepeat\n");
    EXPECT_EQ(unbounded.status, 1);
    EXPECT_NE(unbounded.err.find("a day has passed on the recording's clock without capture"), std::string::npos)
        << unbounded.err;
}

}  // namespace
}  // namespace sorv
