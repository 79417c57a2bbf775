#include <gtest/gtest.h>
#include <sndfile.h>

#include <cmath>
#include <fstream>
#include <vector>

#include "audio/file/audio_file_reader.h"
#include "audio/file/sample_conversion.h"
#include "audio/synth/receiver_audio.h"
#include "audio/synth/wav_file_writer.h"
#include "support/fake_platform.h"

namespace sorv {
namespace {

// Writes interleaved frames (full scale -1..+1) in any format libsndfile writes.
bool WriteSoundFile(const std::string& path, int format, int rate, int channels, const std::vector<double>& frames) {
    SF_INFO info{};
    info.samplerate = rate;
    info.channels = channels;
    info.format = format;
    SNDFILE* f = sf_open(path.c_str(), SFM_WRITE, &info);
    if (!f) return false;
    const sf_count_t n = static_cast<sf_count_t>(frames.size() / static_cast<size_t>(channels));
    const bool ok = sf_writef_double(f, frames.data(), n) == n;
    sf_close(f);
    return ok;
}

std::vector<uint8_t> ReadAll(AudioFileReader& reader) {
    std::vector<uint8_t> out;
    std::vector<uint8_t> block(48000);
    for (;;) {
        const size_t n = reader.Read(block.data(), block.size());
        out.insert(out.end(), block.begin(), block.begin() + static_cast<long>(n));
        if (n < block.size()) return out;
    }
}

double ToneAmplitude(const std::vector<uint8_t>& s, double hz, size_t from, size_t to) {
    double re = 0, im = 0;
    for (size_t i = from; i < to; ++i) {
        const double a = 2 * M_PI * hz * static_cast<double>(i) / 48000.0;
        re += (s[i] - 128.0) * std::cos(a);
        im += (s[i] - 128.0) * std::sin(a);
    }
    return 2.0 * std::hypot(re, im) / static_cast<double>(to - from);
}

TEST(RecordingConversion, FullScaleMapsToFullScaleWithRoundingAndClipping) {
    U8Converter c;
    EXPECT_EQ(c.Convert(-1.0), 0);
    EXPECT_EQ(c.Convert(0.0), 128);
    EXPECT_EQ(c.Convert(0.4 / 128), 128);
    EXPECT_EQ(c.Convert(0.5 / 128), 129);    // halves away from zero
    EXPECT_EQ(c.Convert(-0.5 / 128), 127);
    EXPECT_EQ(c.Convert(127.4 / 128), 255);
    EXPECT_EQ(c.Clipped(), 0u);
    EXPECT_EQ(c.Convert(1.0), 255);          // +1.0 would be 256
    EXPECT_EQ(c.Convert(-1.5), 0);
    EXPECT_EQ(c.Convert(NAN), 0);
    EXPECT_EQ(c.Clipped(), 3u);
    // Every 8-bit value comes back as itself.
    for (int b = 0; b < 256; ++b) ASSERT_EQ(c.Convert((b - 128) / 128.0), b);
    U8Converter doubled(2.0);
    EXPECT_EQ(doubled.Convert(0.25), 192);
}

TEST(RecordingConversion, AutoGainBringsTheMedianBlockRmsToSixteenCounts) {
    NoiseLevelMeter meter;
    std::vector<double> x(48000);
    // 0.9 s of a level 0.01, 0.1 s of a burst ten times louder: the median ignores the burst.
    for (size_t i = 0; i < x.size(); ++i) x[i] = (i % 2 ? 1 : -1) * (i < 43200 ? 0.01 : 0.1);
    meter.Add(x.data(), x.size());
    EXPECT_NEAR(meter.Rms(), 0.01, 1e-12);
    EXPECT_NEAR(AutoGainDb(0.01), 20 * std::log10(16.0 / 128 / 0.01), 1e-12);
    EXPECT_EQ(AutoGainDb(0.0), 0.0);
    EXPECT_EQ(NoiseLevelMeter().Rms(), 0.0);
}

class RecordingImport : public ::testing::Test {
protected:
    test::TempDir dir;
    std::string error;
};

TEST_F(RecordingImport, AnEightBitRecordingComesBackByteForByte) {
    SynthSpec spec;
    spec.idents.push_back({});
    spec.withNoise = true;
    spec.snrDb = 20;  // a loud ident in noise
    spec.seconds = 3.5;
    ReceiverAudio audio(spec);
    std::vector<uint8_t> samples(audio.TotalSamples());
    audio.Fill(samples.data(), samples.size());
    WavFileWriter w;
    ASSERT_TRUE(w.Open(dir.file("a.wav"), error) && w.Write(samples.data(), samples.size(), error) && w.Close(error));

    AudioFileReader reader;
    ASSERT_TRUE(reader.Open(dir.file("a.wav"), {}, error)) << error;
    EXPECT_DOUBLE_EQ(reader.DurationSeconds(), 3.5);
    EXPECT_NE(reader.Description().find("8 bit"), std::string::npos) << reader.Description();
    EXPECT_EQ(ReadAll(reader), samples);
    EXPECT_EQ(reader.Error(), "");
    EXPECT_EQ(reader.ClippedSamples(), 0u);

    // The same samples as 16-bit go through the conversion and give the same bytes.
    std::vector<double> wide;
    for (uint8_t b : samples) wide.push_back((b - 128.0) / 128.0);
    ASSERT_TRUE(WriteSoundFile(dir.file("a16.wav"), SF_FORMAT_WAV | SF_FORMAT_PCM_16, 48000, 1, wide));
    AudioFileReader r16;
    ASSERT_TRUE(r16.Open(dir.file("a16.wav"), {}, error)) << error;
    EXPECT_EQ(ReadAll(r16), samples);
}

TEST_F(RecordingImport, SixteenBitStereoAt44100IsResampledAndTheChannelChosen) {
    // Left: 1000 Hz at half scale; right: 1500 Hz at a quarter.
    const int rate = 44100;
    std::vector<double> frames;
    for (int i = 0; i < 2 * rate; ++i) {
        frames.push_back(0.5 * std::sin(2 * M_PI * 1000.0 * i / rate));
        frames.push_back(0.25 * std::sin(2 * M_PI * 1500.0 * i / rate));
    }
    ASSERT_TRUE(WriteSoundFile(dir.file("s.wav"), SF_FORMAT_WAV | SF_FORMAT_PCM_16, rate, 2, frames));

    AudioFileReader left;
    ASSERT_TRUE(left.Open(dir.file("s.wav"), {}, error)) << error;
    const auto l = ReadAll(left);
    EXPECT_NEAR(static_cast<double>(l.size()), 96000.0, 64.0);
    EXPECT_NEAR(ToneAmplitude(l, 1000, 4800, 91200), 64.0, 0.5);
    EXPECT_LT(ToneAmplitude(l, 1500, 4800, 91200), 0.5);

    AudioImportOptions right;
    right.channel = 2;
    AudioFileReader r;
    ASSERT_TRUE(r.Open(dir.file("s.wav"), right, error));
    const auto rs = ReadAll(r);
    EXPECT_NEAR(ToneAmplitude(rs, 1500, 4800, 91200), 32.0, 0.5);
    EXPECT_LT(ToneAmplitude(rs, 1000, 4800, 91200), 0.5);

    AudioImportOptions mix;
    mix.mix = true;
    AudioFileReader m;
    ASSERT_TRUE(m.Open(dir.file("s.wav"), mix, error));
    const auto ms = ReadAll(m);
    EXPECT_NEAR(ToneAmplitude(ms, 1000, 4800, 91200), 32.0, 0.5);
    EXPECT_NEAR(ToneAmplitude(ms, 1500, 4800, 91200), 16.0, 0.5);

    AudioImportOptions third;
    third.channel = 3;
    AudioFileReader none;
    EXPECT_FALSE(none.Open(dir.file("s.wav"), third, error));
    EXPECT_EQ(error, "the file has 2 channels; there is no channel 3");
}

TEST_F(RecordingImport, FlacAndFloatFilesAreReadAndGainScalesBeforeClipping) {
    std::vector<double> tone;
    for (int i = 0; i < 48000; ++i) tone.push_back(0.1 * std::sin(2 * M_PI * 800.0 * i / 48000));
    ASSERT_TRUE(WriteSoundFile(dir.file("t.flac"), SF_FORMAT_FLAC | SF_FORMAT_PCM_16, 48000, 1, tone));
    AudioFileReader flac;
    ASSERT_TRUE(flac.Open(dir.file("t.flac"), {}, error)) << error;
    EXPECT_NE(flac.Description().find("FLAC"), std::string::npos);
    EXPECT_NEAR(ToneAmplitude(ReadAll(flac), 800, 0, 48000), 12.8, 0.3);

    AudioImportOptions loud;
    loud.gainDb = 20.0;  // 0.1 becomes 1.0: the peaks clip
    AudioFileReader f2;
    ASSERT_TRUE(f2.Open(dir.file("t.flac"), loud, error));
    const auto s = ReadAll(f2);
    EXPECT_GT(f2.ClippedSamples(), 0u);
    EXPECT_EQ(*std::max_element(s.begin(), s.end()), 255);

    std::vector<double> over = {0.5, 1.7, -3.0, 0.0};
    ASSERT_TRUE(WriteSoundFile(dir.file("f.wav"), SF_FORMAT_WAV | SF_FORMAT_FLOAT, 48000, 1, over));
    AudioFileReader fl;
    ASSERT_TRUE(fl.Open(dir.file("f.wav"), {}, error));
    EXPECT_EQ(ReadAll(fl), (std::vector<uint8_t>{192, 255, 0, 128}));
    EXPECT_EQ(fl.ClippedSamples(), 2u);
}

TEST_F(RecordingImport, AutoGainLiftsAQuietRecordingToSixteenCountsOfNoise) {
    SynthSpec spec;
    spec.withNoise = true;
    spec.seconds = 20;
    ReceiverAudio audio(spec);
    std::vector<uint8_t> n(audio.TotalSamples());
    audio.Fill(n.data(), n.size());
    std::vector<double> quiet;  // the same noise, 24 dB down, as 16-bit
    for (uint8_t b : n) quiet.push_back((b - 128.0) / 128.0 / 16.0);
    ASSERT_TRUE(WriteSoundFile(dir.file("q.wav"), SF_FORMAT_WAV | SF_FORMAT_PCM_16, 48000, 1, quiet));
    AudioImportOptions autoGain;
    autoGain.autoGain = true;
    AudioFileReader reader;
    ASSERT_TRUE(reader.Open(dir.file("q.wav"), autoGain, error)) << error;
    EXPECT_NEAR(reader.GainDb(), 24.1, 0.5);
    const auto s = ReadAll(reader);
    double sum2 = 0;
    for (uint8_t b : s) sum2 += (b - 128.0) * (b - 128.0);
    EXPECT_NEAR(std::sqrt(sum2 / static_cast<double>(s.size())), 16.0, 0.5);
}

TEST_F(RecordingImport, BrokenInputsAreRefusedOrReportedWithAReason) {
    AudioFileReader r;
    EXPECT_FALSE(r.Open(dir.file("missing.wav"), {}, error));
    EXPECT_NE(error, "");
    std::ofstream(dir.file("empty.wav")).close();
    EXPECT_FALSE(r.Open(dir.file("empty.wav"), {}, error));
    EXPECT_NE(error.find("not an audio file"), std::string::npos) << error;
    std::ofstream(dir.file("text.wav")) << "this is not audio\n";
    EXPECT_FALSE(r.Open(dir.file("text.wav"), {}, error));
    EXPECT_FALSE(r.Open(dir.path(), {}, error));

    // A header with no sample data, and a file cut short of what its header announces.
    std::vector<uint8_t> samples(48000, 128);
    WavFileWriter w;
    ASSERT_TRUE(w.Open(dir.file("whole.wav"), error) && w.Write(samples.data(), samples.size(), error) && w.Close(error));
    std::ifstream in(dir.file("whole.wav"), std::ios::binary);
    std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::ofstream(dir.file("header.wav"), std::ios::binary).write(bytes.data(), 44 - 8);
    EXPECT_FALSE(r.Open(dir.file("header.wav"), {}, error));
    std::ofstream(dir.file("cut.wav"), std::ios::binary).write(bytes.data(), 44 + 20000);
    AudioFileReader cut;
    ASSERT_TRUE(cut.Open(dir.file("cut.wav"), {}, error)) << error;
    EXPECT_EQ(ReadAll(cut).size(), 20000u);
    EXPECT_NE(cut.Error().find("truncated"), std::string::npos) << cut.Error();
    // A header whose data size was never filled in (0) holds no audio as far as it says.
    std::vector<char> zero = bytes;
    std::fill(zero.begin() + 40, zero.begin() + 44, 0);
    std::ofstream(dir.file("zero.wav"), std::ios::binary).write(zero.data(), static_cast<long>(zero.size()));
    EXPECT_FALSE(r.Open(dir.file("zero.wav"), {}, error));
    EXPECT_EQ(error, "no audio in the file");
}

}  // namespace
}  // namespace sorv
