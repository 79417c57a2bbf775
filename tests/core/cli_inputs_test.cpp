// Files that cannot be read are named with their reason and give exit status 1, while the
// files beside them are still analysed; a wrong command line gives 2 and a pointer to --help.
#include <gtest/gtest.h>

#include <stdlib.h>

#include <filesystem>
#include <fstream>

#include "cli/headless_document.h"
#include "support/cli_runner.h"
#include "support/fake_platform.h"
#include "support/live_doc.h"

namespace sorv {
namespace {

class CliInputs : public ::testing::Test {
protected:
    void SetUp() override {
        good = dir.file("good.wav");
        ASSERT_TRUE(test::WriteSynthWav(good, test::IdentSpec("DGU", 1015, 8, 8, 3, 4)));
    }
    std::string Write(const std::string& name, const std::string& bytes) {
        std::ofstream(dir.file(name), std::ios::binary) << bytes;
        return dir.file(name);
    }
    std::string Folder(const std::string& name) {
        std::filesystem::create_directories(dir.file(name));
        return dir.file(name);
    }
    test::TempDir dir;
    std::string good;
};

TEST_F(CliInputs, BrokenAudioFilesAreNamedWithTheirReasonAndTheOthersStillAnalysed) {
    const auto whole = test::ReadFileBytes(good);
    const std::string wavBytes(whole.begin(), whole.end());
    struct Case {
        std::string path;
        std::string reason;
    } cases[] = {
        {Write("empty.wav", ""), "not an audio file that can be read"},
        {Write("notes.txt", "carrier 404.0 USB\nstart\n"), "not an audio file that can be read"},
        {Write("corrupt.wav", wavBytes.substr(0, 20) + "\x34\x12garbage garbage garbage"), "not an audio file"},
        {Write("headless.wav", wavBytes.substr(0, 40)), "not an audio file"},
        {Write("cut.wav", wavBytes.substr(0, 44 + 48000 * 90)), "truncated"},
        {dir.file("missing.wav"), "No such file"},
        {Folder("nothing here"), "the directory holds no recordings"},
    };
    // All in one run, the good file last: each is named with its reason, the good one is
    // analysed all the same, and the status says that some file could not be read.
    std::vector<std::string> args = {"analyse", "--detector", "classic"};
    for (const Case& c : cases) args.push_back(c.path);
    args.push_back(good);
    const test::CliResult r = test::RunCliArgs(args);
    EXPECT_EQ(r.status, 1);
    for (const Case& c : cases) {
        const size_t at = r.err.find("sorvantel-cli: " + c.path + ": ");
        ASSERT_NE(at, std::string::npos) << c.path << "\n" << r.err;
        EXPECT_NE(r.err.substr(at, r.err.find('\n', at) - at).find(c.reason), std::string::npos) << r.err;
    }
    ASSERT_FALSE(r.OutLines().empty());
    EXPECT_EQ(r.OutLines().back().rfind(good + ": ", 0), 0u) << r.out;
    EXPECT_NE(r.OutLines().back().find(" DGU "), std::string::npos) << r.out;
}

TEST_F(CliInputs, ATruncatedRecordingIsAnalysedForWhatItHolds) {
    const auto whole = test::ReadFileBytes(good);
    const std::string cut = Write("cut.wav", std::string(whole.begin(), whole.begin() + 44 + 48000 * 200));
    const test::CliResult r = test::RunCliArgs({"analyse", "--detector", "classic", cut});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("truncated"), std::string::npos);
    ASSERT_EQ(r.OutLines().size(), 1u);
    EXPECT_NE(r.out.find("DGU"), std::string::npos);
}

TEST_F(CliInputs, BrokenSpectrumFilesAreRefusedByBothCommands) {
    auto le32 = [](int32_t v) {
        std::string s(4, '\0');
        for (int i = 0; i < 4; ++i) s[static_cast<size_t>(i)] = static_cast<char>(static_cast<uint32_t>(v) >> (8 * i));
        return s;
    };
    struct Case {
        std::string path;
        std::string reason;
        int status;
    } cases[] = {
        {Write("empty.svl", ""), "shorter than its 4-byte row count", 1},
        {Write("hostile.svl", le32(-5) + std::string(1024, '\0')), "outside 0 to 65536", 1},
        {Write("huge.svl", le32(70000)), "outside 0 to 65536", 1},
        {Write("short.svl", le32(3) + std::string(1024 * 2 + 100, '\0')), "truncated", 1},
        {dir.file("missing.svl"), "No such file", 1},
    };
    for (const char* command : {"analyse", "search"}) {
        for (const Case& c : cases) {
            SCOPED_TRACE(std::string(command) + " " + c.path);
            const test::CliResult r = test::RunCliArgs({command, c.path});
            EXPECT_EQ(r.status, c.status);
            EXPECT_NE(r.err.find(c.path + ": "), std::string::npos) << r.err;
            EXPECT_NE(r.err.find(c.reason), std::string::npos) << r.err;
            EXPECT_EQ(r.out, "");
        }
    }
}

TEST(CliUsage, WrongCommandLinesGiveStatusTwoAndHelpGivesZero) {
    const std::vector<std::vector<std::string>> wrong = {
        {},
        {"analyse"},
        {"frobnicate", "x.wav"},
        {"analyse", "--bandwidth", "1000", "x.wav"},
        {"analyse", "--period-scale", "12", "x.wav"},
        {"analyse", "--wpm", "0", "x.wav"},
        {"analyse", "--tone-min", "nan", "x.wav"},
        {"analyse", "--usb", "--lsb", "x.wav"},
        {"analyse", "--gain", "loud", "x.wav"},
        {"analyse", "--channel", "0", "x.wav"},
        {"analyse", "--save-svl", "o.svl", "a.wav", "b.wav"},
        {"analyse", "--carrier", "x.wav"},
        {"analyse", "--frobnicate", "x.wav"},
        {"analyse", "--tone-min", "1200", "x.wav"},
        {"analyse", "--tone-min", "1000", "--tone-max", "999", "x.wav"},
        {"search", "--period-min", "12", "--period-max", "8", "x.svl"},
        {"search", "--period-max", "5", "x.svl"},
        {"run", "--tone-max", "800", "--input", "a.wav", "script.txt"},
        {"run", "--timeout", "0", "--input", "a.wav", "script.txt"},
        {"search"},
        {"run", "script.txt"},
        {"run", "--input", "a.wav"},
        {"synth"},
        {"synth", "--tone", "1000", "out.wav"},
        {"synth", "--ident", "DGU", "--period", "2", "out.wav"},
        {"synth", "--ident", "DGU", "a.wav", "b.wav"},
        {"synth", "--ident", "DGU", "--seed", "-1", "out.wav"},
    };
    for (const auto& args : wrong) {
        std::string joined;
        for (const auto& a : args) joined += a + " ";
        SCOPED_TRACE(joined);
        const test::CliResult r = test::RunCliArgs(args);
        EXPECT_EQ(r.status, 2);
        EXPECT_NE(r.err.find("Try 'sorvantel-cli --help'"), std::string::npos) << r.err;
        EXPECT_EQ(r.out, "");
    }
    for (const auto& args : std::vector<std::vector<std::string>>{
             {"--help"}, {"help"}, {"analyse", "--help"}, {"search", "-h"}, {"run", "--help"}, {"synth", "--help"}}) {
        const test::CliResult r = test::RunCliArgs(args);
        EXPECT_EQ(r.status, 0);
        EXPECT_EQ(r.out.rfind("Usage: sorvantel-cli", 0), 0u) << r.out;
    }
    EXPECT_NE(test::RunCliArgs({"analyse", "--help"}).out.find("--bandwidth"), std::string::npos);
    EXPECT_NE(test::RunCliArgs({"synth", "--help"}).out.find("--snr DB"), std::string::npos);
}

// The tool never touches the user's settings: the document reads and writes a file in a
// private folder that is gone when the tool ends, so that runs in parallel cannot clash.
TEST(CliSettings, TheSettingsLiveInAPrivateFolderThatGoesWithTheTool) {
    test::TempDir home;
    const char* previous = getenv("XDG_CONFIG_HOME");
    const std::string saved = previous ? previous : "";
    setenv("XDG_CONFIG_HOME", home.path().c_str(), 1);
    std::string folder;
    {
        std::ostringstream err;
        HeadlessDocument hd(err);
        const std::filesystem::path settings = hd.platform.SettingsFilePath();
        folder = settings.parent_path().string();
        EXPECT_TRUE(std::filesystem::exists(settings));  // the document's first-run empty key
        HeadlessDocument other(err);
        EXPECT_NE(other.platform.SettingsFilePath(), settings.string());
        hd.doc->m_nWpm = 13;  // written at exit, into the private folder only
    }
    EXPECT_FALSE(std::filesystem::exists(folder));
    EXPECT_TRUE(std::filesystem::is_empty(home.path()));
    if (previous) setenv("XDG_CONFIG_HOME", saved.c_str(), 1);
    else unsetenv("XDG_CONFIG_HOME");
}

TEST(CliUsage, OptionsSetTheDocumentAsTheDialogsWould) {
    CliCommand c;
    std::string error;
    ASSERT_TRUE(ParseCommandLine({"analyse", "--centre", "1000", "--bandwidth=375", "--tone-min", "950",
                                  "--period-max", "12.5", "--carrier", "404.5", "--lsb", "--wpm", "7",
                                  "--period-scale", "16", "--channel", "mix", "--gain", "-6", "a.flac"},
                                 c, error))
        << error;
    test::FakePlatform platform;
    CSorvantelDoc doc(platform);
    ApplyAnalysisSettings(doc, c.analyse.settings);
    EXPECT_EQ(doc.m_nBandLow, 812);
    EXPECT_EQ(doc.m_nBandHigh, 1188);
    EXPECT_EQ(doc.m_nRowsPerFrame, 8);
    EXPECT_EQ(doc.m_dAutoToneMin, 950.0);
    EXPECT_EQ(doc.m_dAutoToneMax, 1100.0);
    EXPECT_EQ(doc.m_dAutoPeriodMax, 12.5);
    EXPECT_EQ(doc.m_dCarrierKHz, 404.5);
    EXPECT_EQ(doc.m_nRxMode, 1);
    EXPECT_EQ(doc.m_bAutoWpm, 0);
    EXPECT_EQ(doc.m_nWpm, 7);
    EXPECT_EQ(doc.m_nPeriodScale, 16);
    EXPECT_EQ(doc.m_bLogCheck, 0);  // no --log-dir, no log
    EXPECT_TRUE(c.analyse.import.mix);
    EXPECT_EQ(c.analyse.import.gainDb, -6.0);

    // --centre alone keeps the 1.5 kHz width the dialog opens on; --bandwidth alone centres on 1000.
    CliCommand d;
    ASSERT_TRUE(ParseCommandLine({"search", "--centre", "400", "x.svl"}, d, error));
    ApplyAnalysisSettings(doc, d.search.settings);
    EXPECT_EQ(doc.m_nBandLow, -350);
    EXPECT_EQ(doc.m_nBandHigh, 1150);
    CliCommand e;
    ASSERT_TRUE(ParseCommandLine({"search", "--bandwidth", "187.5", "--log-dir", "/tmp/logs", "x.svl"}, e, error));
    ApplyAnalysisSettings(doc, e.search.settings);
    EXPECT_EQ(doc.m_nBandLow, 906);
    EXPECT_EQ(doc.m_nBandHigh, 1094);
    EXPECT_EQ(doc.m_nRowsPerFrame, 16);
    EXPECT_EQ(doc.m_bLogCheck, 1);
    EXPECT_EQ(doc.m_strLogDirectory, "/tmp/logs/");
}

TEST(CliUsage, SynthOptionsDescribeTheIdentBeforeThem) {
    CliCommand c;
    std::string error;
    ASSERT_TRUE(ParseCommandLine({"synth", "--ident", "DGU", "--tone", "1015", "--period", "8", "--ident", "KX",
                                  "--wpm", "10", "--level", "-6", "--offset", "3", "--steady", "950",
                                  "--steady-level", "-10", "--snr", "-3", "--minutes", "2.5", "--seed", "42",
                                  "--fade-depth", "6", "--drift", "0.5", "o.wav"},
                                 c, error))
        << error;
    const SynthSpec& s = c.synth.spec;
    ASSERT_EQ(s.idents.size(), 2u);
    EXPECT_EQ(s.idents[0].toneHz, 1015.0);
    EXPECT_EQ(s.idents[0].periodSeconds, 8.0);
    EXPECT_EQ(s.idents[0].wpm, 8.0);
    EXPECT_EQ(s.idents[1].ident, "KX");
    EXPECT_EQ(s.idents[1].toneHz, 1000.0);
    EXPECT_EQ(s.idents[1].wpm, 10.0);
    EXPECT_EQ(s.idents[1].levelDb, -6.0);
    EXPECT_EQ(s.idents[1].offsetSeconds, 3.0);
    ASSERT_EQ(s.carriers.size(), 1u);
    EXPECT_EQ(s.carriers[0].levelDb, -10.0);
    EXPECT_TRUE(s.withNoise);
    EXPECT_EQ(s.seconds, 150.0);
    EXPECT_EQ(s.seed, 42u);
    EXPECT_EQ(c.synth.output, "o.wav");
}

}  // namespace
}  // namespace sorv
