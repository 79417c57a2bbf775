#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

#include "automation/script_time.h"
#include "engine/sorvantel_doc.h"
#include "support/fake_platform.h"
#include "support/signals.h"

namespace sorv::test {
namespace {

class ScriptTest : public ::testing::Test {
protected:
    FakePlatform platform;
    CSorvantelDoc doc{platform};

    void Run(const std::string& text) {
        const std::string path = platform.dir.file("script.txt");
        std::ofstream(path, std::ios::binary) << text;
        platform.openAnswers.push_back(path);
        doc.OnScript();
    }
    bool Ended() const { return platform.title() == "Sorvantel from KELD - script ended"; }
};

// 2023-11-14 12:00:00 at UTC+1 is 11:00:00 UTC.
constexpr int64_t kNoonLocal = 1699959600;

TEST_F(ScriptTest, ExitEndsTheScriptAfterItsLine) {
    doc.m_dCarrierKHz = 1.0;
    Run("exiting now\ncarrier 404\n");
    EXPECT_TRUE(Ended());
    EXPECT_EQ(doc.m_dCarrierKHz, 1.0);
    EXPECT_EQ(platform.titles, (std::vector<std::string>{"Sorvantel from KELD - processing script commands",
                                                         "Sorvantel from KELD - processing script command exiting now",
                                                         "Sorvantel from KELD - script ended"}));
    EXPECT_EQ(doc.m_bScriptRunning, 0);
    ASSERT_EQ(platform.fileDialogs.size(), 1u);
    EXPECT_EQ(platform.fileDialogs[0].defaultSuffix, "txt");
}

TEST_F(ScriptTest, CarrierSetsValueAndSideband) {
    Run("carrier 404.5 LSB\n");
    EXPECT_EQ(doc.m_dCarrierKHz, 404.5);
    EXPECT_EQ(doc.m_nRxMode, 1);
    Run("carrier USB\n");
    EXPECT_EQ(doc.m_dCarrierKHz, 404.5);
    EXPECT_EQ(doc.m_nRxMode, 0);
    Run("carrier nan LSB\ncarrier inf\n");  // never read as numbers
    EXPECT_EQ(doc.m_dCarrierKHz, 404.5);
    EXPECT_EQ(doc.m_nRxMode, 1);
}

TEST_F(ScriptTest, KeywordsAreCaseSensitiveInTheFirstColumnAndWindowsLinesAreRead) {
    Run("\xEF\xBB\xBF" "carrier 85.5 USB\r\n Carrier 1\r\n carrier 2\r\nCarrier 3\r\n");
    EXPECT_EQ(doc.m_dCarrierKHz, 85.5);
    EXPECT_EQ(doc.m_nRxMode, 0);
    EXPECT_TRUE(Ended());
}

TEST_F(ScriptTest, ArgumentsHoldAtMost99Characters) {
    const std::string text(114, 'x');
    const std::string line = "shell " + text;
    ASSERT_EQ(line.size(), 120u);
    Run(line + "\nshell\nshell \nshell /usr/bin/true\n");
    ASSERT_EQ(platform.shellOpens.size(), 2u);
    EXPECT_EQ(platform.shellOpens[0], std::string(99, 'x'));
    EXPECT_EQ(platform.shellOpens[1], "/usr/bin/true");
}

TEST_F(ScriptTest, WaitSamplesHoldsForEveryLaterLineIncludingAfterStart) {
    // Each wait step delivers one second of audio through the capture handler.
    platform.onWaitStep = [&] {
        if (doc.m_bProcessing && platform.lastWaveIn &&
            platform.lastWaveIn->FillNext(Tone(1000.0, 30.0, kBufferBytes)))
            doc.OnViewTimer(kPollTimerId);
    };
    Run("start\nwait samples 600\nstart\nexit\n");
    EXPECT_TRUE(Ended());
    EXPECT_GE(doc.m_nRows, 600);
    // 31.25 rows a second: 20 seconds before the first start's rows reach 600, and again
    // after the second start cleared them.
    EXPECT_EQ(platform.waitSteps, 40);
    doc.OnStop();
}

TEST_F(ScriptTest, WaitForCountsFromNowAndEscEndsTheWait) {
    const int64_t start = platform.now;
    Run("wait for 0:0:5\nexit\n");
    EXPECT_EQ(platform.waitSteps, 50);
    EXPECT_EQ(platform.now, start + 5);

    platform.waitSteps = 0;
    doc.m_dCarrierKHz = 0.0;
    platform.onWaitStep = [&] {
        if (platform.waitSteps == 3) doc.m_bScriptExit = 1;  // the Esc key
    };
    Run("wait for 1:00:00\ncarrier 404\n");
    EXPECT_EQ(platform.waitSteps, 3);
    EXPECT_EQ(doc.m_dCarrierKHz, 0.0);
    EXPECT_TRUE(Ended());
}

TEST_F(ScriptTest, WaitUntilAPassedTimeWaitsForTheNextDay) {
    platform.localOffset = 3600;
    platform.now = kNoonLocal;
    Run("wait until 12:00:00\n");
    EXPECT_EQ(platform.waitSteps, 0);

    platform.now = kNoonLocal + 1;
    Run("wait until 12:00:00\n");
    EXPECT_EQ(platform.now, kNoonLocal + 86400);
    EXPECT_EQ(platform.waitSteps, 863990);

    int64_t deadline = 0;
    EXPECT_EQ(DeadlineAt(platform, "2023-11-14 12:00:30", deadline), DeadlineStatus::Ok);
    EXPECT_EQ(deadline, kNoonLocal + 30);
    EXPECT_EQ(DeadlineAt(platform, "noon", deadline), DeadlineStatus::NotRead);
}

// A platform whose clock moves from UTC+1 to UTC+2 at a fixed instant.
class SummerTimePlatform : public FakePlatform {
public:
    int64_t switchAt = kNoonLocal + 43200;  // local midnight after the test's noon
    CalendarTime ToLocal(int64_t t) override { return ToUtc(t + (t >= switchAt ? 7200 : 3600)); }
    bool LocalToUtc(const CalendarTime& local, int64_t& out) override {
        CalendarTime copy = local;
        const int64_t wall = timegm(&copy);
        out = wall - 7200 >= switchAt ? wall - 7200 : wall - 3600;
        return true;
    }
};

TEST(ScriptWaitUntil, NextDayIsTheSameClockTimeAcrossADaylightSavingChange) {
    SummerTimePlatform platform;
    platform.now = kNoonLocal + 1;
    int64_t deadline = 0;
    ASSERT_EQ(DeadlineAt(platform, "12:00:00", deadline), DeadlineStatus::Ok);
    EXPECT_EQ(deadline, kNoonLocal + 86400 - 3600);  // not now + 86400 s
}

TEST_F(ScriptTest, WaitUntilOutOfRangeEndsTheScriptWithAMessage) {
    for (const char* line : {"wait until 24:00:00", "wait until 12:60:00", "wait until 1899-12-31 00:00:00",
                             "wait until 2024-13-01 00:00:00", "wait until 2024-01-32 10:00:00", "wait until -1:0:0"}) {
        platform.messages.clear();
        doc.m_dCarrierKHz = 0.0;
        Run(std::string(line) + "\ncarrier 7\n");
        ASSERT_EQ(platform.messages.size(), 1u) << line;
        EXPECT_NE(platform.messages[0].find("out of range"), std::string::npos);
        EXPECT_EQ(platform.title(), std::string("Sorvantel from KELD - processing script command ") + line);
        EXPECT_EQ(doc.m_dCarrierKHz, 0.0);
        EXPECT_EQ(doc.m_bScriptRunning, 0);
    }
}

TEST_F(ScriptTest, RepeatRunsAgainUntilEsc) {
    int passes = 0;
    platform.onWaitStep = [&] {
        if (++passes == 5) doc.m_bScriptExit = 1;
    };
    Run("carrier 1\nrepeat\n");
    EXPECT_EQ(passes, 5);
    EXPECT_TRUE(Ended());
    const long carrierLines = std::count(platform.titles.begin(), platform.titles.end(),
                                         "Sorvantel from KELD - processing script command carrier 1");
    EXPECT_EQ(carrierLines, 5);
}

TEST_F(ScriptTest, SaveWritesTheGeneratedNameIntoTheLogDirectory) {
    platform.now = 1237127130;
    doc.m_dCarrierKHz = 404.0;
    Run("save\n");
    EXPECT_TRUE(std::filesystem::exists(doc.m_strLogDirectory + "sorvantel_20090315142530_404_0.svl"));
    EXPECT_EQ(std::filesystem::file_size(doc.m_strLogDirectory + "sorvantel_20090315142530_404_0.svl"), 4u);
}

TEST_F(ScriptTest, NoScriptWhileProcessingOrRunningOrOnCancel) {
    platform.openAnswers.push_back(std::nullopt);
    doc.OnScript();
    EXPECT_TRUE(platform.titles.empty());
    doc.m_bProcessing = 1;
    doc.OnScript();
    doc.m_bProcessing = 0;
    doc.m_bScriptRunning = 1;
    doc.OnScript();
    doc.m_bScriptRunning = 0;
    EXPECT_EQ(platform.fileDialogs.size(), 1u);
    Run("autosearch\n");  // no rows: nothing is searched
    EXPECT_TRUE(Ended());
    EXPECT_EQ(platform.titles.size(), 3u);
}

}  // namespace
}  // namespace sorv::test
