// The detector choice in the settings: a 4-byte value "SensitiveDetection" after the
// original values; absent, or of another width, it is off.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "engine/registry_file.h"
#include "engine/sorvantel_doc.h"
#include "support/fake_platform.h"

namespace sorv::test {
namespace {

std::string ReadAll(const std::string& path) {
    std::string s;
    ReadWholeFile(path, s);
    return s;
}

void WriteSettings(const std::string& path, const std::string& values) {
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    std::ofstream(path, std::ios::binary) << "Windows Registry Editor Version 5.00\r\n\r\n"
                                             "[HKEY_CURRENT_USER\\SOFTWARE\\KELD\\Sorvantel]\r\n"
                                          << values << "\r\n";
}

TEST(SensitiveSettings, TheChoiceIsWrittenAfterTheOriginalValuesAndReadBack) {
    FakePlatform platform;
    {
        CSorvantelDoc doc(platform);
        EXPECT_EQ(doc.m_bSensitiveDetection, 0);
        doc.OnSensitiveDetection();
    }
    const std::string saved = ReadAll(platform.settingsPath);
    const size_t directory = saved.find("\"LogDirectory\"=");
    const size_t choice = saved.find("\"SensitiveDetection\"=dword:00000001");
    ASSERT_NE(directory, std::string::npos) << saved;
    ASSERT_NE(choice, std::string::npos) << saved;
    EXPECT_GT(choice, directory);
    {
        CSorvantelDoc doc(platform);
        EXPECT_EQ(doc.m_bSensitiveDetection, 1);
        doc.OnSensitiveDetection();
    }
    EXPECT_NE(ReadAll(platform.settingsPath).find("\"SensitiveDetection\"=dword:00000000"), std::string::npos);
    CSorvantelDoc doc(platform);
    EXPECT_EQ(doc.m_bSensitiveDetection, 0);
}

TEST(SensitiveSettings, AbsentOrMalformedMeansOff) {
    const char* cases[] = {
        "\"Wpm\"=dword:00000007\r\n",                            // a file from before the choice
        "\"SensitiveDetection\"=hex(4):01,00,00,00,00,00,00,00\r\n",  // eight bytes
        "\"SensitiveDetection\"=hex(4):01,00\r\n",                // two bytes
        "\"SensitiveDetection\"=\"1\"\r\n",                       // text
    };
    for (const char* values : cases) {
        FakePlatform platform;
        WriteSettings(platform.settingsPath, values);
        CSorvantelDoc doc(platform);
        EXPECT_EQ(doc.m_bSensitiveDetection, 0) << values;
    }
    FakePlatform platform;
    WriteSettings(platform.settingsPath, "\"sensitivedetection\"=dword:00000100\r\n");  // any case, any non-zero
    CSorvantelDoc doc(platform);
    EXPECT_EQ(doc.m_bSensitiveDetection, 1);
}

}  // namespace
}  // namespace sorv::test
