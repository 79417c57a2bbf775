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

// Errors that end a script, and a "save" that writes nothing, are kept with their line (the
// number counts from the top of the file, again after "repeat"), so that a tool can report
// them; a clean run leaves nothing.
TEST_F(ScriptTest, FailuresAreKeptWithTheirLine) {
    Run("carrier 404\nwait until 12:60:00\ncarrier 7\n");
    EXPECT_EQ(doc.m_scriptFailures,
              std::vector<std::string>{"line 2 \"wait until 12:60:00\": the time is out of range; the script ended there"});

    platform.serialOpenResult = SerialOpenResult::OpenFailed;
    Run("\ncom 1:9600 F404<cr>\n");
    EXPECT_EQ(doc.m_scriptFailures,
              std::vector<std::string>{"line 2 \"com 1:9600 F404<cr>\": Error opening port; the script ended there"});

    // The log directory is a file: "save" cannot create its file, says nothing (as designed)
    // and the script goes on, but the failure is kept.
    std::ofstream(platform.dir.file("occupied")) << "x";
    doc.m_strLogDirectory = platform.dir.file("occupied") + "/";
    platform.now = 1237127130;
    doc.m_dCarrierKHz = 0.0;
    platform.messages.clear();
    Run("save\ncarrier 9\n");
    EXPECT_TRUE(platform.messages.empty());
    EXPECT_EQ(doc.m_dCarrierKHz, 9.0);
    EXPECT_TRUE(Ended());
    EXPECT_EQ(doc.m_scriptFailures,
              std::vector<std::string>{"line 1 \"save\": " + platform.dir.file("occupied") +
                                       "/sorvantel_20090315142530.svl could not be created"});

    Run("carrier 1\nexit\n");
    EXPECT_TRUE(doc.m_scriptFailures.empty());
    EXPECT_TRUE(Ended());
}

// With no one there to press Esc or Start, a row wait without a capture, or with one whose
// input is used up, can never end: the script ends at once, naming its line. The window's
// scripts wait on (the user may still press Start).
TEST_F(ScriptTest, UnattendedRowWaitsThatCanNeverEndEndTheScript) {
    platform.unattended = true;
    Run("carrier 1\nwait samples 600\nstart\n");
    EXPECT_EQ(doc.m_scriptFailures,
              std::vector<std::string>{"line 2 \"wait samples 600\": waits for 600 rows, but no capture is running: "
                                       "the wait can never end"});
    EXPECT_EQ(doc.m_bProcessing, 0) << "the script ended before its next line";
    EXPECT_EQ(platform.waitSteps, 0);

    // A capture whose input runs out after ten seconds: the wait ends with the input, and
    // the failure names the line after which it was waiting.
    platform.onWaitStep = [&] {
        if (platform.waitSteps > 10) platform.captureUsedUp = true;
        if (!platform.captureUsedUp && platform.lastWaveIn &&
            platform.lastWaveIn->FillNext(Tone(1000.0, 30.0, kBufferBytes)))
            doc.OnViewTimer(kPollTimerId);
    };
    Run("start\nwait samples 600\nautosearch\n");
    ASSERT_EQ(doc.m_scriptFailures.size(), 1u);
    EXPECT_EQ(doc.m_scriptFailures[0], "line 2 \"wait samples 600\": waits for 600 rows, but the input is used up: "
                                       "the wait can never end");
    EXPECT_EQ(platform.waitSteps, 11);
    EXPECT_LT(doc.m_nRows, 600);
    doc.OnStop();

    // After "stop" no rows can come.
    platform.captureUsedUp = false;
    platform.waitSteps = 0;
    Run("start\nwait samples 100\nstop\nwait samples 200\ncarrier 5\n");
    ASSERT_EQ(doc.m_scriptFailures.size(), 1u);
    EXPECT_EQ(doc.m_scriptFailures[0].rfind("line 4 \"wait samples 200\": waits for 200 rows, but no capture is running", 0), 0u)
        << doc.m_scriptFailures[0];
    EXPECT_GE(doc.m_nRows, 100);
    EXPECT_NE(doc.m_dCarrierKHz, 5.0);

    // Attended, the same first script just waits (here until Esc).
    platform.unattended = false;
    platform.waitSteps = 0;
    platform.onWaitStep = [&] {
        if (platform.waitSteps == 20) doc.m_bScriptExit = 1;
    };
    Run("wait samples 600\n");
    EXPECT_EQ(platform.waitSteps, 20);
    EXPECT_TRUE(doc.m_scriptFailures.empty());
}

// A "repeat" loop with nothing in it that can change (no capture, no time passing) would run
// for ever unattended: it ends after its first pass. A loop that waits on the clock goes on.
TEST_F(ScriptTest, UnattendedLoopsEndOnlyWhenNothingCanChange) {
    platform.unattended = true;
    Run("carrier 1\nrepeat\n");
    EXPECT_EQ(doc.m_scriptFailures,
              std::vector<std::string>{"line 2 \"repeat\": repeats without waiting, and no capture is running: "
                                       "the script would run for ever without anything changing"});
    EXPECT_EQ(std::count(platform.titles.begin(), platform.titles.end(),
                         "Sorvantel from KELD - processing script command carrier 1"),
              1);

    const int64_t start = platform.now;
    platform.onWaitStep = [&] {
        if (platform.now - start >= 30) doc.m_bScriptExit = 1;  // Esc, 30 s on
    };
    Run("wait for 0:00:01\nrepeat\n");
    const long repeats = std::count(platform.titles.begin(), platform.titles.end(),
                                    "Sorvantel from KELD - processing script command repeat");
    EXPECT_GE(repeats, 29);
    EXPECT_LE(repeats, 30);
    EXPECT_TRUE(doc.m_scriptFailures.empty());
}

}  // namespace
}  // namespace sorv::test
