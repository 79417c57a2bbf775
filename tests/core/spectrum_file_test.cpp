#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>

#include "automation/spectrum_file.h"
#include "engine/sorvantel_doc.h"
#include "support/fake_platform.h"

namespace sorv::test {
namespace {

namespace fs = std::filesystem;

std::string ReadBytes(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(f), {});
}

void WriteBytes(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

std::string Header(int32_t count) {
    std::string s(4, '\0');
    std::memcpy(s.data(), &count, 4);
    return s;
}

class SpectrumFileTest : public ::testing::Test {
protected:
    FakePlatform platform;
    CSorvantelDoc doc{platform};

    void FillRows(int rows, double base) {
        for (int r = 0; r < rows; ++r)
            for (int l = 0; l < 128; ++l) doc.m_power[r][l] = base + r * 128 + l + 0.125;
        doc.m_nRows = rows;
    }
    std::string Saved(const std::string& name) {
        const std::string path = platform.dir.file(name);
        platform.saveAnswers.push_back(path);
        doc.OnSave();
        return path;
    }
    void Load(const std::string& path) {
        platform.openAnswers.push_back(path);
        doc.OnLoad();
    }
};

TEST_F(SpectrumFileTest, NameCarriesUtcTimeAndCarrierSuffix) {
    CalendarTime t{};
    t.tm_year = 109, t.tm_mon = 2, t.tm_mday = 15, t.tm_hour = 14, t.tm_min = 25, t.tm_sec = 30;
    EXPECT_EQ(SpectrumFileName(t, 0.0), "sorvantel_20090315142530.svl");
    EXPECT_EQ(SpectrumFileName(t, 404.0), "sorvantel_20090315142530_404_0.svl");
    EXPECT_EQ(SpectrumFileName(t, 85.5), "sorvantel_20090315142530_85_5.svl");
    EXPECT_EQ(SpectrumFileName(t, 404.7), "sorvantel_20090315142530_404_7.svl");
    EXPECT_EQ(SpectrumFileName(t, 0.0).size(), 28u);

    // The dialog proposes the name from the platform's UTC clock, not local time.
    platform.now = 1237127130;  // 2009-03-15 14:25:30 UTC
    platform.localOffset = 3600;
    doc.m_dCarrierKHz = 404.0;
    FillRows(1, 0.0);
    platform.saveAnswers.push_back(std::nullopt);
    doc.OnSave();
    ASSERT_EQ(platform.fileDialogs.size(), 1u);
    EXPECT_EQ(platform.fileDialogs[0].initialName, "sorvantel_20090315142530_404_0.svl");
    EXPECT_EQ(platform.fileDialogs[0].defaultSuffix, "svl");
}

TEST_F(SpectrumFileTest, NameRecognitionIsCaseSensitiveAndNeedsTheCarrier) {
    auto r = RecogniseSpectrumFileName("/data/night/sorvantel_20090315142530_404_0.svl");
    ASSERT_TRUE(r);
    EXPECT_EQ(r->carrierKHz, 404.0);
    EXPECT_EQ(r->timeStamp, "20090315 1425 ");
    EXPECT_EQ(RecogniseSpectrumFileName("sorvantel_20090315142530_404_7.svl")->carrierKHz, 404.0);
    EXPECT_FALSE(RecogniseSpectrumFileName("Sorvantel_20090315142530_404_0.svl"));
    EXPECT_FALSE(RecogniseSpectrumFileName("sorvantel_20090315142530_404_0.SVL"));
    EXPECT_FALSE(RecogniseSpectrumFileName("sorvantel_20090315142530.svl"));     // 28 characters
    EXPECT_FALSE(RecogniseSpectrumFileName("sorvantel_20090315142530_abc.svl"));  // no number
    EXPECT_FALSE(RecogniseSpectrumFileName("/sorvantel_x/20090315142530_404_0.svl"));
}

TEST_F(SpectrumFileTest, SavedRowsAreFourBytesOfCountThenRawDoubles) {
    FillRows(1, 1000.0);
    const std::string path = Saved("one.svl");
    const std::string bytes = ReadBytes(path);
    ASSERT_EQ(bytes.size(), 1028u);
    EXPECT_EQ(bytes.substr(0, 4), Header(1));
    EXPECT_EQ(std::memcmp(bytes.data() + 4, doc.m_power[0], 1024), 0);
    EXPECT_TRUE(platform.messages.empty());
    EXPECT_FALSE(fs::exists(path + ".part"));

    // Nothing to save: no dialog.
    doc.m_nRows = 0;
    doc.OnSave();
    EXPECT_EQ(platform.fileDialogs.size(), 1u);
}

TEST_F(SpectrumFileTest, RoundTripIsBitIdenticalAndSetsTitlesModeTimersAndLevels) {
    FillRows(300, 1e6);
    doc.m_power[7][3] = 0.0;
    doc.m_power[7][4] = 400.0;
    const std::string path = Saved("sorvantel_20090315142530_85_5.svl");
    const std::string original = ReadBytes(path);

    CSorvantelDoc other(platform);
    platform.openAnswers.push_back(path);
    other.OnLoad();  // no rows yet: no question
    EXPECT_TRUE(platform.messages.empty());
    ASSERT_EQ(other.m_nRows, 300);
    EXPECT_EQ(std::memcmp(other.m_power[0], doc.m_power[0], 300 * 1024), 0);
    EXPECT_EQ(other.m_dCarrierKHz, 85.0);
    EXPECT_EQ(other.m_strTimeStamp, "20090315 1425 ");
    EXPECT_EQ(other.m_nViewMode, 1);
    EXPECT_EQ(other.m_nPollTimer, kPollTimerId);
    EXPECT_EQ(other.m_nRedrawTimer, kRedrawTimerId);
    ASSERT_GE(platform.titles.size(), 2u);
    EXPECT_EQ(platform.titles[platform.titles.size() - 2],
              "Sorvantel from KELD - loaded spectrum data (300 samples)");
    EXPECT_EQ(platform.title(), "Loaded file sorvantel_20090315142530_85_5.svl");
    // Display levels as the producer makes them: sqrt(P) * 60 / 24 at the start-up band.
    EXPECT_EQ(other.m_level[7][3], 0);
    EXPECT_EQ(other.m_level[7][4], 50);  // sqrt(400) * 60 / 24
    EXPECT_EQ(other.m_level[299][127], 255);

    // Saved again, the bytes are the same.
    platform.saveAnswers.push_back(platform.dir.file("again.svl"));
    other.OnSave();
    EXPECT_EQ(ReadBytes(platform.dir.file("again.svl")), original);
}

TEST_F(SpectrumFileTest, LoadAsksBeforeOverwritingAndNoKeepsEverything) {
    FillRows(10, 5.0);
    const std::string path = Saved("sorvantel_20090315142530_404_0.svl");
    FillRows(20, 9.0);
    platform.yesNoAnswers.push_back(false);
    Load(path);
    EXPECT_EQ(platform.messages.back(), "Overwrite the existing spectrum data?");
    EXPECT_EQ(doc.m_nRows, 20);
    EXPECT_EQ(doc.m_dCarrierKHz, 0.0);
    EXPECT_EQ(platform.openAnswers.size(), 1u);  // no dialog shown

    // While processing, Load does nothing at all.
    doc.m_bProcessing = 1;
    platform.openAnswers.clear();
    Load(path);
    EXPECT_EQ(doc.m_nRows, 20);
}

TEST_F(SpectrumFileTest, UnrecognisedNameLoadsButKeepsCarrierAndStamp) {
    FillRows(3, 1.0);
    const std::string path = Saved("Sorvantel_20090315142530_404_0.svl");
    doc.m_dCarrierKHz = 123.0;
    doc.m_strTimeStamp = "earlier ";
    doc.m_nRows = 0;
    Load(path);
    EXPECT_EQ(doc.m_nRows, 3);
    EXPECT_EQ(doc.m_dCarrierKHz, 123.0);
    EXPECT_EQ(doc.m_strTimeStamp, "earlier ");
}

TEST_F(SpectrumFileTest, HostileRowCountsAreRefusedWithoutChangingAnything) {
    FillRows(5, 2.0);
    for (int32_t count : {-1, 65537, static_cast<int32_t>(0x7fffffff), static_cast<int32_t>(0x80000000)}) {
        const std::string path = platform.dir.file("sorvantel_20090315142530_404_0.svl");
        WriteBytes(path, Header(count) + std::string(2048, '\x11'));
        platform.yesNoAnswers.push_back(true);
        Load(path);
        EXPECT_EQ(platform.messages.back(),
                  path + " is not a spectrum data file: its row count is missing or outside 0 to 65536."
                         " Nothing was loaded.");
        EXPECT_EQ(doc.m_nRows, 5);
        EXPECT_EQ(doc.m_power[0][0], 2.125);
        EXPECT_EQ(doc.m_dCarrierKHz, 0.0);
        EXPECT_EQ(doc.m_strTimeStamp, "");
    }
    // Shorter than its count field.
    const std::string stub = platform.dir.file("stub.svl");
    WriteBytes(stub, "ab");
    platform.yesNoAnswers.push_back(true);
    Load(stub);
    EXPECT_EQ(doc.m_nRows, 5);
    EXPECT_NE(platform.messages.back().find(stub), std::string::npos);
}

TEST_F(SpectrumFileTest, TruncatedFileReadsWhatItHoldsAndKeepsTheRest) {
    FillRows(4, 7.0);
    std::string bytes = Header(4);
    const double row[128] = {42.0};
    bytes.append(reinterpret_cast<const char*>(row), 1024);  // one row of four
    const std::string path = platform.dir.file("short.svl");
    WriteBytes(path, bytes);
    platform.yesNoAnswers.push_back(true);
    Load(path);
    EXPECT_EQ(doc.m_nRows, 4);
    EXPECT_EQ(doc.m_power[0][0], 42.0);
    EXPECT_EQ(doc.m_power[0][1], 0.0);
    EXPECT_EQ(doc.m_power[1][0], 7.0 + 128 + 0.125);  // beyond the data: as before
    EXPECT_EQ(platform.title(), "Loaded file short.svl");
}

TEST_F(SpectrumFileTest, FilesThatCannotBeOpenedAreReported) {
    Load(platform.dir.file("missing.svl"));
    EXPECT_EQ(platform.messages.back(), platform.dir.file("missing.svl") + " could not be opened.");
    FillRows(2, 0.0);
    const std::string nowhere = platform.dir.file("no such folder/x.svl");
    Saved("no such folder/x.svl");
    EXPECT_EQ(platform.messages.back(), nowhere + " could not be created.");
}

TEST_F(SpectrumFileTest, SavingOntoASymbolicLinkReplacesTheFileItPointsToAndKeepsTheLink) {
    const std::string real = platform.dir.file("night.svl");
    WriteBytes(real, "older rows");
    fs::permissions(real, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    fs::create_symlink("night.svl", platform.dir.file("latest.svl"));  // relative, as users make them
    fs::create_symlink(platform.dir.file("latest.svl"), platform.dir.file("chain.svl"));
    FillRows(3, 0.0);

    for (const char* link : {"latest.svl", "chain.svl"}) {
        Saved(link);
        EXPECT_TRUE(platform.messages.empty()) << link;
        EXPECT_TRUE(fs::is_symlink(fs::symlink_status(platform.dir.file(link)))) << link;
        EXPECT_EQ(fs::file_size(real), 4u + 3 * 1024) << link;
        // The replaced file keeps its permission bits, not those a new file would get.
        EXPECT_EQ(fs::status(real).permissions() & fs::perms::all,
                  fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read)
            << link;
    }
    // A link whose file is not there yet: the file is made where it points.
    fs::create_symlink("fresh.svl", platform.dir.file("dangling.svl"));
    Saved("dangling.svl");
    EXPECT_TRUE(fs::is_symlink(fs::symlink_status(platform.dir.file("dangling.svl"))));
    EXPECT_EQ(fs::file_size(platform.dir.file("fresh.svl")), 4u + 3 * 1024);
    // Links that loop lead nowhere: refused by name.
    fs::create_symlink("loop-b.svl", platform.dir.file("loop-a.svl"));
    fs::create_symlink("loop-a.svl", platform.dir.file("loop-b.svl"));
    Saved("loop-a.svl");
    ASSERT_EQ(platform.messages.size(), 1u);
    EXPECT_EQ(platform.messages[0], platform.dir.file("loop-a.svl") + " could not be created.");
}

// Saves as a user who may not write the file: this user, or nobody when the tests run as
// root, who may write anything. Returns the message shown, or "(none)".
std::string SaveAsUserWithoutWriteAccess(const std::string& path) {
    FakePlatform platform;
    auto save = [&]() -> std::string {
        CSorvantelDoc doc(platform);
        doc.m_nRows = 2;
        platform.saveAnswers.push_back(path);
        doc.OnSave();
        return platform.messages.empty() ? "(none)" : platform.messages.back();
    };
    if (geteuid() != 0) return save();
    int pipeFds[2];
    if (pipe(pipeFds) != 0) return "pipe failed";
    const pid_t child = fork();
    if (child == 0) {
        close(pipeFds[0]);
        std::string result = "could not become nobody";
        if (setgid(65534) == 0 && setuid(65534) == 0) result = save();
        const ssize_t n = write(pipeFds[1], result.data(), result.size());
        _exit(n == static_cast<ssize_t>(result.size()) ? 0 : 1);
    }
    close(pipeFds[1]);
    std::string result;
    char buf[512];
    ssize_t n;
    while ((n = read(pipeFds[0], buf, sizeof buf)) > 0) result.append(buf, static_cast<size_t>(n));
    close(pipeFds[0]);
    int status = 0;
    waitpid(child, &status, 0);
    return result;
}

TEST(SpectrumFileAccess, AFileTheUserMayNotWriteIsRefusedByNameAndStaysAsItWas) {
    TempDir dir;
    // The folder is open to all, so that only the file's own permissions stand in the way (a
    // rename into the folder would succeed).
    fs::permissions(dir.path(), fs::perms::all);
    const std::string path = dir.file("kept.svl");
    WriteBytes(path, "precious");
    fs::permissions(path, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    EXPECT_EQ(SaveAsUserWithoutWriteAccess(path), path + " could not be created.");
    EXPECT_EQ(ReadBytes(path), "precious");
    EXPECT_EQ(fs::status(path).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    for (const auto& e : fs::directory_iterator(dir.path())) EXPECT_EQ(e.path().filename(), "kept.svl");
    // Nor is a folder or a FIFO replaced by a file.
    FakePlatform platform;
    CSorvantelDoc doc(platform);
    doc.m_nRows = 1;
    fs::create_directory(dir.file("folder.svl"));
    ASSERT_EQ(mkfifo(dir.file("pipe.svl").c_str(), 0644), 0);
    for (const char* name : {"folder.svl", "pipe.svl"}) {
        platform.saveAnswers.push_back(dir.file(name));
        doc.OnSave();
        EXPECT_EQ(platform.messages.back(), dir.file(name) + " could not be created.");
    }
    EXPECT_TRUE(fs::is_directory(dir.file("folder.svl")));
    EXPECT_TRUE(fs::is_fifo(dir.file("pipe.svl")));
}

TEST_F(SpectrumFileTest, FailedSaveLeavesTheExistingFileIntact) {
    const std::string path = platform.dir.file("keep.svl");
    WriteBytes(path, "precious");
    FillRows(1000, 3.0);  // about 1 MB
    // A file-size limit makes the write fail part way, as a full disk would.
    struct rlimit old{};
    getrlimit(RLIMIT_FSIZE, &old);
    auto oldHandler = signal(SIGXFSZ, SIG_IGN);
    struct rlimit small = old;
    small.rlim_cur = 100000;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    platform.saveAnswers.push_back(path);
    doc.OnSave();
    setrlimit(RLIMIT_FSIZE, &old);
    signal(SIGXFSZ, oldHandler);

    EXPECT_EQ(ReadBytes(path), "precious");
    ASSERT_FALSE(platform.messages.empty());
    EXPECT_EQ(platform.messages.back(), "Encountered an unexpected error while writing " + path + ".");
    EXPECT_FALSE(fs::exists(path + ".part"));
    EXPECT_EQ(SpectrumFileMessage(SpectrumFileStatus::DiskFull, path, true), "Disk full while accessing " + path + ".");
}

TEST_F(SpectrumFileTest, ScriptSaveWritesIntoTheLogDirectoryEvenWithoutRows) {
    platform.now = 1237127130;
    doc.m_nRows = 0;
    doc.m_strLogDirectory = platform.dir.path() + "/logs";  // created, and a separator added
    SaveSpectrumToLogDirectory(doc);
    const std::string path = platform.dir.path() + "/logs/sorvantel_20090315142530.svl";
    EXPECT_EQ(ReadBytes(path), Header(0));
    EXPECT_TRUE(platform.fileDialogs.empty());
    EXPECT_TRUE(platform.messages.empty());
}

}  // namespace
}  // namespace sorv::test
