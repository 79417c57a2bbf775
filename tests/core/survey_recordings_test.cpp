// sorvantel-cli survey on the recordings users bring: one made by "synth --iq" with its auxi
// chunk (centre and start time), the same samples as a raw file with --rate and --centre-khz,
// and the files that cannot be surveyed -- no centre anywhere, cut short, a nonsense auxi
// chunk -- each named with the reason and exit status 1.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <regex>

#include "support/cli_runner.h"
#include "support/wav_bytes.h"

namespace sorv {
namespace {

namespace fs = std::filesystem;
using test::RunCliArgs;
using test::WavBytes;

std::vector<uint8_t> ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

class SurveyRecordings : public ::testing::Test {
protected:
    // 48 s around 400 kHz from the synthesiser: DGU on 1020 Hz on both sides of 402 kHz, KX
    // on 400 Hz below 396.5 kHz, a steady carrier at 398 kHz; it starts 30 s before midnight.
    static void SetUpTestSuite() {
        dir_ = new fs::path(fs::temp_directory_path() / ("sorvantel_survey_rec_" + std::to_string(::getpid())));
        fs::create_directories(*dir_);
        const test::CliResult r = RunCliArgs(
            {"synth", "--iq", "--centre-khz", "400", "--rate", "48000", "--seconds", "48", "--start",
             "2024-03-05T23:59:30Z", "--snr", "-6", "--beacon", "402", "--ident", "DGU", "--period", "6", "--beacon",
             "396.5", "--ident", "KX", "--tone", "400", "--keying", "lower", "--period", "6.5", "--steady", "398",
             Path("night.wav")});
        ASSERT_EQ(r.status, 0) << r.err;
    }
    static void TearDownTestSuite() {
        std::error_code ec;
        fs::remove_all(*dir_, ec);
        delete dir_;
    }
    static std::string Path(const std::string& name) { return (*dir_ / name).string(); }

    // The synthesised recording's samples after its data chunk's header.
    static std::vector<uint8_t> Samples() {
        const std::vector<uint8_t> wav = ReadBytes(Path("night.wav"));
        const std::string text(wav.begin(), wav.end());
        const size_t data = text.find("data");
        EXPECT_NE(data, std::string::npos);
        return {wav.begin() + static_cast<std::ptrdiff_t>(data + 8), wav.end()};
    }

    static fs::path* dir_;
};

fs::path* SurveyRecordings::dir_ = nullptr;

TEST_F(SurveyRecordings, ASynthesisedRecordingIsSurveyedAndLoggedAtTheTimeItWasMade) {
    const std::string logs = Path("logs");
    const test::CliResult r = RunCliArgs({"survey", "--log-dir", logs, Path("night.wav")});
    ASSERT_EQ(r.status, 0) << r.err;
    const std::vector<std::string> lines = r.OutLines();
    ASSERT_EQ(lines.size(), 2u) << r.out;
    EXPECT_TRUE(std::regex_match(lines[0], std::regex(".*night\\.wav:  *396\\.50 kHz  KX .*lower.*period  6\\.50 s.*")))
        << lines[0];
    EXPECT_TRUE(std::regex_match(lines[1], std::regex(".*night\\.wav:  *402\\.00 kHz  DGU .*period  6\\.00 s.*")))
        << lines[1];
    EXPECT_NE(r.err.find("3 carriers, 2 beacons identified"), std::string::npos) << r.err;

    // The auxi chunk's start, not the day of the test: the entries go into that day's log.
    std::ifstream in(fs::path(logs) / "sorvantel240305.log");
    ASSERT_TRUE(in) << "no log for 5 March 2024";
    std::vector<std::string> entries;
    for (std::string line; std::getline(in, line);) entries.push_back(line);
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[0].rfind("20240305 2359 KX  396.5 kHz; sideband 396.1", 0), 0u) << entries[0];
    EXPECT_EQ(entries[1].rfind("20240305 2359 DGU 402.0 kHz;", 0), 0u) << entries[1];
}

TEST_F(SurveyRecordings, RawSamplesNeedTheirRateAndCentre) {
    const std::string raw = Path("night.cs16");
    ASSERT_TRUE(WavBytes::WriteFile(raw, Samples()));
    const test::CliResult r = RunCliArgs({"survey", "--rate", "48000", "--centre-khz", "400", "--carriers", "402", raw});
    ASSERT_EQ(r.status, 0) << r.err;
    ASSERT_EQ(r.OutLines().size(), 1u) << r.out;
    EXPECT_NE(r.out.find("402.00 kHz  DGU"), std::string::npos) << r.out;

    const test::CliResult noRate = RunCliArgs({"survey", "--centre-khz", "400", raw});
    EXPECT_EQ(noRate.status, 1);
    EXPECT_NE(noRate.err.find(raw + ": reading raw samples: a raw recording needs its rate: give --rate"),
              std::string::npos)
        << noRate.err;
    const test::CliResult noCentre = RunCliArgs({"survey", "--rate", "48000", raw});
    EXPECT_EQ(noCentre.status, 1);
    EXPECT_NE(noCentre.err.find(raw + ": finding the centre frequency"), std::string::npos) << noCentre.err;
    EXPECT_TRUE(noCentre.out.empty()) << noCentre.out;
}

TEST_F(SurveyRecordings, FilesThatCannotBeSurveyedAreNamedWithTheReasonAndExitOne) {
    // Two channels of samples, but nothing says where the receiver was tuned.
    const std::string plain = Path("plain.wav");
    ASSERT_TRUE(WavBytes().Fmt(1, 2, 48000, 16).Chunk("data", Samples()).Write(plain));
    test::CliResult r = RunCliArgs({"survey", plain});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find(plain + ": finding the centre frequency: the file has no auxi chunk and its name gives no "
                                 "frequency: give --centre-khz"),
              std::string::npos)
        << r.err;

    // An auxi chunk whose start is 30 February is not believed, nor its centre with it.
    const std::string feb30 = Path("feb30.wav");
    ASSERT_TRUE(WavBytes()
                    .Fmt(1, 2, 48000, 16)
                    .Chunk("auxi", WavBytes::Auxi(2023, 2, 30, 12, 0, 0, 404000))
                    .Chunk("data", WavBytes::Pcm16(std::vector<int16_t>(96000, 3)))
                    .Write(feb30));
    r = RunCliArgs({"survey", "--centre-khz", "400", feb30});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find(feb30 + ": reading the auxi chunk: "), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("2023-02-30 12:00:00 is not a date"), std::string::npos) << r.err;

    // Cut short: surveyed as far as it goes (KX keys from the start), the cut named, exit 1.
    const std::string cut = Path("cut.wav");
    std::vector<uint8_t> wav = ReadBytes(Path("night.wav"));
    wav.resize(wav.size() * 5 / 6);
    ASSERT_TRUE(WavBytes::WriteFile(cut, wav));
    r = RunCliArgs({"survey", "--carriers", "396.5", cut});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find(cut + ": the file is truncated: its header announces 48.0 s of samples, it holds 40.0 s"),
              std::string::npos)
        << r.err;
    EXPECT_NE(r.out.find("396.50 kHz  KX"), std::string::npos) << r.out;
}

}  // namespace
}  // namespace sorv
