// Inputs the fuzzers of fuzz/ found that the program mishandled, kept as tests once mended.
// docs/reliability.md lists each finding with its harness.
#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <string>

#include "automation/spectrum_file.h"
#include "engine/sorvantel_doc.h"
#include "support/fake_platform.h"

namespace sorv::test {
namespace {

// settings_file: eight bytes of NaN (or infinity) stored for a double setting were taken as
// its value, and the automatic search then worked with a NaN tone range.
TEST(FuzzFindings, SettingsKeepTheirDefaultsForNaNAndInfinity) {
    FakePlatform platform;
    std::filesystem::create_directories(std::filesystem::path(platform.settingsPath).parent_path());
    std::ofstream(platform.settingsPath, std::ios::binary)
        << "REGEDIT4\n\n[HKEY_CURRENT_USER\\SOFTWARE\\KELD\\Sorvantel]\n"
           "\"AutoToneMin\"=hex(b):00,00,00,00,00,00,f8,7f\n"   // NaN
           "\"AutoToneMax\"=hex(4):00,00,00,00,00,00,f0,7f\n"   // +infinity
           "\"AutoPeriodMin\"=hex(4):00,00,00,00,00,00,f0,ff\n" // -infinity
           "\"AutoPeriodMax\"=hex(4):00,00,00,00,00,00,30,40\n" // 16.0, readable
           "\"GRI\"=hex(4):01,00,00,00,00,00,f8,ff\n";          // a NaN with a payload
    CSorvantelDoc doc(platform);
    EXPECT_EQ(doc.m_dAutoToneMin, 900.0);
    EXPECT_EQ(doc.m_dAutoToneMax, 1100.0);
    EXPECT_EQ(doc.m_dAutoPeriodMin, 6.0);
    EXPECT_EQ(doc.m_dAutoPeriodMax, 16.0);
    EXPECT_EQ(doc.m_dGri, 6731.0);
    EXPECT_DOUBLE_EQ(doc.m_dLoranLength, 3230.88);
}

// ident_log: a stamp taken from the name of a loaded file, or an ident, with a line break in
// it wrote a broken entry and a forged second line into the log.
TEST(FuzzFindings, ALogEntryStaysOneLineWhateverItsStampAndIdentHold) {
    FakePlatform platform;
    CSorvantelDoc doc(platform);
    doc.m_nRows = 1;
    doc.m_nLine = 64;
    doc.m_nRxMode = 0;
    // Linux file names may hold a newline: this one is recognised, and gives the stamp.
    ASSERT_TRUE(ApplySpectrumFileName(doc, "/in/sorvantel_2009\n315142530_404_0.svl"));
    ASSERT_EQ(doc.m_strTimeStamp, "2009\n315 1425 ");
    doc.m_strIdent = "D\r\nGU";
    doc.WriteLogEntry();
    std::ifstream in(doc.m_strLogDirectory + "sorvantel231114.log", std::ios::binary);
    const std::string log{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    EXPECT_EQ(log, "2009?315 1425 D??GU 404.0 kHz; sideband 405.000 kHz; offset 1000.0 Hz; period  9.50 s\r\n");
}

}  // namespace
}  // namespace sorv::test
