#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "engine/sorvantel_doc.h"
#include "support/fake_platform.h"

namespace sorv::test {
namespace {

class IdentLogTest : public ::testing::Test {
protected:
    FakePlatform platform;
    CSorvantelDoc doc{platform};
    std::string dir;
    void SetUp() override {
        dir = platform.dir.path() + "/logs/";
        doc.m_strLogDirectory = dir;
        doc.m_nRows = 1;
        doc.m_nLine = 65;  // band 0..2000: 1015.625 Hz
        platform.now = 1700000000;  // 2023-11-14 22:13:20 UTC
    }
    std::string Read(const std::string& name) const {
        std::ifstream in(dir + name, std::ios::binary);
        return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    }
    void Log(const std::string& ident) {
        doc.m_strIdent = ident;
        doc.WriteLogEntry();
    }
};

TEST_F(IdentLogTest, EntryMatchesTheLayoutByteForByte) {
    doc.m_dCarrierKHz = 404.0;
    doc.m_nRxMode = 0;
    Log("ABC");
    EXPECT_EQ(Read("sorvantel231114.log"),
              "20231114 2213 ABC 404.0 kHz; sideband 405.016 kHz; offset 1015.6 Hz; period  9.50 s\r\n");
}

TEST_F(IdentLogTest, LowerSidebandTwoLetterIdentAndNoCarrier) {
    doc.m_nBandHigh = 2048;  // line 61 at 976 Hz
    doc.m_nLine = 61;
    doc.m_dCarrierKHz = 404.0;
    doc.m_nRxMode = 1;
    Log("KX");
    doc.m_nRxMode = -1;  // a carrier without a sideband is not shown
    Log("KX");
    doc.m_nRxMode = 1;
    doc.m_dCarrierKHz = 0.0;
    doc.m_dPeriodMin = 7.994;
    doc.m_dPeriodMax = 8.004;
    Log("NDBX");
    EXPECT_EQ(Read("sorvantel231114.log"),
              "20231114 2213 KX  404.0 kHz; sideband 403.024 kHz; offset  976.0 Hz; period  9.50 s\r\n"
              "20231114 2213 KX  offset  976.0 Hz; period  9.50 s\r\n"
              "20231114 2213 NDBX offset  976.0 Hz; period  8.00 s\r\n");
}

TEST_F(IdentLogTest, LoadedTimeStampReplacesTheClockButNotTheFileDate) {
    doc.m_strTimeStamp = "20090315 1425 ";
    Log("ABC");
    EXPECT_EQ(Read("sorvantel231114.log"), "20090315 1425 ABC offset 1015.6 Hz; period  9.50 s\r\n");
}

TEST_F(IdentLogTest, EachUtcDayHasItsOwnFile) {
    platform.now = 1700006399;  // 23:59:59 UTC
    platform.localOffset = -3600;
    Log("AB");
    platform.now += 1;  // midnight UTC, still the 14th in local time
    Log("CD");
    Log("EF");
    EXPECT_EQ(Read("sorvantel231114.log"), "20231114 2359 AB  offset 1015.6 Hz; period  9.50 s\r\n");
    EXPECT_EQ(Read("sorvantel231115.log"),
              "20231115 0000 CD  offset 1015.6 Hz; period  9.50 s\r\n"
              "20231115 0000 EF  offset 1015.6 Hz; period  9.50 s\r\n");
}

TEST_F(IdentLogTest, NothingIsWrittenWhenOffEmptyOrWithoutALine) {
    doc.m_bLogCheck = 0;
    Log("ABC");
    doc.m_bLogCheck = 1;
    Log("");
    doc.m_nLine = -1;
    Log("ABC");
    EXPECT_FALSE(std::filesystem::exists(dir));
}

TEST_F(IdentLogTest, AnUnopenableLogIsSkippedSilently) {
    std::ofstream(platform.dir.path() + "/plainfile") << "x";
    doc.m_strLogDirectory = platform.dir.path() + "/plainfile/";
    Log("ABC");
    EXPECT_TRUE(platform.messages.empty());
    doc.m_strLogDirectory = platform.dir.path() + "/nested/deeper";  // made, separator added
    Log("ABC");
    EXPECT_TRUE(std::filesystem::exists(platform.dir.path() + "/nested/deeper/sorvantel231114.log"));
}

TEST_F(IdentLogTest, LogIdentsToggles) {
    EXPECT_TRUE(doc.IsLogChecked());
    doc.OnLogIdents();
    EXPECT_EQ(doc.m_bLogCheck, 0);
    EXPECT_FALSE(doc.IsLogChecked());
    doc.OnLogIdents();
    EXPECT_EQ(doc.m_bLogCheck, 1);
}

TEST_F(IdentLogTest, FolderCommandAppendsTheSeparatorAndRefusesLongPaths) {
    platform.folderAnswers.push_back("/srv/logs");
    doc.OnLogDirectory();
    EXPECT_EQ(doc.m_strLogDirectory, "/srv/logs/");
    platform.folderAnswers.push_back("/");
    doc.OnLogDirectory();
    EXPECT_EQ(doc.m_strLogDirectory, "/");
    doc.OnLogDirectory();  // Cancel
    EXPECT_EQ(doc.m_strLogDirectory, "/");
    platform.folderAnswers.push_back("/" + std::string(125, 'x'));  // 127 with the separator
    doc.OnLogDirectory();
    EXPECT_EQ(doc.m_strLogDirectory, "/");
    EXPECT_EQ(platform.messages.size(), 1u);
    platform.folderAnswers.push_back("/" + std::string(124, 'x'));
    doc.OnLogDirectory();
    EXPECT_EQ(doc.m_strLogDirectory.size(), 126u);
}

}  // namespace
}  // namespace sorv::test
