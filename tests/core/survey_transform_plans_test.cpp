// Transform plans kept between runs: what a survey plans is what tuning covers, kept plans
// come back from their file, and a missing, damaged or foreign file costs a message, never a
// crash or a survey.
#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>

#include "support/cli_runner.h"
#include "support/iq_beacons.h"
#include "survey/average_spectrum.h"
#include "survey/channeliser.h"
#include "survey/fft_plans.h"
#include "survey/transform_tuning.h"

namespace sorv {
namespace {

namespace fs = std::filesystem;

class KeptPlans : public ::testing::Test {
protected:
    void SetUp() override {
        fftwf_forget_wisdom();
        dir_ = fs::temp_directory_path() / ("sorvantel_plans_" + std::to_string(::getpid()));
        fs::remove_all(dir_);
        fs::create_directories(dir_);
    }
    // Plans FFTW holds are global to the process: no other test may find these.
    void TearDown() override {
        fftwf_forget_wisdom();
        fs::remove_all(dir_);
    }
    std::string Path(const std::string& name) const { return (dir_ / name).string(); }
    static void Write(const std::string& path, const std::string& text) { std::ofstream(path, std::ios::binary) << text; }
    static std::string Read(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    }
    fs::path dir_;
};

TEST_F(KeptPlans, TuningKeepsEveryTransformOfTheRateAndTunesEachOnce) {
    const int rate = 48000;
    EXPECT_FALSE(SurveyTransformsTuned(rate));
    int calls = 0, lastDone = -1, lastTotal = -1;
    const auto progress = [&](int done, int total) {
        ++calls;
        lastDone = done;
        lastTotal = total;
    };
    TuneSurveyTransforms(rate, TuningEffort::Quick, progress);
    EXPECT_TRUE(SurveyTransformsTuned(rate));
    EXPECT_EQ(lastTotal, 4);
    EXPECT_EQ(lastDone, 4);
    EXPECT_EQ(calls, 5);
    EXPECT_FALSE(SurveyTransformsTuned(96000)) << "another rate runs other sizes";
    // The bank a survey makes now finds its audio and baseband transforms kept.
    ChannelBank bank(rate);
    EXPECT_TRUE(FftPlan::IsKept(FftPlan::Kind::ComplexToReal, bank.AudioPlan().Size()));
    EXPECT_TRUE(FftPlan::IsKept(FftPlan::Kind::Inverse, bank.BasebandPlan().Size()));
    EXPECT_TRUE(FftPlan::IsKept(FftPlan::Kind::Forward, bank.Geometry().blockSize));
}

TEST_F(KeptPlans, ComeBackFromTheirFile) {
    // Measured without a time limit: a plan whose measurement a busy machine cut short is not kept.
    FftPlan::Tuned(FftPlan::Kind::ComplexToReal, 960, false);
    ASSERT_TRUE(FftPlan::IsKept(FftPlan::Kind::ComplexToReal, 960));
    const std::string file = Path("deeper/still/transform-plans");
    ASSERT_EQ(SaveKeptPlans(file), "");  // the folders are made
    EXPECT_EQ(std::distance(fs::directory_iterator(fs::path(file).parent_path()), fs::directory_iterator()), 1)
        << "nothing but the plans is left beside them";
    fftwf_forget_wisdom();
    EXPECT_FALSE(FftPlan::IsKept(FftPlan::Kind::ComplexToReal, 960));
    ASSERT_EQ(LoadKeptPlans(file), "");
    EXPECT_TRUE(FftPlan::IsKept(FftPlan::Kind::ComplexToReal, 960));
    EXPECT_FALSE(FftPlan::IsKept(FftPlan::Kind::Forward, 960)) << "only the kind planned";
    // Saving again replaces the file whole.
    FftPlan::Tuned(FftPlan::Kind::Forward, 1200, false);
    ASSERT_EQ(SaveKeptPlans(file), "");
    fftwf_forget_wisdom();
    ASSERT_EQ(LoadKeptPlans(file), "");
    EXPECT_TRUE(FftPlan::IsKept(FftPlan::Kind::Forward, 1200));
    EXPECT_TRUE(FftPlan::IsKept(FftPlan::Kind::ComplexToReal, 960));
}

TEST_F(KeptPlans, AMissingDamagedOrForeignFileIsAMessageAndNothingMore) {
    EXPECT_EQ(LoadKeptPlans(Path("none")), "") << "no file yet is the usual case";
    FftPlan::Tuned(FftPlan::Kind::Forward, 640, false);
    const std::string good = Path("good");
    ASSERT_EQ(SaveKeptPlans(good), "");
    const std::string text = Read(good);
    ASSERT_GT(text.size(), 40u);
    fftwf_forget_wisdom();

    const std::string bad = Path("bad");
    std::string message;
    Write(bad, "not plans at all");
    message = LoadKeptPlans(bad);
    EXPECT_NE(message.find(bad), std::string::npos) << message;
    EXPECT_NE(message.find("--tune-transforms"), std::string::npos) << message;
    // Another FFTW's (here the double-precision library's header) is refused alike.
    std::string foreign = text;
    const size_t f = foreign.find("fftwf_wisdom");
    ASSERT_NE(f, std::string::npos);
    foreign.replace(f, 12, "fftw_wisdom ");
    Write(bad, foreign);
    EXPECT_NE(LoadKeptPlans(bad), "");
    // Cut short, bytes changed, or noise: never a crash, and no plan taken from a refusal.
    std::mt19937 rng(3);
    for (int trial = 0; trial < 300; ++trial) {
        std::string mangled = text.substr(0, rng() % text.size());
        if (trial % 3 == 1) {
            mangled = text;
            for (int k = 0; k < 4; ++k) mangled[rng() % mangled.size()] = static_cast<char>(rng() % 256);
        } else if (trial % 3 == 2) {
            mangled.assign(rng() % 200, ' ');
            for (char& c : mangled) c = static_cast<char>(rng() % 256);
        }
        Write(bad, mangled);
        LoadKeptPlans(bad);
    }
    fftwf_forget_wisdom();
    // A folder where the file should be, and a file too large to be plans.
    fs::create_directories(Path("folder"));
    EXPECT_NE(LoadKeptPlans(Path("folder")), "");
    Write(bad, std::string(5u << 20, '('));
    message = LoadKeptPlans(bad);
    EXPECT_NE(message.find("too large"), std::string::npos) << message;
    // Saving where a file stands in the way of the folder.
    Write(Path("blocker"), "x");
    message = SaveKeptPlans(Path("blocker/transform-plans"));
    EXPECT_NE(message.find("blocker"), std::string::npos) << message;
}

TEST_F(KeptPlans, LiveInTheUsersCache) {
    const char* saved = std::getenv("XDG_CACHE_HOME");
    const std::string before = saved ? saved : "";
    ::setenv("XDG_CACHE_HOME", "/somewhere/cache", 1);
    EXPECT_EQ(KeptPlansPath(), "/somewhere/cache/KELD/Sorvantel/transform-plans");
    ::setenv("XDG_CACHE_HOME", "relative/is/ignored", 1);
    const char* home = std::getenv("HOME");
    if (home && *home == '/') {
        EXPECT_EQ(KeptPlansPath(), std::string(home) + "/.cache/KELD/Sorvantel/transform-plans");
    }
    if (saved) ::setenv("XDG_CACHE_HOME", before.c_str(), 1);
    else ::unsetenv("XDG_CACHE_HOME");
}

TEST_F(KeptPlans, TheSurveyUsesThemAndSaysWhenItCannot) {
    const test::IqScene scene = test::ShortDguBand();
    const std::string band = Path("band.wav");
    ASSERT_TRUE(test::WriteIqWav(band, scene));
    const char* saved = std::getenv("XDG_CACHE_HOME");
    const std::string before = saved ? saved : "";
    ::setenv("XDG_CACHE_HOME", dir_.c_str(), 1);
    const std::string kept = KeptPlansPath();
    fs::create_directories(fs::path(kept).parent_path());

    // Damaged plans: a warning naming the file, and the survey goes on.
    Write(kept, "(fftw-3 damaged");
    test::CliResult run = test::RunCliArgs({"survey", "--centre-khz", "400", band});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.err.find(kept), std::string::npos) << run.err;
    EXPECT_NE(run.out.find("399.00 kHz  DGU"), std::string::npos) << run.out;

    // Plans kept for this rate: --tune-transforms finds nothing to tune and surveys at once.
    fftwf_forget_wisdom();
    TuneSurveyTransforms(48000, TuningEffort::Quick, nullptr);
    ASSERT_EQ(SaveKeptPlans(kept), "");
    fftwf_forget_wisdom();
    run = test::RunCliArgs({"survey", "--centre-khz", "400", "--tune-transforms", band});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.err.find("tuned already"), std::string::npos) << run.err;
    EXPECT_EQ(run.err.find(kept + ":"), std::string::npos) << "the kept plans load without a word: " << run.err;
    EXPECT_TRUE(SurveyTransformsTuned(48000));
    // On the kept plans the survey finds what it finds on its own measured ones.
    EXPECT_NE(run.out.find("399.00 kHz  DGU"), std::string::npos) << run.out;
    EXPECT_EQ(std::count(run.out.begin(), run.out.end(), '\n'), 1) << run.out;

    if (saved) ::setenv("XDG_CACHE_HOME", before.c_str(), 1);
    else ::unsetenv("XDG_CACHE_HOME");
}

}  // namespace
}  // namespace sorv
