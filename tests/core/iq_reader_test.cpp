// Reading SDR I/Q recordings: the samples at full scale 1, the centre and start from where the
// file keeps them, and a clear refusal (naming the file and the step) of every header that is
// damaged, mislabelled or not an I/Q recording at all.
#include <gtest/gtest.h>
#include <sndfile.h>
#include <sys/stat.h>

#include <cmath>
#include <limits>

#include "audio/file/iq_recording.h"
#include "support/fake_platform.h"
#include "support/wav_bytes.h"

namespace sorv {
namespace {

using test::WavBytes;

std::vector<std::complex<float>> ReadAll(IqSource& s) {
    std::vector<std::complex<float>> all, block(7);  // an odd block size crosses every boundary
    while (const size_t n = s.Read(block.data(), block.size())) all.insert(all.end(), block.begin(), block.begin() + n);
    return all;
}

std::unique_ptr<IqSource> Open(const std::string& path, std::string& message, IqOpenOptions options = {}) {
    return OpenIqRecording(path, options, message);
}

// Expects a refusal whose message names the file and holds the given words.
void ExpectRefused(const std::string& path, const std::string& words, IqOpenOptions options = {}) {
    std::string message;
    EXPECT_EQ(OpenIqRecording(path, options, message), nullptr) << path;
    EXPECT_EQ(message.rfind(path + ": ", 0), 0u) << message;
    EXPECT_NE(message.find(words), std::string::npos) << message;
}

TEST(IqReader, SixteenBitWavWithAuxiGivesSamplesCentreAndStart) {
    test::TempDir dir;
    const std::string path = dir.file("band.wav");
    WavBytes w;
    w.Fmt(1, 2, 192000, 16).Chunk("auxi", WavBytes::Auxi(2024, 3, 5, 21, 15, 30, 404000, 192000));
    w.Chunk("data", WavBytes::Pcm16({32767, -32768, 16384, 0, -8192, 1}));
    ASSERT_TRUE(w.Write(path));

    std::string message;
    auto s = Open(path, message, {1000.0, {}, {}});  // the auxi chunk beats the option
    ASSERT_TRUE(s) << message;
    const IqStreamInfo& info = s->Info();
    EXPECT_EQ(info.sampleRate, 192000.0);
    EXPECT_EQ(info.centreHz, 404000.0);
    EXPECT_EQ(info.centreSource, "auxi chunk");
    ASSERT_TRUE(info.startUtc.has_value());
    EXPECT_EQ(*info.startUtc, 1709673330);  // 2024-03-05 21:15:30 UTC
    EXPECT_EQ(info.startSource, "auxi chunk");
    EXPECT_EQ(info.totalSamples, 3u);
    EXPECT_EQ(info.description, "WAV, 16-bit, 192000 Hz");
    const auto all = ReadAll(*s);
    ASSERT_EQ(all.size(), 3u);
    EXPECT_EQ(all[0], std::complex<float>(32767 / 32768.0f, -1.0f));
    EXPECT_EQ(all[1], std::complex<float>(0.5f, 0.0f));
    EXPECT_EQ(all[2], std::complex<float>(-0.25f, 1 / 32768.0f));
    EXPECT_EQ(s->Error(), "");
    EXPECT_EQ(s->Read(nullptr, 0), 0u);
}

// Writes two-channel samples through libsndfile in the given subformat.
void WriteSndfile(const std::string& path, int subformat, int rate, const std::vector<float>& interleaved) {
    SF_INFO info{};
    info.samplerate = rate;
    info.channels = 2;
    info.format = SF_FORMAT_WAV | subformat;
    SNDFILE* f = sf_open(path.c_str(), SFM_WRITE, &info);
    ASSERT_NE(f, nullptr) << sf_strerror(nullptr);
    sf_writef_float(f, interleaved.data(), static_cast<sf_count_t>(interleaved.size() / 2));
    sf_close(f);
}

TEST(IqReader, TwentyFourBitAndFloatSamplesAtFullScaleOneWithNonNumbersSilenced) {
    test::TempDir dir;
    const std::string p24 = dir.file("rx_404kHz.wav");
    WriteSndfile(p24, SF_FORMAT_PCM_24, 96000, {0.5f, -0.25f, 0.999f, -1.0f});
    std::string message;
    auto s = Open(p24, message);
    ASSERT_TRUE(s) << message;
    EXPECT_EQ(s->Info().description, "WAV, 24-bit, 96000 Hz");
    EXPECT_EQ(s->Info().centreHz, 404000.0);
    EXPECT_EQ(s->Info().centreSource, "file name");
    auto all = ReadAll(*s);
    ASSERT_EQ(all.size(), 2u);
    EXPECT_NEAR(all[0].real(), 0.5f, 1e-6);
    EXPECT_NEAR(all[0].imag(), -0.25f, 1e-6);
    EXPECT_NEAR(all[1].real(), 0.999f, 1e-6);
    EXPECT_NEAR(all[1].imag(), -1.0f, 1e-6);

    const std::string pf = dir.file("float.wav");
    const float nan = std::numeric_limits<float>::quiet_NaN(), inf = std::numeric_limits<float>::infinity();
    WriteSndfile(pf, SF_FORMAT_FLOAT, 2400000, {0.125f, nan, inf, -0.75f});
    s = Open(pf, message, {7000.0, {}, {}});
    ASSERT_TRUE(s) << message;
    EXPECT_EQ(s->Info().description, "WAV, 32-bit float, 2400000 Hz");
    EXPECT_EQ(s->Info().centreHz, 7000000.0);
    EXPECT_EQ(s->Info().centreSource, "--centre-khz");
    all = ReadAll(*s);
    ASSERT_EQ(all.size(), 2u);
    EXPECT_EQ(all[0], std::complex<float>(0.125f, 0.0f));
    EXPECT_EQ(all[1], std::complex<float>(0.0f, -0.75f));
}

TEST(IqReader, FrequenciesInFileNamesTheWaySdrProgramsWriteThem) {
    EXPECT_EQ(CentreFromFileName("HDSDR_20240305_211530Z_404kHz_RF.wav"), 404000.0);
    EXPECT_EQ(CentreFromFileName("band_0.404MHz.wav"), 404000.0);
    EXPECT_EQ(CentreFromFileName("SDRSharp_20170527_003520Z_145900000Hz_IQ.wav"), 145900000.0);
    EXPECT_EQ(CentreFromFileName("night-1.5MHZ.cu8"), 1500000.0);
    EXPECT_EQ(CentreFromFileName("x_404.5khz.wav"), 404500.0);
    // Not frequencies: no separator before, letters after, nothing a receiver tunes to.
    EXPECT_FALSE(CentreFromFileName("rec404kHz.wav"));
    EXPECT_FALSE(CentreFromFileName("rec_404kHzx.wav"));
    EXPECT_FALSE(CentreFromFileName("rec_0kHz.wav"));
    EXPECT_FALSE(CentreFromFileName("rec_404.wav"));
    EXPECT_FALSE(CentreFromFileName("rec_5000MHz.wav"));

    test::TempDir dir;
    const std::string path = dir.file("plain.wav");
    ASSERT_TRUE(WavBytes().Fmt(1, 2, 192000, 16).Chunk("data", WavBytes::Pcm16({1, 2})).Write(path));
    ExpectRefused(path, "finding the centre frequency: the file has no auxi chunk and its name gives no "
                        "frequency: give --centre-khz");
    ExpectRefused(path, "taking --centre-khz", {0.0, {}, {}});
}

TEST(IqReader, NonsenseAuxiChunksAreRefusedNamingTheFileAndTheFault) {
    test::TempDir dir;
    const auto withAuxi = [&dir](const std::string& name, const std::vector<uint8_t>& auxi, int64_t declared = -1) {
        const std::string path = dir.file(name);
        WavBytes w;
        w.Fmt(1, 2, 192000, 16).Chunk("data", WavBytes::Pcm16({1, 2, 3, 4})).Chunk("auxi", auxi, declared);
        EXPECT_TRUE(w.Write(path));
        return path;
    };
    ExpectRefused(withAuxi("feb30.wav", WavBytes::Auxi(2023, 2, 30, 12, 0, 0, 404000)),
                  "reading the auxi chunk: the auxi chunk's start time 2023-02-30 12:00:00 is not a date and time");
    ExpectRefused(withAuxi("hour25.wav", WavBytes::Auxi(2023, 5, 1, 25, 0, 0, 404000)), "is not a date and time");
    ExpectRefused(withAuxi("zeros.wav", std::vector<uint8_t>(68, 0)), "0000-00-00 00:00:00 is not a date");
    ExpectRefused(withAuxi("centre0.wav", WavBytes::Auxi(2023, 5, 1, 12, 0, 0, 0)),
                  "centre frequency of 0 Hz is not one a receiver tunes to");
    ExpectRefused(withAuxi("centreff.wav", WavBytes::Auxi(2023, 5, 1, 12, 0, 0, 0xFFFFFFFFu)),
                  "centre frequency of 4294967295 Hz");
    ExpectRefused(withAuxi("short.wav", std::vector<uint8_t>(20, 1)), "is 20 bytes long, too short");
    // The chunk claims more than the file holds: the last chunk runs past the end.
    ExpectRefused(withAuxi("past.wav", WavBytes::Auxi(2023, 5, 1, 12, 0, 0, 404000), 400), "runs past the end");
    // With --centre-khz too: a chunk that lies about the recording is not half believed.
    ExpectRefused(withAuxi("feb30b.wav", WavBytes::Auxi(2023, 2, 30, 12, 0, 0, 404000)), "auxi chunk",
                  {404.0, {}, {}});
}

TEST(IqReader, FilesThatAreNotTwoChannelIqRecordingsAreRefusedWithTheReason) {
    test::TempDir dir;
    const auto write = [&dir](const std::string& name, WavBytes& w) {
        const std::string path = dir.file(name);
        EXPECT_TRUE(w.Write(path));
        return path;
    };
    const std::vector<uint8_t> data = WavBytes::Pcm16({1, 2, 3, 4});
    const IqOpenOptions centre{404.0, {}, {}};
    WavBytes mono, slow, fast, mulaw, nodata, lies;
    mono.Fmt(1, 1, 192000, 16).Chunk("data", data);
    slow.Fmt(1, 2, 44100, 16).Chunk("data", data);
    fast.Fmt(1, 2, 3000000, 16).Chunk("data", data);
    mulaw.Fmt(7, 2, 192000, 8).Chunk("data", data);
    nodata.Fmt(1, 2, 192000, 16);
    lies.Chunk("fmt ", {1, 0, 2, 0, 0, 0xEE, 2, 0, 0, 0, 0, 0, 6, 0, 16, 0}).Chunk("data", data);  // 6-byte frames
    ExpectRefused(write("mono.wav", mono), "reading the format chunk: it has 1 channel; an I/Q recording has two", centre);
    ExpectRefused(write("slow.wav", slow), "rate of 44100 Hz is outside the 48 kHz to 2.4 MHz", centre);
    ExpectRefused(write("fast.wav", fast), "rate of 3000000 Hz", centre);
    ExpectRefused(write("mulaw.wav", mulaw), "samples are of format 7", centre);
    ExpectRefused(write("nodata.wav", nodata), "finding the samples: the file has no data chunk", centre);
    ExpectRefused(write("lies.wav", lies), "inconsistent: 6-byte frames", centre);

    const std::string text = dir.file("notes.wav");
    ASSERT_TRUE(WavBytes::WriteFile(text, {'h', 'e', 'l', 'l', 'o', ' ', 'w', 'o', 'r', 'l', 'd', '!', '\n'}));
    ExpectRefused(text, "reading the header: not a WAV or RF64 file", centre);
    ExpectRefused(dir.file("missing.wav"), "opening the file: No such file", centre);
    // A FIFO would block the open for ever.
    const std::string fifo = dir.file("pipe.wav");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    ExpectRefused(fifo, "not a regular file", centre);
}

TEST(IqReader, ATruncatedFileDeliversWhatItHoldsThenSaysSo) {
    test::TempDir dir;
    const IqOpenOptions centre{404.0, {}, {}};
    const std::string cut = dir.file("cut.wav");
    WavBytes w;
    w.Fmt(1, 2, 48000, 16).Chunk("data", WavBytes::Pcm16(std::vector<int16_t>(800, 100)), 4000 * 4);
    ASSERT_TRUE(w.Write(cut));
    std::string message;
    auto s = Open(cut, message, centre);
    ASSERT_TRUE(s) << message;
    EXPECT_EQ(s->Info().totalSamples, 400u);
    EXPECT_EQ(s->Error(), "");  // said when the reading gets there
    EXPECT_EQ(ReadAll(*s).size(), 400u);
    EXPECT_EQ(s->Error(), cut + ": the file is truncated: its header announces 0.1 s of samples, it holds 0.0 s");

    // Half a frame at the end is a cut too.
    const std::string half = dir.file("half.wav");
    std::vector<uint8_t> odd = WavBytes::Pcm16({1, 2, 3, 4});
    odd.pop_back();
    ASSERT_TRUE(WavBytes().Fmt(1, 2, 48000, 16).Chunk("data", odd).Write(half));
    s = Open(half, message, centre);
    ASSERT_TRUE(s) << message;
    EXPECT_EQ(ReadAll(*s).size(), 1u);
    EXPECT_NE(s->Error().find("truncated"), std::string::npos) << s->Error();

    // The placeholder size of a recorder that never finished claims nothing.
    const std::string open = dir.file("unfinished.wav");
    WavBytes u;
    u.Fmt(1, 2, 48000, 16).Chunk("data", WavBytes::Pcm16(std::vector<int16_t>(64, 7)), 0xFFFFFFFF);
    ASSERT_TRUE(u.Write(open, 0xFFFFFFFF));
    s = Open(open, message, centre);
    ASSERT_TRUE(s) << message;
    EXPECT_EQ(ReadAll(*s).size(), 32u);
    EXPECT_EQ(s->Error(), "");
}

TEST(IqReader, RawFilesAtTheGivenRateWithTheirOwnScales) {
    test::TempDir dir;
    const IqOpenOptions given{404.0, 250000.0, {}};
    const std::string cu8 = dir.file("night.cu8");
    ASSERT_TRUE(WavBytes::WriteFile(cu8, {0, 255, 127, 128}));
    std::string message;
    auto s = Open(cu8, message, given);
    ASSERT_TRUE(s) << message;
    EXPECT_EQ(s->Info().description, "raw cu8 (unsigned 8-bit), 250000 Hz");
    EXPECT_EQ(s->Info().sampleRate, 250000.0);
    auto all = ReadAll(*s);
    ASSERT_EQ(all.size(), 2u);
    EXPECT_EQ(all[0], std::complex<float>(-1.0f, 1.0f));
    EXPECT_EQ(all[1], std::complex<float>(-0.5f / 127.5f, 0.5f / 127.5f));

    const std::string cs16 = dir.file("night.cs16");
    ASSERT_TRUE(WavBytes::WriteFile(cs16, WavBytes::Pcm16({-32768, 16384, 1, -1})));
    s = Open(cs16, message, given);
    ASSERT_TRUE(s) << message;
    all = ReadAll(*s);
    ASSERT_EQ(all.size(), 2u);
    EXPECT_EQ(all[0], std::complex<float>(-1.0f, 0.5f));
    EXPECT_EQ(all[1], std::complex<float>(1 / 32768.0f, -1 / 32768.0f));

    // A float file cut in the middle of a pair: the whole pairs, then the fault.
    const std::string cf32 = dir.file("night_404kHz.cf32");
    const float v[5] = {0.25f, -0.5f, std::numeric_limits<float>::quiet_NaN(), 0.75f, 1.0f};
    std::vector<uint8_t> bytes(sizeof v);
    std::memcpy(bytes.data(), v, sizeof v);
    ASSERT_TRUE(WavBytes::WriteFile(cf32, bytes));
    s = Open(cf32, message, {{}, 1e6, {}});
    ASSERT_TRUE(s) << message;
    EXPECT_EQ(s->Info().centreSource, "file name");
    EXPECT_EQ(s->Info().totalSamples, 2u);
    all = ReadAll(*s);
    ASSERT_EQ(all.size(), 2u);
    EXPECT_EQ(all[0], std::complex<float>(0.25f, -0.5f));
    EXPECT_EQ(all[1], std::complex<float>(0.0f, 0.75f));
    EXPECT_EQ(s->Error(), cf32 + ": the file ends in the middle of an I/Q sample (4 stray bytes): cut short, or not "
                                 "raw cf32 (32-bit float) samples");

    ExpectRefused(cu8, "reading raw samples: a raw recording needs its rate: give --rate", {404.0, {}, {}});
    ExpectRefused(cu8, "taking --rate: the rate of 44100 Hz is outside", {404.0, 44100.0, {}});
    ExpectRefused(cu8, "give --centre-khz", {{}, 250000.0, {}});
    const std::string empty = dir.file("empty.cs16"), one = dir.file("one.cf32");
    ASSERT_TRUE(WavBytes::WriteFile(empty, {}));
    ASSERT_TRUE(WavBytes::WriteFile(one, {1, 2, 3}));
    ExpectRefused(empty, "finding the samples: the file holds 0 bytes, not one whole I/Q sample", given);
    ExpectRefused(one, "holds 3 bytes", given);
}

TEST(IqReader, ClassificationTellsIqRecordingsFromReceiverAudio) {
    test::TempDir dir;
    const std::vector<uint8_t> data = WavBytes::Pcm16({1, 2, 3, 4});
    const auto write = [&](const std::string& name, uint16_t channels, uint32_t rate, bool auxi) {
        WavBytes w;
        w.Fmt(1, channels, rate, 16);
        if (auxi) w.Chunk("auxi", WavBytes::Auxi(2024, 1, 1, 0, 0, 0, 404000));
        w.Chunk("data", data);
        EXPECT_TRUE(w.Write(dir.file(name)));
        return dir.file(name);
    };
    const std::string stereo = write("concert.wav", 2, 48000, false);
    EXPECT_FALSE(ClassifyRecording(stereo, false).iq);
    EXPECT_EQ(ClassifyRecording(stereo, true).reason, "--iq");
    EXPECT_EQ(ClassifyRecording(write("a.wav", 2, 48000, true), false).reason, "an auxi chunk");
    EXPECT_EQ(ClassifyRecording(write("b.wav", 2, 250000, false), false).reason, "two channels at 250000 Hz");
    EXPECT_FALSE(ClassifyRecording(write("c.wav", 2, 192000, false), false).iq);  // a sound card's top rate
    EXPECT_TRUE(ClassifyRecording(write("d_404kHz.wav", 2, 96000, false), false).iq);
    EXPECT_TRUE(ClassifyRecording(write("night_IQ.wav", 2, 48000, false), false).iq);
    EXPECT_FALSE(ClassifyRecording(write("liquid.wav", 2, 48000, false), false).iq);  // "iq" inside a word
    // One channel is audio whatever the rest says, and so is the program's own recording.
    EXPECT_FALSE(ClassifyRecording(write("m_404kHz.wav", 1, 250000, true), false).iq);
    EXPECT_FALSE(ClassifyRecording(write("1206221530_404000hz.wav", 1, 48000, false), false).iq);
    EXPECT_EQ(ClassifyRecording(dir.file("x.CU8"), false).reason, "raw .cu8 samples");
    EXPECT_FALSE(ClassifyRecording(dir.file("missing.wav"), false).iq);
}

}  // namespace
}  // namespace sorv
