// sorvantel-cli survey as a user runs it: one line per beacon as text, JSON or CSV, the
// designed entries in the ident log, the picture, and the exit statuses and messages for
// recordings that cannot be surveyed.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <regex>

#include "support/cli_runner.h"
#include "support/iq_beacons.h"

namespace sorv {
namespace {

namespace fs = std::filesystem;
using test::RunCliArgs;

class SurveyCli : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        dir_ = new fs::path(fs::temp_directory_path() / ("sorvantel_survey_cli_" + std::to_string(::getpid())));
        fs::create_directories(*dir_);
        test::IqScene scene = test::ShortDguBand();
        const test::IqBeacon dgu = scene.beacons.front();
        test::IqBeacon kx = dgu;
        kx.offsetHz = 4500.0;
        kx.ident = "KX";
        kx.toneHz = 400.0;
        kx.keying = test::IqKeying::Lower;
        kx.periodSeconds = 6.5;
        scene.beacons = {dgu, kx};
        scene.carriers = {{-8000.0, 3.0}};
        ASSERT_TRUE(test::WriteIqWav(Path("band.wav"), scene));
    }
    static void TearDownTestSuite() {
        std::error_code ec;
        fs::remove_all(*dir_, ec);
        delete dir_;
    }
    static std::string Path(const std::string& name) { return (*dir_ / name).string(); }

    static fs::path* dir_;
};

fs::path* SurveyCli::dir_ = nullptr;

TEST_F(SurveyCli, OneLinePerBeaconInEachFormat) {
    const std::string band = Path("band.wav");
    const test::CliResult text = RunCliArgs({"survey", "--centre-khz", "400", band});
    ASSERT_EQ(text.status, 0) << text.err;
    const std::vector<std::string> lines = text.OutLines();
    ASSERT_EQ(lines.size(), 2u) << text.out;
    EXPECT_TRUE(std::regex_match(lines[0], std::regex(".*band\\.wav:  *399\\.00 kHz  DGU .*tone \\+-10[01][0-9] Hz both .*period  6\\.00 s  score  *[0-9.]+  0:00-0:42")))
        << lines[0];
    EXPECT_TRUE(std::regex_match(lines[1], std::regex(".*band\\.wav:  *404\\.50 kHz  KX .*tone -39[0-9] Hz lower .*period  6\\.50 s.*")))
        << lines[1];
    EXPECT_NE(text.err.find("3 carriers, 2 beacons identified"), std::string::npos) << text.err;

    // One carrier each, given by hand, to keep the test quick.
    const test::CliResult json = RunCliArgs({"survey", "--json", "--carriers", "399", "--centre-khz", "400", band});
    ASSERT_EQ(json.status, 0) << json.err;
    const auto objects = json.Json();
    ASSERT_EQ(objects.size(), 1u);
    EXPECT_EQ(objects[0].at("ident").text, "DGU");
    EXPECT_NEAR(objects[0].at("carrier_khz").number, 399.0, 0.001);
    EXPECT_EQ(objects[0].at("sideband").text, "both");
    EXPECT_NEAR(objects[0].at("tone_offset_hz").number, 1020.0, 18.75);
    EXPECT_NEAR(objects[0].at("period_s").number, 6.0, 0.01);
    EXPECT_GT(objects[0].at("score").number, 7.0);
    EXPECT_DOUBLE_EQ(objects[0].at("start_s").number, 0.0);
    EXPECT_NEAR(objects[0].at("end_s").number, 42.0, 0.1);

    const test::CliResult csv = RunCliArgs({"survey", "--csv", "--carriers", "404.5", "--centre-khz", "400", band});
    ASSERT_EQ(csv.status, 0) << csv.err;
    const std::vector<std::string> rows = csv.OutLines();
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0], "file,carrier_khz,ident,tone_offset_hz,sideband,period_s,score,wpm,start_s,end_s");
    EXPECT_EQ(std::count(rows[1].begin(), rows[1].end(), ','), 9);
    EXPECT_NE(rows[1].find(",404.500,KX,"), std::string::npos) << rows[1];
    EXPECT_TRUE(std::regex_search(rows[1], std::regex(",lower,6\\.(49[0-9]|50[0-9]),"))) << rows[1];  // 6.5 s
}

TEST_F(SurveyCli, LogAndPicture) {
    const std::string logs = Path("logs"), png = Path("band.png");
    const test::CliResult r = RunCliArgs({"survey", "--log-dir", logs, "--png", png, "--centre-khz", "400", Path("band.wav")});
    ASSERT_EQ(r.status, 0) << r.err;
    std::vector<std::string> entries;
    for (const auto& f : fs::directory_iterator(logs)) {
        std::ifstream in(f.path());
        for (std::string line; std::getline(in, line);) entries.push_back(line);
    }
    ASSERT_EQ(entries.size(), 2u);
    // As a receiver tuned to the carrier in the tone's sideband would log them.
    EXPECT_TRUE(std::regex_match(entries[0], std::regex("[0-9]{8} [0-9]{4} DGU 399\\.0 kHz; sideband 400\\.0[01][0-9] kHz; offset 10[01][0-9]\\.[0-9] Hz; period  6\\.00 s\r")))
        << entries[0];
    EXPECT_TRUE(std::regex_match(entries[1], std::regex("[0-9]{8} [0-9]{4} KX  404\\.5 kHz; sideband 404\\.1[01][0-9] kHz; offset  39[0-9]\\.[0-9] Hz; period  6\\.50 s\r")))
        << entries[1];
    std::ifstream in(png, std::ios::binary);
    char head[24] = {};
    in.read(head, sizeof head);
    ASSERT_TRUE(in.good());
    EXPECT_EQ(std::string(head + 1, 3), "PNG");
    auto be32 = [&](int at) {
        return (static_cast<unsigned char>(head[at]) << 24) | (static_cast<unsigned char>(head[at + 1]) << 16) |
               (static_cast<unsigned char>(head[at + 2]) << 8) | static_cast<unsigned char>(head[at + 3]);
    };
    EXPECT_EQ(be32(16), 1600);
    EXPECT_EQ(be32(20), 520);
}

TEST_F(SurveyCli, UnreadableRecordingsExitOneAndTheOthersAreStillSurveyed) {
    const std::string missing = Path("missing.wav");
    const test::CliResult r = RunCliArgs({"survey", "--centre-khz", "400", "--carriers", "399", missing, Path("band.wav")});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("sorvantel-cli: " + missing + ": "), std::string::npos) << r.err;
    EXPECT_EQ(r.OutLines().size(), 1u);
    // The picture cannot be written: named, exit 1.
    const test::CliResult p = RunCliArgs({"survey", "--centre-khz", "400", "--carriers", "410", "--png",
                                          Path("no/such/dir/x.png"), Path("band.wav")});
    EXPECT_EQ(p.status, 1);
    EXPECT_NE(p.err.find("x.png: the picture: cannot create it"), std::string::npos) << p.err;
}

TEST(SurveyCliOptions, WrongCommandLinesAreUsageErrors) {
    for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
             {"survey"},
             {"survey", "--json", "--csv", "a.wav"},
             {"survey", "--png", "x.png", "a.wav", "b.wav"},
             {"survey", "--carriers", "404,,412", "a.wav"},
             {"survey", "--carriers", "-3", "a.wav"},
             {"survey", "--period-min", "9", "--period-max", "8", "a.wav"},
             {"survey", "--centre-khz", "nan", "a.wav"}}) {
        const test::CliResult r = RunCliArgs(args);
        EXPECT_EQ(r.status, 2) << args.back() << ": " << r.err;
        EXPECT_NE(r.err.find("Try 'sorvantel-cli --help'"), std::string::npos);
    }
    const test::CliResult help = RunCliArgs({"survey", "--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.out.find("Usage: sorvantel-cli survey"), std::string::npos);
    EXPECT_NE(RunCliArgs({"--help"}).out.find("survey [options] IQFILE..."), std::string::npos);
}

}  // namespace
}  // namespace sorv
