// Synthesise, analyse, read the right ident: the whole road from audio file to report.
#include <gtest/gtest.h>
#include <sndfile.h>

#include <vector>

#include "audio/file/audio_file_reader.h"
#include "support/cli_runner.h"
#include "support/fake_platform.h"

namespace sorv {
namespace {

struct RoundTrip {
    const char* ident;
    double tone, period, wpm, snrDb, minutes;
    uint32_t seed;
};

// Idents of two and three letters, 6 to 10 wpm, periods of 6.5 to 12 s, tones across the
// default search range. The designed search accepts down to about -5.5 dB over 5 minutes;
// each case keeps at least 2.5 dB of margin, and the seeds are fixed. These tests run the
// designed search (--detector classic); the sensitive detector has round trips of its own.
const RoundTrip kRoundTrips[] = {
    {"DGU", 1015, 8.0, 8, -3, 5, 1},   // the README demo
    {"ABC", 950, 10.0, 6, 0, 5, 2},
    {"KX", 1060, 7.0, 10, 3, 4, 3},
    {"RAM", 1080, 12.0, 7, 0, 6, 4},
    {"SN", 920, 6.5, 8, 0, 5, 5},
};

class CliRoundTrip : public ::testing::Test {
protected:
    test::TempDir dir;
};

TEST_F(CliRoundTrip, EachSynthesisedIdentIsReadBackOnceOnItsToneAndPeriod) {
    for (const RoundTrip& c : kRoundTrips) {
        SCOPED_TRACE(c.ident);
        const std::string wav = dir.file(std::string(c.ident) + ".wav");
        ASSERT_TRUE(test::WriteSynthWav(wav, test::IdentSpec(c.ident, c.tone, c.period, c.wpm, c.snrDb, c.minutes, c.seed)));
        const test::CliResult r = test::RunCliArgs({"analyse", "--detector", "classic", "--json", wav});
        EXPECT_EQ(r.status, 0) << r.err;
        const auto found = r.Json();
        ASSERT_EQ(found.size(), 1u) << r.out;
        const auto& o = found[0];
        EXPECT_EQ(o.at("file").text, wav);
        EXPECT_EQ(o.at("ident").text, c.ident);
        EXPECT_EQ(o.at("segment_start_s").number, 0.0);
        EXPECT_NEAR(o.at("period_s").number, c.period, 0.01);
        // The label of a line is a line below where the producer puts its frequency.
        EXPECT_NEAR(o.at("offset_hz").number, c.tone - 15.625, 15.7);
        EXPECT_NEAR(o.at("wpm").number, c.wpm, 1.01);
        EXPECT_GT(o.at("score").number, 80.0);
        EXPECT_EQ(o.at("rf_khz").kind, test::JsonValue::Null);
    }
}

TEST_F(CliRoundTrip, PureNoiseAndNoiseWithSteadyCarriersGiveNothing) {
    for (int carriers = 0; carriers <= 1; ++carriers) {
        SynthSpec spec;
        spec.withNoise = true;
        spec.seconds = 300;
        spec.seed = 11 + static_cast<uint32_t>(carriers);
        if (carriers) spec.carriers = {{960.0, 6.0}, {1040.0, 0.0}};
        const std::string wav = dir.file("noise.wav");
        ASSERT_TRUE(test::WriteSynthWav(wav, spec));
        const test::CliResult r = test::RunCliArgs({"analyse", "--detector", "classic", wav});
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(r.out, "");
        EXPECT_NE(r.err.find("0 identifications"), std::string::npos) << r.err;
    }
}

// The same recording as a 16-bit stereo 44.1 kHz file (the ident on the right channel)
// decodes as the 8-bit 48 kHz original does.
TEST_F(CliRoundTrip, ASixteenBitStereoCopyAt44100DecodesTheSameIdent) {
    const std::string original = dir.file("dgu.wav");
    ASSERT_TRUE(test::WriteSynthWav(original, test::IdentSpec("DGU", 1015, 8, 8, 0, 5, 7)));
    // Resample the original to 44.1 kHz through the import itself, then write it as 16-bit.
    AudioFileReader reader;
    std::string error;
    ASSERT_TRUE(reader.Open(original, {}, error));
    std::vector<double> mono;
    std::vector<uint8_t> block(48000);
    while (size_t n = reader.Read(block.data(), block.size()))
        for (size_t i = 0; i < n; ++i) mono.push_back((block[i] - 128.0) / 128.0);
    std::vector<double> resampled;  // linear interpolation is plenty for a 1 kHz tone
    for (size_t j = 0;; ++j) {
        const double t = static_cast<double>(j) * 48000.0 / 44100.0;
        const size_t i = static_cast<size_t>(t);
        if (i + 1 >= mono.size()) break;
        const double x = mono[i] + (t - static_cast<double>(i)) * (mono[i + 1] - mono[i]);
        resampled.push_back(0.3 * std::sin(static_cast<double>(j)));  // left: something else
        resampled.push_back(x);
    }
    SF_INFO info{};
    info.samplerate = 44100;
    info.channels = 2;
    info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
    SNDFILE* f = sf_open(dir.file("copy.wav").c_str(), SFM_WRITE, &info);
    ASSERT_NE(f, nullptr);
    sf_writef_double(f, resampled.data(), static_cast<sf_count_t>(resampled.size() / 2));
    sf_close(f);

    const auto a = test::RunCliArgs({"analyse", "--detector", "classic", "--json", original}).Json();
    const auto b = test::RunCliArgs({"analyse", "--detector", "classic", "--json", "--channel", "2", dir.file("copy.wav")}).Json();
    ASSERT_EQ(a.size(), 1u);
    ASSERT_EQ(b.size(), 1u);
    EXPECT_EQ(a[0].at("ident").text, "DGU");
    EXPECT_EQ(b[0].at("ident").text, "DGU");
    EXPECT_EQ(b[0].at("line").number, a[0].at("line").number);
    EXPECT_NEAR(b[0].at("period_s").number, a[0].at("period_s").number, 0.005);
}

// A spectrogram saved from a recording is found again by analyse and by the batch search,
// with the carrier taken from a recognised name.
TEST_F(CliRoundTrip, TheSavedSpectrogramIsFoundAgainByAnalyseAndSearch) {
    const std::string wav = dir.file("abc.wav");
    ASSERT_TRUE(test::WriteSynthWav(wav, test::IdentSpec("ABC", 950, 10, 6, 0, 5, 2)));
    const std::string svl = dir.file("sorvantel_20090315142530_404_0.svl");
    const test::CliResult saved = test::RunCliArgs({"analyse", "--detector", "classic", "--save-svl", svl, wav});
    ASSERT_EQ(saved.status, 0) << saved.err;
    ASSERT_EQ(saved.OutLines().size(), 1u);
    const std::string entry = saved.OutLines()[0].substr(wav.size() + 2 + 14);  // past the time stamp

    for (const char* command : {"analyse", "search"}) {
        SCOPED_TRACE(command);
        const test::CliResult r = test::RunCliArgs({command, "--detector", "classic", "--usb", svl});
        EXPECT_EQ(r.status, 0) << r.err;
        ASSERT_EQ(r.OutLines().size(), 1u) << r.out;
        // The recording's time and carrier come from the name: 404 kHz, upper sideband.
        EXPECT_EQ(r.OutLines()[0],
                  svl + ": 20090315 1425 ABC 404.0 kHz; sideband 404.938 kHz; " + entry.substr(entry.find("offset")));
    }
}

}  // namespace
}  // namespace sorv
