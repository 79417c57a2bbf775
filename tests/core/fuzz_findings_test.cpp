// Inputs the fuzzers of fuzz/ found that the program mishandled, kept as tests once mended.
// docs/reliability.md lists each finding with its harness.
#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <string>

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

}  // namespace
}  // namespace sorv::test
