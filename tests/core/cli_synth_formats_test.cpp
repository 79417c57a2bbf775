// sorvantel-cli synth's 16-bit stereo 44.1 kHz output, read back through the import and
// analysed; the noise options on the command line.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "audio/file/audio_file_reader.h"
#include "support/cli_runner.h"
#include "support/fake_platform.h"
#include "support/live_doc.h"

namespace sorv {
namespace {

TEST(CliSynthFormats, SixteenBitStereoAt44kIsReadByTheImportAndGivesTheIdent) {
    test::TempDir dir;
    const std::string wav = dir.file("sdr.wav");
    const test::CliResult made = test::RunCliArgs({"synth", "--format", "s16-stereo-44k", "--ident", "DGU", "--tone",
                                                   "1015", "--period", "8", "--snr", "-6", "--seconds", "90", wav});
    ASSERT_EQ(made.status, 0) << made.err;
    EXPECT_NE(made.err.find("16-bit stereo 44100 Hz"), std::string::npos) << made.err;

    const auto bytes = test::ReadFileBytes(wav);
    const size_t frames = 90 * 44100;
    ASSERT_EQ(bytes.size(), 44 + 4 * frames);
    EXPECT_EQ(test::Le16(bytes, 22), 2);  // stereo
    EXPECT_EQ(test::Le32(bytes, 24), 44100u);
    EXPECT_EQ(test::Le32(bytes, 28), 4 * 44100u);
    EXPECT_EQ(test::Le16(bytes, 32), 4);
    EXPECT_EQ(test::Le16(bytes, 34), 16);
    EXPECT_EQ(test::Le32(bytes, 40), 4 * frames);
    double sum2 = 0;
    for (size_t f = 0; f < frames; ++f) {
        const int16_t left = static_cast<int16_t>(test::Le16(bytes, 44 + 4 * f));
        ASSERT_EQ(left, static_cast<int16_t>(test::Le16(bytes, 46 + 4 * f))) << "frame " << f;
        sum2 += static_cast<double>(left) * left;
    }
    // The noise is 16 counts of 8 bits, 4096 of 16 (with the ident, a little more).
    EXPECT_NEAR(std::sqrt(sum2 / frames) / 256.0, 16.0, 0.5);

    // The import at its default gain: 48 kHz, the same level, nothing clipped.
    AudioFileReader reader;
    std::string error;
    ASSERT_TRUE(reader.Open(wav, {}, error)) << error;
    std::vector<uint8_t> block(48000);
    double imported2 = 0;
    uint64_t n = 0;
    while (const size_t got = reader.Read(block.data(), block.size())) {
        for (size_t i = 0; i < got; ++i) imported2 += (block[i] - 128.0) * (block[i] - 128.0);
        n += got;
    }
    EXPECT_EQ(reader.Error(), "");
    EXPECT_NEAR(static_cast<double>(n), 90 * 48000.0, 2.0);
    EXPECT_EQ(reader.ClippedSamples(), 0u);
    EXPECT_NEAR(std::sqrt(imported2 / static_cast<double>(n)), 16.0, 0.5);

    const test::CliResult found = test::RunCliArgs({"analyse", "--json", wav});
    EXPECT_EQ(found.status, 0) << found.err;
    const auto objects = found.Json();
    ASSERT_EQ(objects.size(), 1u) << found.out;
    EXPECT_EQ(objects[0].at("ident").text, "DGU");
    EXPECT_NEAR(objects[0].at("period_s").number, 8.0, 0.01);
}

TEST(CliSynthFormats, NoiseOptionsAreCheckedAndDocumented) {
    test::TempDir dir;
    const std::string wav = dir.file("x.wav");
    test::CliResult r = test::RunCliArgs({"synth", "--format", "s24", wav});
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("--format must be u8-mono-48k or s16-stereo-44k"), std::string::npos) << r.err;
    r = test::RunCliArgs({"synth", "--ident", "AB", "--crashes", "3", wav});
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("need noise"), std::string::npos) << r.err;
    r = test::RunCliArgs({"synth", "--snr", "0", "--hum", "55", wav});
    EXPECT_EQ(r.status, 2);
    r = test::RunCliArgs({"synth", "--snr", "0", "--agc", "--agc-decay", "fast", wav});
    EXPECT_EQ(r.status, 2);

    // Every kind at once: a file of the stated length, and the line on stderr says what was made.
    r = test::RunCliArgs({"synth", "--ident", "AB", "--snr", "0", "--crashes", "3", "--crash-level", "22",
                          "--crash-spread", "4", "--crash-ms", "3", "--noise-drift", "10", "--noise-wander", "2",
                          "--noise-wander-time", "60", "--noise-tilt", "-3", "--hum", "60", "--hum-level", "5",
                          "--qsb", "6", "--qsb-time", "120", "--agc", "--agc-attack", "1", "--agc-decay", "300",
                          "--agc-threshold", "8", "--noise-rms", "8", "--seconds", "4", wav});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(test::ReadFileBytes(wav).size(), 44u + 4 * 48000);
    for (const char* said : {"crashes/s at 20..24 dB, 3 ms", "noise drifting by +10 dB", "noise wandering by 2 dB",
                             "tilted -3 dB/octave", "60 Hz hum at +5 dB", "random fading of 6 dB over 120 s",
                             "AGC 1/300 ms above +8 dB"})
        EXPECT_NE(r.err.find(said), std::string::npos) << said << " in " << r.err;

    const test::CliResult help = test::RunCliArgs({"synth", "--help"});
    for (const char* option : {"--format F", "--crashes N", "--crash-level DB", "--noise-drift DB", "--noise-wander DB",
                               "--noise-tilt DB", "--hum HZ", "--qsb DB", "--agc ", "--noise-rms C"})
        EXPECT_NE(help.out.find(option), std::string::npos) << option;
}

}  // namespace
}  // namespace sorv
