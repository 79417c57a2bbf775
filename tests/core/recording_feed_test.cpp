// The window's "Analyse recording...": a file fed in slices ends in the same rows as the same
// bytes fed at once, and every way it can end short is told to the listener.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>

#include "audio/file/recording_feed.h"
#include "engine/sorvantel_doc.h"
#include "support/cli_runner.h"
#include "support/fake_platform.h"

namespace sorv {
namespace {

SynthSpec Ident70s() {
    return test::IdentSpec("DGU", 1015, 8, 8, 6, 70.0 / 60.0, 5);
}

// Seventy seconds of DGU at +6 dB, written into the folder.
std::string WriteIdent70s(const test::TempDir& dir) {
    const std::string wav = dir.file("night.wav");
    EXPECT_TRUE(test::WriteSynthWav(wav, Ident70s()));
    return wav;
}

TEST(RecordingFeed, SlicesGiveTheRowsOfOneFeedAndEndIdleWithNothingToSay) {
    test::TempDir dir;
    const std::string wav = WriteIdent70s(dir);

    test::FakePlatform platform;
    CSorvantelDoc doc(platform);
    RecordingFeed feed(doc);
    std::string message;
    ASSERT_TRUE(feed.Begin(wav, {}, message)) << message;
    EXPECT_TRUE(feed.Active());
    int slices = 0;
    while (feed.Feed(3)) ++slices;
    EXPECT_EQ(slices, 70 / 3);
    EXPECT_EQ(feed.Outcome(), "");
    EXPECT_EQ(feed.SecondsFed(), 70.0);
    EXPECT_EQ(doc.m_bProcessing, 0);
    EXPECT_EQ(platform.titles.back(), "Sorvantel from KELD - idle");

    test::FakePlatform p2;
    CSorvantelDoc direct(p2);
    ReceiverAudio audio(Ident70s());
    std::vector<uint8_t> all(static_cast<size_t>(audio.TotalSamples()));
    audio.Fill(all.data(), all.size());
    direct.StartRecordingInput();
    direct.ProcessAudioBlock(all.data(), all.size());
    ASSERT_EQ(doc.m_nRows, direct.m_nRows);
    EXPECT_EQ(doc.m_nRows, 70 * 48000 / 1536);
    EXPECT_EQ(std::memcmp(doc.m_power.get(), direct.m_power.get(), static_cast<size_t>(doc.m_nRows) * sizeof doc.m_power[0]), 0);
}

TEST(RecordingFeed, StopEndsTheFeedQuietlyWithTheRowsSoFar) {
    test::TempDir dir;
    const std::string wav = WriteIdent70s(dir);
    test::FakePlatform platform;
    CSorvantelDoc doc(platform);
    RecordingFeed feed(doc);
    std::string message;
    ASSERT_TRUE(feed.Begin(wav, {}, message));
    ASSERT_TRUE(feed.Feed(6));
    doc.OnStop();
    EXPECT_FALSE(feed.Feed(6));
    EXPECT_EQ(feed.Outcome(), "");
    EXPECT_EQ(feed.SecondsFed(), 6.0);
    EXPECT_EQ(doc.m_nRows, 6 * 48000 / 1536);
}

TEST(RecordingFeed, UnreadableFilesAreNamedAndLeaveTheStoreAlone) {
    test::TempDir dir;
    const std::string text = dir.file("notes.wav");
    std::ofstream(text) << "not audio at all\n";
    const std::string empty = dir.file("empty.wav");
    std::ofstream{empty};

    test::FakePlatform platform;
    CSorvantelDoc doc(platform);
    doc.StartRecordingInput();
    std::vector<uint8_t> second(48000, 128);
    doc.ProcessAudioBlock(second.data(), second.size());
    doc.OnStop();
    const int rows = doc.m_nRows;
    ASSERT_GT(rows, 0);

    for (const std::string& path : {text, empty, dir.file("missing.flac"), dir.path()}) {
        RecordingFeed feed(doc);
        std::string message;
        EXPECT_FALSE(feed.Begin(path, {}, message)) << path;
        EXPECT_EQ(message.rfind("Cannot analyse " + path + ": ", 0), 0u) << message;
        EXPECT_GT(message.size(), path.size() + 17) << "the reason is missing: " << message;
        EXPECT_FALSE(feed.Active());
        EXPECT_EQ(doc.m_nRows, rows);
        EXPECT_EQ(doc.m_bProcessing, 0);
    }
}

// A recording a few samples long, and one cut off inside its data: the listener hears why.
TEST(RecordingFeed, ShortAndTruncatedRecordingsSayWhatHappened) {
    test::TempDir dir;
    const std::string tiny = dir.file("tiny.wav");
    SynthSpec spec = Ident70s();
    spec.seconds = 0.01;
    ASSERT_TRUE(test::WriteSynthWav(tiny, spec));
    test::FakePlatform platform;
    CSorvantelDoc doc(platform);
    {
        RecordingFeed feed(doc);
        std::string message;
        ASSERT_TRUE(feed.Begin(tiny, {}, message)) << message;
        EXPECT_FALSE(feed.Feed(5));
        EXPECT_EQ(feed.Outcome(), tiny + " is too short to make a single spectrogram row.");
    }

    // The header promises 70 s; the file stops after about 20.
    const std::string cut = WriteIdent70s(dir);
    std::filesystem::resize_file(cut, 44 + 20 * 48000 + 123);
    RecordingFeed feed(doc);
    std::string message;
    ASSERT_TRUE(feed.Begin(cut, {}, message)) << message;
    while (feed.Feed(10)) {
    }
    EXPECT_GT(doc.m_nRows, 19 * 48000 / 1536);
    EXPECT_EQ(doc.m_bProcessing, 0);
    // The reader notices that the data ends before the header says; the rows up to there stay.
    EXPECT_EQ(feed.Outcome().rfind("Reading " + cut + " stopped after 20 seconds: the file is truncated", 0), 0u)
        << feed.Outcome();
}

TEST(RecordingFeed, ARecordingLongerThanTheStoreFillsItAndSaysSo) {
    test::TempDir dir;
    const std::string wav = dir.file("long.wav");
    {
        // Silence keeps the writing quick; 36 minutes pass the 2097.152 s the store holds.
        WavFileWriter w;
        std::string error;
        ASSERT_TRUE(w.Open(wav, error)) << error;
        std::vector<uint8_t> second(48000, 128);
        for (int s = 0; s < 2160; ++s) ASSERT_TRUE(w.Write(second.data(), second.size(), error)) << error;
        ASSERT_TRUE(w.Close(error)) << error;
    }
    test::FakePlatform platform;
    CSorvantelDoc doc(platform);
    RecordingFeed feed(doc);
    std::string message;
    ASSERT_TRUE(feed.Begin(wav, {}, message)) << message;
    while (feed.Feed(60)) {
    }
    EXPECT_EQ(doc.m_nRows, kMaxRows);
    EXPECT_EQ(doc.m_bProcessing, 0);
    EXPECT_EQ(feed.Outcome(), wav + " is longer than the spectrogram store holds: its first 35.0 of 36.0 minutes were "
                                    "analysed. \"sorvantel-cli analyse\" searches the whole recording in segments.");
}

}  // namespace
}  // namespace sorv
