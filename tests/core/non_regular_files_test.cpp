// A FIFO that nothing writes to, a device or a directory where a spectrum file, a script or
// the settings file is expected: each reader refuses it at once, with a message where the
// program speaks about that file, instead of blocking for ever.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

#include "automation/spectrum_file.h"
#include "engine/regular_file.h"
#include "engine/sorvantel_doc.h"
#include "support/fake_platform.h"
#include "support/fifo_guard.h"

namespace sorv::test {
namespace {

TEST(RegularFile, OnlyRegularFilesOpenAndEveryRefusalSaysWhy) {
    TempDir dir;
    FifoGuard fifo(dir.file("fifo"));
    ASSERT_TRUE(fifo.Made());
    std::ofstream(dir.file("plain"), std::ios::binary) << "abc";
    struct Case {
        std::string path;
        std::string why;
        bool notRegular;
    } refused[] = {
        {fifo.path(), "is not a regular file (a FIFO)", true},
        {"/dev/null", "is not a regular file (a device)", true},
        {dir.path(), "is a directory", true},
        {dir.file("missing"), "No such file", false},
    };
    for (const Case& c : refused) {
        std::string why;
        bool notRegular = !c.notRegular;
        EXPECT_EQ(OpenRegularFile(c.path, why, &notRegular), nullptr) << c.path;
        EXPECT_EQ(why, c.why);
        EXPECT_EQ(notRegular, c.notRegular) << c.path;
    }
    EXPECT_FALSE(fifo.Blocked());

    // A regular file reads as any stream does, through a link too, and in blocking mode.
    std::filesystem::create_symlink(dir.file("plain"), dir.file("link"));
    for (const char* name : {"plain", "link"}) {
        std::string why = "stale";
        std::FILE* f = OpenRegularFile(dir.file(name), why);
        ASSERT_NE(f, nullptr) << why;
        EXPECT_EQ(why, "");
        char text[8] = {};
        EXPECT_EQ(std::fread(text, 1, sizeof text, f), 3u);
        EXPECT_STREQ(text, "abc");
        std::fclose(f);
    }
}

class NonRegularFiles : public ::testing::Test {
protected:
    FakePlatform platform;
    FifoGuard fifo{platform.dir.file("pipe.svl")};
};

TEST_F(NonRegularFiles, LoadNamesTheFifoAndTheBatchSkipsItSilentlyAndGoesOn) {
    ASSERT_TRUE(fifo.Made());
    CSorvantelDoc doc(platform);
    platform.openAnswers.push_back(fifo.path());
    doc.OnLoad();
    ASSERT_EQ(platform.messages.size(), 1u);
    EXPECT_EQ(platform.messages[0], fifo.path() + " is not a regular file (a FIFO, a device or a directory). "
                                                  "Nothing was loaded.");
    EXPECT_EQ(doc.m_nRows, 0);

    // In a batch the FIFO is skipped without a word, as a file that cannot be opened is, and
    // the file after it is still searched.
    std::unique_ptr<double[][128]> rows(new double[3][128]());
    const std::string good = platform.dir.file("good.svl");
    ASSERT_EQ(WriteSpectrumFile(good, rows.get(), 3), SpectrumFileStatus::Ok);
    platform.messages.clear();
    platform.multiOpenAnswers.push_back(std::vector<std::string>{fifo.path(), good});
    doc.OnBatchAutoSearch();
    EXPECT_TRUE(platform.messages.empty());
    EXPECT_EQ(doc.m_nRows, 3);
    EXPECT_FALSE(fifo.Blocked());
}

TEST_F(NonRegularFiles, AScriptThatIsAFifoIsRefusedByName) {
    ASSERT_TRUE(fifo.Made());
    CSorvantelDoc doc(platform);
    platform.openAnswers.push_back(fifo.path());
    doc.OnScript();
    ASSERT_EQ(platform.messages.size(), 1u);
    EXPECT_EQ(platform.messages[0], "The script " + fifo.path() + " is not a regular file (a FIFO). It was not run.");
    EXPECT_EQ(doc.m_bScriptRunning, 0);
    EXPECT_TRUE(platform.titles.empty());  // nothing was run
    EXPECT_FALSE(fifo.Blocked());

    // A script that is missing still stops without a word, as designed.
    platform.messages.clear();
    platform.openAnswers.push_back(platform.dir.file("missing.txt"));
    doc.OnScript();
    EXPECT_TRUE(platform.messages.empty());
}

TEST_F(NonRegularFiles, ASettingsFileThatIsAFifoLeavesTheDefaultsAndIsReplacedAtExit) {
    std::filesystem::create_directories(std::filesystem::path(platform.settingsPath).parent_path());
    FifoGuard settings(platform.settingsPath);
    ASSERT_TRUE(settings.Made());
    {
        CSorvantelDoc doc(platform);
        ASSERT_EQ(platform.messages.size(), 1u);
        EXPECT_NE(platform.messages[0].find(platform.settingsPath + " is not a regular file (a FIFO)"),
                  std::string::npos)
            << platform.messages[0];
        EXPECT_EQ(doc.m_nWpm, 6);
        EXPECT_EQ(doc.m_strLogDirectory, platform.logDirectory);
        doc.m_nWpm = 12;
    }
    EXPECT_FALSE(settings.Blocked());
    // The settings written at exit took the FIFO's place, so the next start reads them.
    EXPECT_TRUE(std::filesystem::is_regular_file(platform.settingsPath));
    platform.messages.clear();
    CSorvantelDoc again(platform);
    EXPECT_TRUE(platform.messages.empty());
    EXPECT_EQ(again.m_nWpm, 12);
}

}  // namespace
}  // namespace sorv::test
