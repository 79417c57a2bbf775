// A disk that fills up under a running program: during a recording, during Save, during a log
// append and during the settings write at exit. The program keeps running, what was saved
// before stays intact, and where it can say so the user is told which file and which step.
// Each case runs in a child process with a file-size limit (support/file_size_limit.h); the
// test then reads what the child left on disk.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "automation/spectrum_file.h"
#include "support/file_size_limit.h"
#include "support/live_doc.h"

namespace sorv::test {
namespace {

// A check inside the child: prints what failed and leaves with its code.
#define CHILD_CHECK(condition, code)                                                   \
    do {                                                                               \
        if (!(condition)) {                                                            \
            std::fprintf(stderr, "child check %d failed: %s\n", code, #condition);     \
            return code;                                                               \
        }                                                                              \
    } while (0)

std::string ReadText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::vector<std::string> FilesIn(const std::string& dir) {
    std::vector<std::string> names;
    std::error_code ec;
    for (const auto& e : std::filesystem::directory_iterator(dir, ec)) names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

bool Mentions(const std::vector<std::string>& messages, const std::string& what) {
    for (const auto& m : messages)
        if (m.find(what) != std::string::npos) return true;
    return false;
}

// Records eight seconds of audio onto a disk with room for `room` bytes of file, then checks
// that the program went on and that the file is a valid WAV of exactly what it holds.
void RecordOntoAFullDisk(rlim_t room) {
    LiveDoc live;
    live.Make();
    live.doc->OnStart();
    const std::string dir = live.doc->m_strLogDirectory;
    const int rc = RunWithFileSizeLimit(room, [&] {
        CSorvantelDoc& doc = *live.doc;
        doc.OnRecord();
        CHILD_CHECK(doc.m_bRecording == 1, 10);
        for (int s = 0; s < 8; ++s) CHILD_CHECK(live.Second(static_cast<uint8_t>(100 + s)), 11);
        // The recording stopped at the full disk with one message naming the file; capture
        // went on through all eight seconds.
        CHILD_CHECK(doc.m_bRecording == 0, 12);
        CHILD_CHECK(doc.m_bProcessing == 1, 13);
        CHILD_CHECK(doc.m_nRows >= 8 * 31, 14);
        CHILD_CHECK(live.platform.messages.size() == 1, 15);
        CHILD_CHECK(Mentions(live.platform.messages, doc.m_strWavPath), 16);
        CHILD_CHECK(Mentions(live.platform.messages, "The recording has been stopped."), 17);
        CHILD_CHECK(live.Second(200), 18);  // and keeps going
        return 0;
    });
    ASSERT_EQ(rc, 0);

    const auto files = FilesIn(dir);
    ASSERT_EQ(files.size(), 1u);
    const auto b = ReadFileBytes(dir + files[0]);
    ASSERT_EQ(b.size(), room);
    const uint32_t data = static_cast<uint32_t>(b.size() - 46);
    EXPECT_EQ(std::string(b.begin(), b.begin() + 4), "RIFF");
    EXPECT_EQ(Le32(b, 4), data + 38);
    EXPECT_EQ(std::string(b.begin() + 38, b.begin() + 42), "data");
    EXPECT_EQ(Le32(b, 42), data) << "the header must describe exactly the bytes on disk";
    // Every byte on disk is the audio of its second, in order.
    for (uint32_t i = 0; i < data; ++i) ASSERT_EQ(b[46 + i], 100 + i / 48000) << "at data byte " << i;
}

TEST(DiskFull, DuringARecordingTheFileSoFarStaysAValidWavAndCaptureGoesOn) {
    RecordOntoAFullDisk(46 + 5 * 48000 + 24000);  // the sixth second fits halfway
}

// The C library takes the end of a second into its buffer and counts it as written; when the
// disk is full just short of the second's end, those bytes never arrive. The header must
// still describe what the file holds, not what was counted.
TEST(DiskFull, JustShortOfASecondsEndTheHeaderCountsOnlyWhatArrived) {
    RecordOntoAFullDisk(46 + 5 * 48000 - 8);
}

TEST(DiskFull, DuringSaveTheOldFileSurvivesAndTheUserIsToldWhichFile) {
    LiveDoc live;
    CSorvantelDoc& doc = live.Make();
    doc.m_nRows = 3;
    for (int l = 0; l < kLines; ++l) doc.m_power[1][l] = l;
    const std::string path = live.platform.dir.file("night.svl");
    ASSERT_EQ(WriteSpectrumFile(path, doc.m_power.get(), doc.m_nRows), SpectrumFileStatus::Ok);
    const std::string before = ReadText(path);

    const int rc = RunWithFileSizeLimit(512 * 1024, [&] {
        doc.m_nRows = 2000;  // 2 MB: more than the disk has room for
        live.platform.saveAnswers.push_back(path);
        doc.OnSave();
        CHILD_CHECK(live.platform.messages.size() == 1, 20);
        CHILD_CHECK(Mentions(live.platform.messages, path), 21);
        CHILD_CHECK(Mentions(live.platform.messages, "while writing"), 22);
        CHILD_CHECK(doc.m_nRows == 2000, 23);
        return 0;
    });
    ASSERT_EQ(rc, 0);
    EXPECT_EQ(ReadText(path), before);
    // No half-written temporary is left beside it.
    EXPECT_EQ(FilesIn(live.platform.dir.path()), (std::vector<std::string>{"config", "night.svl"}));
}

TEST(DiskFull, DuringAScriptsSaveTheUserIsToldAndNoPartFileIsLeft) {
    FakePlatform platform;
    CSorvantelDoc doc(platform);
    doc.m_nRows = 2000;
    const std::string script = platform.dir.file("night.txt");
    std::ofstream(script) << "save\ncarrier 404\n";
    const int rc = RunWithFileSizeLimit(512 * 1024, [&] {
        platform.openAnswers.push_back(script);
        doc.OnScript();
        // The message names the file; the script goes on to its end.
        CHILD_CHECK(platform.messages.size() == 1, 50);
        CHILD_CHECK(Mentions(platform.messages, doc.m_strLogDirectory + "sorvantel_20231114221320.svl"), 51);
        CHILD_CHECK(doc.m_dCarrierKHz == 404.0, 52);
        CHILD_CHECK(platform.title() == "Sorvantel from KELD - script ended", 53);
        return 0;
    });
    ASSERT_EQ(rc, 0);
    EXPECT_TRUE(FilesIn(doc.m_strLogDirectory).empty());
}

class LogDiskFull : public ::testing::Test {
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

TEST_F(LogDiskFull, AnAppendThatDoesNotFitLeavesTheEarlierEntriesWholeAndSaysSo) {
    doc.WriteLogEntry();
    const std::string first = ReadText(LogPath());
    ASSERT_EQ(first, "20231114 2213 DGU offset 1000.0 Hz; period  9.50 s\r\n");

    const rlim_t room = first.size() + 20;  // the next entry fits only in part
    const int rc = RunWithFileSizeLimit(room, [&] {
        doc.m_strIdent = "KELD";
        doc.WriteLogEntry();
        CHILD_CHECK(platform.messages.size() == 1, 30);
        CHILD_CHECK(Mentions(platform.messages, LogPath()), 31);
        CHILD_CHECK(Mentions(platform.messages, "not logged"), 32);
        // A second failure in a row is not reported again: an unattended search would
        // otherwise stack up message boxes all night.
        doc.WriteLogEntry();
        CHILD_CHECK(platform.messages.size() == 1, 33);
        return 0;
    });
    ASSERT_EQ(rc, 0);
    // No broken line for later entries to run on from: the file is as it was.
    EXPECT_EQ(ReadText(LogPath()), first);
    doc.m_strIdent = "AB";
    doc.WriteLogEntry();
    EXPECT_EQ(ReadText(LogPath()), first + "20231114 2213 AB  offset 1000.0 Hz; period  9.50 s\r\n");
}

TEST(DiskFull, DuringTheSettingsWriteAtExitThePreviousSettingsSurvive) {
    FakePlatform platform;
    {
        CSorvantelDoc doc(platform);
        doc.m_nWpm = 12;
        doc.m_dAutoToneMin = 850.0;
    }  // written at exit
    const std::string before = ReadText(platform.settingsPath);
    ASSERT_NE(before.find("\"Wpm\"=dword:0000000c"), std::string::npos);

    const int rc = RunWithFileSizeLimit(100, [&] {
        CSorvantelDoc doc(platform);
        CHILD_CHECK(doc.m_nWpm == 12 && doc.m_dAutoToneMin == 850.0, 40);
        doc.m_nWpm = 20;
        return 0;  // the destructor's write meets the full disk
    });
    ASSERT_EQ(rc, 0);
    EXPECT_EQ(ReadText(platform.settingsPath), before);
    EXPECT_EQ(FilesIn(std::filesystem::path(platform.settingsPath).parent_path().string()),
              (std::vector<std::string>{"settings.reg"}));
    CSorvantelDoc again(platform);
    EXPECT_EQ(again.m_nWpm, 12);
}

}  // namespace
}  // namespace sorv::test
