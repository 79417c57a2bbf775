// Folders that vanish, or become files, while the program runs: the log directory (which also
// takes the recordings and the script's saves) and the folder of a running recording. Tests
// run as root, so the folders are removed and replaced rather than made read-only.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "support/live_doc.h"

namespace sorv::test {
namespace {

namespace fs = std::filesystem;

std::string ReadText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void ReplaceWithFile(const std::string& dir) {
    std::string plain = dir;
    while (!plain.empty() && plain.back() == '/') plain.pop_back();
    fs::remove_all(plain);
    std::ofstream(plain) << "a file where the folder was\n";
}

class VanishingLogFolder : public ::testing::Test {
protected:
    FakePlatform platform;
    CSorvantelDoc doc{platform};
    void SetUp() override {
        doc.m_nRows = 100;
        doc.m_nLine = 64;
        doc.m_strIdent = "DGU";
    }
    std::string LogPath() const { return doc.m_strLogDirectory + "sorvantel231114.log"; }
};

TEST_F(VanishingLogFolder, AFolderRemovedBetweenEntriesIsMadeAgain) {
    doc.WriteLogEntry();
    fs::remove_all(doc.m_strLogDirectory);
    doc.m_strIdent = "KELD";
    doc.WriteLogEntry();
    EXPECT_EQ(ReadText(LogPath()), "20231114 2213 KELD offset 1000.0 Hz; period  9.50 s\r\n");
    EXPECT_TRUE(platform.messages.empty());
}

TEST_F(VanishingLogFolder, AFolderThatBecameAFileSkipsTheEntryAndTheFileIsLeftAlone) {
    doc.WriteLogEntry();
    ReplaceWithFile(doc.m_strLogDirectory);
    doc.WriteLogEntry();  // a log that cannot be opened is passed over, as designed
    std::string plain = doc.m_strLogDirectory;
    plain.pop_back();
    EXPECT_EQ(ReadText(plain), "a file where the folder was\n");
    EXPECT_TRUE(platform.messages.empty());
    // Once the folder is back, entries go on.
    fs::remove(plain);
    doc.WriteLogEntry();
    EXPECT_EQ(ReadText(LogPath()), "20231114 2213 DGU offset 1000.0 Hz; period  9.50 s\r\n");
}

class VanishingRecordingFolder : public ::testing::Test, protected LiveDoc {
protected:
    void SetUp() override {
        Make();
        doc->OnStart();
        doc->OnRecord();
        ASSERT_EQ(doc->m_bRecording, 1);
        ASSERT_TRUE(Second(100));
    }
};

TEST_F(VanishingRecordingFolder, RemovedFolderStopsTheRecordingWithAMessageAndCaptureGoesOn) {
    const std::string wav = doc->m_strWavPath;
    fs::remove_all(doc->m_strLogDirectory);
    ASSERT_TRUE(Second(101));
    EXPECT_EQ(doc->m_bRecording, 0);
    EXPECT_EQ(doc->m_bProcessing, 1);
    ASSERT_EQ(platform.messages.size(), 1u);
    EXPECT_NE(platform.messages[0].find(wav), std::string::npos);
    EXPECT_NE(platform.messages[0].find("is no longer where it was made"), std::string::npos);
    const int rows = doc->m_nRows;
    ASSERT_TRUE(Second(102));
    EXPECT_GT(doc->m_nRows, rows);
    EXPECT_EQ(platform.messages.size(), 1u);
    // Stop afterwards is quiet and leaves the idle title.
    doc->OnStop();
    EXPECT_EQ(platform.title(), "Sorvantel from KELD - idle");
    EXPECT_EQ(platform.messages.size(), 1u);
}

TEST_F(VanishingRecordingFolder, FolderReplacedByAFileStopsTheRecordingAndANewOneSaysWhy) {
    ReplaceWithFile(doc->m_strLogDirectory);
    ASSERT_TRUE(Second(101));
    EXPECT_EQ(doc->m_bRecording, 0);
    ASSERT_EQ(platform.messages.size(), 1u);
    EXPECT_NE(platform.messages[0].find("is no longer where it was made"), std::string::npos);
    // Record again: the file cannot be made there, and the message names it and the reason.
    platform.now += 1;
    doc->OnRecord();
    EXPECT_EQ(doc->m_bRecording, 0);
    ASSERT_EQ(platform.messages.size(), 2u);
    EXPECT_NE(platform.messages[1].find("Cannot create the recording " + doc->m_strLogDirectory), std::string::npos);
    EXPECT_NE(platform.messages[1].find("Not a directory"), std::string::npos);
    EXPECT_EQ(doc->m_bProcessing, 1);
}

TEST_F(VanishingRecordingFolder, AFolderRenamedAwayStopsTheRecordingAndTheMovedFileIsComplete) {
    std::string dir = doc->m_strLogDirectory;
    dir.pop_back();
    const std::string name = fs::path(doc->m_strWavPath).filename().string();
    fs::rename(dir, dir + ".old");
    ASSERT_TRUE(Second(101));
    EXPECT_EQ(platform.messages.size(), 1u);
    EXPECT_EQ(doc->m_bRecording, 0);
    const auto b = ReadFileBytes(dir + ".old/" + name);
    ASSERT_EQ(b.size(), 46u + 48000u);  // the second before the rename, finalised in place
    EXPECT_EQ(Le32(b, 4), 48038u);
    EXPECT_EQ(Le32(b, 42), 48000u);
}

}  // namespace
}  // namespace sorv::test
