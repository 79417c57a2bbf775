#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>

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

void WriteAll(const std::string& path, const std::string& bytes) {
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    std::ofstream(path, std::ios::binary) << bytes;
}

// The hex(4) text of a double's eight little-endian bytes, as regedit shows REG_DWORD data.
std::string HexOfDouble(double d) {
    uint8_t b[8];
    std::memcpy(b, &d, 8);
    std::string s;
    for (int i = 0; i < 8; ++i) {
        char buf[4];
        std::snprintf(buf, sizeof buf, i ? ",%02x" : "%02x", b[i]);
        s += buf;
    }
    return s;
}

// UTF-16LE with a byte-order mark, CR LF: how regedit exports a key.
std::string Utf16le(const std::string& ascii) {
    std::string out = "\xFF\xFE";
    for (char c : ascii) {
        out += c;
        out += '\0';
    }
    return out;
}

TEST(Settings, FirstRunCreatesTheEmptyKeyAndKeepsDefaults) {
    FakePlatform platform;
    {
        CSorvantelDoc doc(platform);
        EXPECT_EQ(doc.m_nSoundcard, 0);
        EXPECT_EQ(doc.m_nRxMode, -1);
        EXPECT_EQ(doc.m_nWpm, 6);
        EXPECT_EQ(doc.m_dGri, 6731.0);
        EXPECT_DOUBLE_EQ(doc.m_dLoranLength, 3230.88);
        EXPECT_EQ(doc.m_strLogDirectory, platform.logDirectory);
        const std::string created = ReadAll(platform.settingsPath);
        EXPECT_EQ(created,
                  "Windows Registry Editor Version 5.00\r\n\r\n"
                  "[HKEY_CURRENT_USER\\SOFTWARE\\KELD\\Sorvantel]\r\n\r\n");
    }
    // Filled at exit, in the table's order.
    const std::string saved = ReadAll(platform.settingsPath);
    const char* order[] = {"\"Soundcard\"=dword:00000000", "\"RxMode\"=dword:ffffffff", "\"Wpm\"=dword:00000006",
                           "\"LogCheck\"=dword:00000001",  "\"AutoWpm\"=dword:00000001", "\"Loran\"=dword:00000000",
                           "\"AutoToneMax\"=hex(4):",       "\"AutoToneMin\"=hex(4):",    "\"AutoPeriodMax\"=hex(4):",
                           "\"AutoPeriodMin\"=hex(4):",     "\"GRI\"=hex(4):00,00,00,00,00,4b,ba,40", "\"LogDirectory\"=\""};
    size_t pos = 0;
    for (const char* item : order) {
        size_t at = saved.find(item, pos);
        ASSERT_NE(at, std::string::npos) << item << "\n" << saved;
        pos = at;
    }
}

TEST(Settings, DoublesAndIntegersRoundTripBitIdentical) {
    FakePlatform platform;
    const double tricky = 0.1 + 0.2;  // not representable exactly in decimal
    {
        CSorvantelDoc doc(platform);
        doc.m_dAutoToneMin = tricky;
        doc.m_dAutoToneMax = -1e-300;
        doc.m_dAutoPeriodMin = 6.25;
        doc.m_dGri = 9960.0;
        doc.m_nRxMode = 1;
        doc.m_nWpm = 17;
        doc.m_bLoran = 1;
        doc.m_strLogDirectory = "/tmp/logs \"quoted\" \\back/";
    }
    CSorvantelDoc again(platform);
    EXPECT_EQ(std::memcmp(&again.m_dAutoToneMin, &tricky, 8), 0);
    EXPECT_EQ(again.m_dAutoToneMax, -1e-300);
    EXPECT_EQ(again.m_dAutoPeriodMin, 6.25);
    EXPECT_EQ(again.m_dGri, 9960.0);
    EXPECT_DOUBLE_EQ(again.m_dLoranLength, 9960.0 / 100000 * 48000);
    EXPECT_EQ(again.m_nRxMode, 1);
    EXPECT_EQ(again.m_nWpm, 17);
    EXPECT_EQ(again.m_bLoran, 1);
    EXPECT_EQ(again.m_strLogDirectory, "/tmp/logs \"quoted\" \\back/");
}

TEST(Settings, PartialKeyKeepsDefaultsForMissingOrWrongWidthValues) {
    FakePlatform platform;
    WriteAll(platform.settingsPath,
             "Windows Registry Editor Version 5.00\n\n"
             "[HKEY_CURRENT_USER\\SOFTWARE\\KELD\\Sorvantel]\n"
             "\"Wpm\"=dword:0000000c\n"
             "\"GRI\"=dword:00001234\n"              // 4 bytes for a double: wrong width
             "\"AutoWpm\"=hex(4):00,00,00,00,00,00\n" // 6 bytes for an int: wrong width
             "\"Soundcard\"=dword:00000007\n"        // outside 0..3
             "\"LogDirectory\"=\"/var/tmp/beacons\"\n"
             "[HKEY_CURRENT_USER\\SOFTWARE\\Other]\n"
             "\"RxMode\"=dword:00000001\n");
    CSorvantelDoc doc(platform);
    EXPECT_EQ(doc.m_nWpm, 12);
    EXPECT_EQ(doc.m_dGri, 6731.0);
    EXPECT_EQ(doc.m_bAutoWpm, 1);
    EXPECT_EQ(doc.m_nSoundcard, 0);
    EXPECT_EQ(doc.m_nRxMode, -1);  // belongs to another key
    EXPECT_EQ(doc.m_strLogDirectory, "/var/tmp/beacons/");
}

TEST(Settings, WindowsExportImportsAsItStands) {
    FakePlatform platform;
    // Written from the table of values as regedit exports them, long hex lists wrapped.
    std::string reg =
        "Windows Registry Editor Version 5.00\r\n\r\n"
        "[HKEY_CURRENT_USER\\Software\\KELD\\Sorvantel]\r\n"
        "\"Soundcard\"=dword:00000002\r\n"
        "\"RxMode\"=dword:00000000\r\n"
        "\"Wpm\"=dword:00000008\r\n"
        "\"LogCheck\"=dword:00000000\r\n"
        "\"AutoWpm\"=dword:00000000\r\n"
        "\"Loran\"=dword:00000000\r\n"
        "\"AutoToneMax\"=hex(4):" + HexOfDouble(1250.0) + "\r\n"
        "\"AutoToneMin\"=hex(4):" + HexOfDouble(850.5) + "\r\n"
        "\"AutoPeriodMax\"=hex(4):" + HexOfDouble(12.0).substr(0, 12) + "\\\r\n  " + HexOfDouble(12.0).substr(12) + "\r\n"
        "\"AutoPeriodMin\"=hex(4):" + HexOfDouble(4.0) + "\r\n"
        "\"GRI\"=hex(4):" + HexOfDouble(7980.0) + "\r\n"
        "\"LogDirectory\"=\"C:\\\\Program files\\\\KELD\\\\Sorvantel\\\\log files\\\\\"\r\n\r\n";
    WriteAll(platform.settingsPath, Utf16le(reg));
    CSorvantelDoc doc(platform);
    EXPECT_EQ(doc.m_nSoundcard, 2);
    EXPECT_EQ(doc.m_nRxMode, 0);
    EXPECT_EQ(doc.m_nWpm, 8);
    EXPECT_EQ(doc.m_bLogCheck, 0);
    EXPECT_EQ(doc.m_bAutoWpm, 0);
    EXPECT_EQ(doc.m_dAutoToneMax, 1250.0);
    EXPECT_EQ(doc.m_dAutoToneMin, 850.5);
    EXPECT_EQ(doc.m_dAutoPeriodMax, 12.0);
    EXPECT_EQ(doc.m_dAutoPeriodMin, 4.0);
    EXPECT_EQ(doc.m_dGri, 7980.0);
    // A Windows directory is no path here: the default stays.
    EXPECT_EQ(doc.m_strLogDirectory, platform.logDirectory);
}

TEST(Settings, CorruptOrTruncatedFilesNeverCrashAndYieldWhatCanBeRead) {
    const std::string good =
        "Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\SOFTWARE\\KELD\\Sorvantel]\r\n"
        "\"Wpm\"=dword:00000009\r\n\"GRI\"=hex(4):" + HexOfDouble(8970.0) + "\r\n\"LogDirectory\"=\"/data/x\"\r\n";
    for (size_t cut = 0; cut <= good.size(); cut += 7) {
        FakePlatform platform;
        WriteAll(platform.settingsPath, good.substr(0, cut));
        CSorvantelDoc doc(platform);
        EXPECT_TRUE(doc.m_nWpm == 6 || doc.m_nWpm == 9);
        EXPECT_TRUE(doc.m_dGri == 6731.0 || doc.m_dGri == 8970.0);
    }
    FakePlatform platform;
    std::string junk;
    for (int i = 0; i < 5000; ++i) junk += static_cast<char>((i * 7919) % 256);
    WriteAll(platform.settingsPath, good.substr(0, 90) + junk + "\"Wpm\"=dword:123456789\n\"Wpm\"=dword:\n\"x\"=hex(zz):1\n");
    CSorvantelDoc doc(platform);
    EXPECT_EQ(doc.m_nWpm, 6);
}

TEST(Settings, LogDirectoryLongerThan126BytesIsRefused) {
    FakePlatform platform;
    const std::string longDir = "/" + std::string(126, 'a');
    WriteAll(platform.settingsPath,
             "Windows Registry Editor Version 5.00\n[HKEY_CURRENT_USER\\SOFTWARE\\KELD\\Sorvantel]\n"
             "\"LogDirectory\"=\"" + longDir + "\"\n");
    CSorvantelDoc doc(platform);
    EXPECT_EQ(doc.m_strLogDirectory, platform.logDirectory);
}

// The limit counts the separator the directory is kept with: 126 bytes without it would be
// 127 once loaded and written back, and refused at the start after. 125 without it is taken
// and survives any number of restarts.
TEST(Settings, LogDirectoryLimitCountsTheSeparatorItIsKeptWith) {
    FakePlatform platform;
    const std::string head = "Windows Registry Editor Version 5.00\n[HKEY_CURRENT_USER\\SOFTWARE\\KELD\\Sorvantel]\n";
    const std::string dir126 = "/" + std::string(125, 'b');
    WriteAll(platform.settingsPath, head + "\"LogDirectory\"=\"" + dir126 + "\"\n");
    {
        CSorvantelDoc doc(platform);
        EXPECT_EQ(doc.m_strLogDirectory, platform.logDirectory);
    }
    const std::string dir125 = "/" + std::string(124, 'c');
    WriteAll(platform.settingsPath, head + "\"LogDirectory\"=\"" + dir125 + "\"\n");
    for (int start = 0; start < 3; ++start) {
        CSorvantelDoc doc(platform);
        EXPECT_EQ(doc.m_strLogDirectory, dir125 + "/") << "start " << start;
    }
    WriteAll(platform.settingsPath, head + "\"LogDirectory\"=\"" + dir126.substr(0, 125) + "/\"\n");
    CSorvantelDoc doc(platform);
    EXPECT_EQ(doc.m_strLogDirectory.size(), 126u);
}

TEST(Settings, GriThatDoesNotFitASlotKeepsTheDefault) {
    FakePlatform platform;
    WriteAll(platform.settingsPath,
             "Windows Registry Editor Version 5.00\n[HKEY_CURRENT_USER\\SOFTWARE\\KELD\\Sorvantel]\n"
             "\"GRI\"=hex(4):" + HexOfDouble(40000.0) + "\n");
    CSorvantelDoc doc(platform);
    EXPECT_EQ(doc.m_dGri, 6731.0);
    EXPECT_DOUBLE_EQ(doc.m_dLoranLength, 3230.88);
}

TEST(Settings, FailedWriteLeavesThePreviousFileIntact) {
    FakePlatform platform;
    { CSorvantelDoc doc(platform); }
    const std::string before = ReadAll(platform.settingsPath);
    ASSERT_FALSE(before.empty());
    // The temporary file cannot be created: a directory stands in its place.
    std::filesystem::create_directories(platform.settingsPath + ".tmp");
    {
        CSorvantelDoc doc(platform);
        doc.m_nWpm = 25;
    }
    EXPECT_EQ(ReadAll(platform.settingsPath), before);
    std::string error;
    EXPECT_FALSE(WriteFileAtomically(platform.settingsPath, "x", error));
    EXPECT_NE(error.find("settings.reg.tmp"), std::string::npos) << error;
}

TEST(Settings, ASettingsFileThatIsALinkStaysALink) {
    FakePlatform platform;
    namespace fs = std::filesystem;
    const fs::path real = fs::path(platform.settingsPath).parent_path() / "dotfiles" / "sorvantel.reg";
    { CSorvantelDoc doc(platform); }
    fs::create_directories(real.parent_path());
    fs::rename(platform.settingsPath, real);
    fs::create_symlink(real, platform.settingsPath);
    {
        CSorvantelDoc doc(platform);
        doc.m_nWpm = 25;
    }
    EXPECT_TRUE(fs::is_symlink(fs::symlink_status(platform.settingsPath)));
    CSorvantelDoc again(platform);
    EXPECT_EQ(again.m_nWpm, 25);
    EXPECT_NE(ReadAll(real.string()).find("\"Wpm\""), std::string::npos);
}

TEST(Settings, WindowPlacementComesBackOnlyWhole) {
    FakePlatform platform;
    {
        CSorvantelDoc doc(platform);
        EXPECT_EQ(doc.m_bWindowStored, 0);
    }
    // Never placed: nothing about the window is written.
    EXPECT_EQ(ReadAll(platform.settingsPath).find("\"Window"), std::string::npos);
    {
        CSorvantelDoc doc(platform);
        doc.m_bWindowStored = 1;
        doc.m_nWindowLeft = -1280;  // on a screen left of the primary one
        doc.m_nWindowTop = 40;
        doc.m_nWindowWidth = 1700;
        doc.m_nWindowHeight = 590;
        doc.m_bWindowMaximized = 1;
    }
    {
        CSorvantelDoc again(platform);
        EXPECT_EQ(again.m_bWindowStored, 1);
        EXPECT_EQ(again.m_nWindowLeft, -1280);
        EXPECT_EQ(again.m_nWindowTop, 40);
        EXPECT_EQ(again.m_nWindowWidth, 1700);
        EXPECT_EQ(again.m_nWindowHeight, 590);
        EXPECT_EQ(again.m_bWindowMaximized, 1);
    }
    // A missing value, or a size of nothing, leaves the default size.
    const std::string head =
        "Windows Registry Editor Version 5.00\n\n[HKEY_CURRENT_USER\\SOFTWARE\\KELD\\Sorvantel]\n";
    for (const std::string& values :
         {std::string("\"WindowLeft\"=dword:00000010\n\"WindowTop\"=dword:00000010\n\"WindowWidth\"=dword:00000400\n"),
          std::string("\"WindowLeft\"=dword:00000010\n\"WindowTop\"=dword:00000010\n\"WindowWidth\"=dword:00000000\n"
                      "\"WindowHeight\"=dword:00000300\n"),
          std::string("\"WindowLeft\"=dword:00000010\n\"WindowTop\"=dword:00000010\n\"WindowWidth\"=dword:00000400\n"
                      "\"WindowHeight\"=hex(4):00,03,00,00,00,00,00,00\n")}) {
        WriteAll(platform.settingsPath, head + values);
        CSorvantelDoc doc(platform);
        EXPECT_EQ(doc.m_bWindowStored, 0) << values;
    }
}

TEST(Settings, DeviceEnumerationFillsCardsTwoToFour) {
    FakePlatform none;
    CSorvantelDoc empty(none);
    EXPECT_EQ(empty.m_strCardName[0], "Auto");
    for (int c = 1; c < 4; ++c) {
        EXPECT_EQ(empty.m_strCardName[c], "");
        EXPECT_EQ(empty.m_nCardDevice[c], -1);
    }
    FakePlatform five;
    five.captureDevices = {"A", "B", "C", "D", "E"};
    five.captureNameErrors[1] = MM_ERROR;  // unreadable capabilities leave the card empty
    CSorvantelDoc doc(five);
    EXPECT_EQ(doc.m_nCardDevice[0], -1);
    EXPECT_EQ(doc.m_strCardName[1], "A");
    EXPECT_EQ(doc.m_nCardDevice[1], 0);
    EXPECT_EQ(doc.m_strCardName[2], "");
    EXPECT_EQ(doc.m_nCardDevice[2], -1);
    EXPECT_EQ(doc.m_strCardName[3], "C");
    EXPECT_EQ(doc.m_nCardDevice[3], 2);
}

}  // namespace
}  // namespace sorv::test
