#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>

#include "support/live_doc.h"

namespace sorv::test {
namespace {

class WavTest : public ::testing::Test, protected LiveDoc {
protected:
    void SetUp() override {
        Make();
        // 2023-11-14 22:13:20 UTC; one hour east of UTC it is 23:13:20 local.
        platform.localOffset = 3600;
        doc->OnStart();
    }
    std::string LogFile(const std::string& name) const { return doc->m_strLogDirectory + name; }

    static void ExpectHeader(const std::vector<uint8_t>& b, uint32_t riffSize, uint32_t dataSize) {
        ASSERT_GE(b.size(), 46u);
        EXPECT_EQ(std::string(b.begin(), b.begin() + 4), "RIFF");
        EXPECT_EQ(Le32(b, 4), riffSize);
        EXPECT_EQ(std::string(b.begin() + 8, b.begin() + 16), "WAVEfmt ");
        EXPECT_EQ(Le32(b, 16), 18u);
        EXPECT_EQ(Le16(b, 20), 1u);
        EXPECT_EQ(Le16(b, 22), 1u);
        EXPECT_EQ(Le32(b, 24), 48000u);
        EXPECT_EQ(Le32(b, 28), 48000u);
        EXPECT_EQ(Le16(b, 32), 1u);
        EXPECT_EQ(Le16(b, 34), 8u);
        EXPECT_EQ(Le16(b, 36), 0u);
        EXPECT_EQ(std::string(b.begin() + 38, b.begin() + 42), "data");
        EXPECT_EQ(Le32(b, 42), dataSize);
    }
};

TEST_F(WavTest, RecordThreeSecondsThenRecordAgainGivesTheExactFile) {
    doc->OnRecord();
    ASSERT_EQ(doc->m_bRecording, 1);
    EXPECT_EQ(doc->m_strWavPath, LogFile("1114231320.wav"));
    ExpectHeader(ReadFileBytes(doc->m_strWavPath), 240038, 240000);  // placeholders until audio arrives

    for (uint8_t v : {100, 150, 200}) ASSERT_TRUE(Second(v));
    doc->OnRecord();
    EXPECT_EQ(doc->m_bRecording, 0);
    EXPECT_EQ(doc->m_bProcessing, 1);
    const auto b = ReadFileBytes(LogFile("1114231320.wav"));
    ASSERT_EQ(b.size(), 46u + 144000u);
    ExpectHeader(b, 144038, 144000);
    EXPECT_EQ(b[46], 100);
    EXPECT_EQ(b[46 + 48000], 150);
    EXPECT_EQ(b.back(), 200);
}

TEST_F(WavTest, SizeFieldsAreCurrentAfterEverySecondSoAKilledRecordingStaysValid) {
    doc->OnRecord();
    ASSERT_TRUE(Second(128));
    ASSERT_TRUE(Second(std::vector<uint8_t>(1000, 128)));
    // Nothing finalised: this is what a killed program leaves on disk.
    const auto b = ReadFileBytes(doc->m_strWavPath);
    ASSERT_EQ(b.size(), 46u + 49000u);
    ExpectHeader(b, 49038, 49000);
}

TEST_F(WavTest, StopFinalisesLikeASecondRecord) {
    doc->OnRecord();
    ASSERT_TRUE(Second(128));
    doc->OnStop();
    EXPECT_EQ(doc->m_bRecording, 0);
    EXPECT_EQ(platform.title(), "Sorvantel from KELD - idle");
    ExpectHeader(ReadFileBytes(doc->m_strWavPath), 48038, 48000);
}

TEST_F(WavTest, TheEndOfTheProgramFinalisesARunningRecording) {
    doc->OnRecord();
    ASSERT_TRUE(Second(128));
    const std::string path = doc->m_strWavPath;
    doc.reset();
    EXPECT_FALSE(platform.waveInLog.open);
    ExpectHeader(ReadFileBytes(path), 48038, 48000);
}

TEST_F(WavTest, NamesCarryTheLocalTimeAndTheCarrierRoundedToTheHertz) {
    struct Case { double carrierKHz; long offset; const char* name; };
    const Case cases[] = {
        {0.0, 3600, "1114231320.wav"},
        {404.0, 0, "1114221320_404000hz.wav"},
        {404.5, -7200, "1114201320_404500hz.wav"},
        {256.4, 7200, "1115001320_256400hz.wav"},  // truncation would give 256399
    };
    for (const Case& c : cases) {
        doc->m_dCarrierKHz = c.carrierKHz;
        platform.localOffset = c.offset;
        doc->OnRecord();
        EXPECT_EQ(doc->m_strWavPath, LogFile(c.name));
        EXPECT_TRUE(std::filesystem::exists(LogFile(c.name))) << c.name;
        doc->OnRecord();
    }
}

TEST_F(WavTest, AnExistingRecordingIsNeverOverwritten) {
    std::filesystem::create_directories(doc->m_strLogDirectory);
    {
        std::FILE* f = std::fopen(LogFile("1114231320.wav").c_str(), "wb");
        std::fputs("last year's recording", f);
        std::fclose(f);
    }
    doc->OnRecord();
    EXPECT_EQ(doc->m_bRecording, 0);
    EXPECT_EQ(doc->m_bProcessing, 1);
    ASSERT_EQ(platform.messages.size(), 1u);
    EXPECT_NE(platform.messages[0].find(LogFile("1114231320.wav")), std::string::npos);
    EXPECT_NE(platform.messages[0].find("already exists"), std::string::npos);
    const auto b = ReadFileBytes(LogFile("1114231320.wav"));
    EXPECT_EQ(std::string(b.begin(), b.end()), "last year's recording");
}

TEST_F(WavTest, AMissingLogDirectoryIsCreated) {
    doc->m_strLogDirectory = platform.dir.path() + "/new/deeper/";
    doc->OnRecord();
    EXPECT_EQ(doc->m_bRecording, 1);
    EXPECT_TRUE(std::filesystem::exists(platform.dir.path() + "/new/deeper/1114231320.wav"));
}

TEST_F(WavTest, ACreateFailureNamesTheFileAndTheReasonAndProcessingGoesOn) {
    const std::string blocker = platform.dir.file("not-a-directory");
    std::FILE* f = std::fopen(blocker.c_str(), "wb");
    std::fclose(f);
    doc->m_strLogDirectory = blocker + "/";
    doc->OnRecord();
    EXPECT_EQ(doc->m_bRecording, 0);
    ASSERT_EQ(platform.messages.size(), 1u);
    EXPECT_EQ(platform.messages[0], "Cannot create the recording " + blocker + "/1114231320.wav: Not a directory");
    ASSERT_TRUE(Second(128));
    EXPECT_EQ(doc->m_nRows, 31);
}

TEST_F(WavTest, AFailingWriteIsReportedOnceStopsRecordingAndKeepsCapturing) {
    doc->OnRecord();
    const std::string path = doc->m_strWavPath;
    // The disk fills up: the next second cannot be written.
    std::fclose(doc->m_fileWav);
    doc->m_fileWav = std::fopen("/dev/full", "wb");
    ASSERT_NE(doc->m_fileWav, nullptr);
    ASSERT_TRUE(Second(128));
    EXPECT_EQ(doc->m_bRecording, 0);
    EXPECT_EQ(doc->m_bInBufferHandler, 0);
    ASSERT_EQ(platform.messages.size(), 1u);
    EXPECT_EQ(platform.messages[0],
              "Error writing the recording " + path + ": No space left on device. The recording has been stopped.");
    ASSERT_TRUE(Second(128));
    EXPECT_EQ(doc->m_capture.index, 2);
    EXPECT_EQ(doc->m_nRows, 62);
}

TEST_F(WavTest, TheRecordingClosesBeforeItsSizeFieldsWouldOverflow) {
    doc->OnRecord();
    const uint64_t limit = 0xFFFFFFFFull - 38;
    doc->m_nWavDataBytes = limit - kBufferBytes;  // exactly one more second still fits
    ASSERT_TRUE(Second(128));
    EXPECT_EQ(doc->m_bRecording, 1);
    EXPECT_EQ(doc->m_nWavDataBytes, limit);
    ASSERT_TRUE(Second(128));
    EXPECT_EQ(doc->m_bRecording, 0);
    ASSERT_EQ(platform.messages.size(), 1u);
    EXPECT_NE(platform.messages[0].find(doc->m_strWavPath), std::string::npos);
    EXPECT_NE(platform.messages[0].find("4 GiB"), std::string::npos);
    const auto b = ReadFileBytes(doc->m_strWavPath);
    EXPECT_EQ(Le32(b, 4), 0xFFFFFFFFu);
    EXPECT_EQ(Le32(b, 42), limit);
}

TEST_F(WavTest, LoranModeRecordsEverySampleToo) {
    doc->OnStop();
    doc->OnLoranMode();
    doc->OnStart();
    doc->OnRecord();
    ASSERT_TRUE(Second(140));
    doc->OnRecord();
    const auto b = ReadFileBytes(doc->m_strWavPath);
    ASSERT_EQ(b.size(), 46u + 48000u);
    EXPECT_EQ(b[46 + 47999], 140);
    EXPECT_EQ(doc->m_nRows, 0);
}

}  // namespace
}  // namespace sorv::test
