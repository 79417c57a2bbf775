// When a recording began, from the best evidence it holds, and identifications made in it
// logged at that time into the daily log of that UTC day -- by sorvantel-cli analyse and by
// the window's Analyse recording alike.
#include <gtest/gtest.h>
#include <sys/time.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "audio/file/recording_feed.h"
#include "audio/file/recording_start.h"
#include "engine/sorvantel_doc.h"
#include "support/cli_runner.h"
#include "support/fake_platform.h"
#include "support/wav_bytes.h"

namespace sorv {
namespace {

using test::WavBytes;

constexpr int64_t kMar5 = 1709673330;  // 2024-03-05 21:15:30 UTC

// A short 8-bit mono recording with the given extra chunks, its file time set to mtime.
std::string Recording(const test::TempDir& dir, const std::string& name, int64_t mtime,
                      const std::vector<std::pair<const char*, std::vector<uint8_t>>>& chunks = {}) {
    WavBytes w;
    w.Fmt(1, 1, 48000, 8);
    for (const auto& [id, body] : chunks) w.Chunk(id, body);
    w.Chunk("data", std::vector<uint8_t>(48000, 128));
    const std::string path = dir.file(name);
    EXPECT_TRUE(w.Write(path));
    const timeval times[2] = {{static_cast<time_t>(mtime), 0}, {static_cast<time_t>(mtime), 0}};
    EXPECT_EQ(utimes(path.c_str(), times), 0);
    return path;
}

// The zone rules of a test platform one hour east of UTC.
struct OneHourEast {
    test::FakePlatform platform;
    OneHourEast() { platform.localOffset = 3600; }
    LocalToUtcFn Rules() {
        return [this](const CalendarTime& local, int64_t& utc) { return platform.LocalToUtc(local, utc); };
    }
};

TEST(RecordingStart, ChunksFirstTheAuxiInUtcTheBextInLocalTime) {
    test::TempDir dir;
    OneHourEast zone;
    const int64_t later = kMar5 + 86400;
    auto s = FindRecordingStart(
        Recording(dir, "a_20200101_000000Z.wav", later, {{"auxi", WavBytes::Auxi(2024, 3, 5, 21, 15, 30, 404000)}}), 1.0,
        zone.Rules());
    ASSERT_TRUE(s);
    EXPECT_EQ(s->utc, kMar5);
    EXPECT_EQ(s->source, "auxi chunk");

    s = FindRecordingStart(Recording(dir, "b.wav", later, {{"bext", WavBytes::Bext("2024-03-05", "22:15:30")}}), 1.0,
                           zone.Rules());
    ASSERT_TRUE(s);
    EXPECT_EQ(s->utc, kMar5);
    EXPECT_EQ(s->source, "bext chunk (local time)");
    EXPECT_TRUE(s->passedOver.empty());

    // Chunks that cannot be believed are passed over, and said.
    s = FindRecordingStart(Recording(dir, "c_20240305_211530Z.wav", later,
                                     {{"auxi", WavBytes::Auxi(2024, 2, 30, 0, 0, 0, 404000)},
                                      {"bext", WavBytes::Bext("2024:13:01", "00:00:00")}}),
                           1.0, zone.Rules());
    ASSERT_TRUE(s);
    EXPECT_EQ(s->utc, kMar5);
    EXPECT_EQ(s->source, "file name (UTC)");
    ASSERT_EQ(s->passedOver.size(), 2u);
    EXPECT_EQ(s->passedOver[0], "the auxi chunk's start time 2024-02-30 00:00:00 is not a date and time");
    EXPECT_EQ(s->passedOver[1], "the bext chunk's origination time 2024-13-01 00:00:00 is not a date and time");
}

TEST(RecordingStart, TheProgramsOwnNameTakesTheLatestYearNotAfterTheFileTimeAndGivesTheCarrier) {
    test::TempDir dir;
    OneHourEast zone;
    // 6 December 22:15:30 local is 21:15:30 UTC; the file was closed the next day.
    const int64_t dec6 = 1733519730;  // 2024-12-06 21:15:30 UTC
    auto s = FindRecordingStart(Recording(dir, "1206221530_404500hz.wav", dec6 + 3600, {}), 1.0, zone.Rules());
    ASSERT_TRUE(s);
    EXPECT_EQ(s->utc, dec6);
    EXPECT_EQ(s->source, "file name (the program's own, local time; the year 2024 from the file's modification time)");
    EXPECT_EQ(s->carrierKHz, 404.5);
    // Copied in spring: still last December.
    s = FindRecordingStart(Recording(dir, "1206221530.wav", dec6 + 100 * 86400, {}), 1.0, zone.Rules());
    EXPECT_EQ(s->utc, dec6);
    EXPECT_FALSE(s->carrierKHz);
    // A file time before the name's clock time this year: the year before.
    s = FindRecordingStart(Recording(dir, "1206221530_77000hz.wav", dec6 - 60, {}), 1.0, zone.Rules());
    EXPECT_EQ(s->utc, dec6 - 366 * 86400);  // 2024 is a leap year
    EXPECT_EQ(s->carrierKHz, 77.0);
    // 29 February exists only in leap years.
    s = FindRecordingStart(Recording(dir, "0229130000.wav", dec6 + 200 * 86400, {}), 1.0, zone.Rules());
    EXPECT_EQ(s->utc, 1709208000);  // 2024-02-29 12:00:00 UTC
    // Not the program's names.
    for (const char* name : {"1306221530.wav", "1206221530_hz.wav", "1206221530_404000.wav", "120622153.wav",
                             "1206221530_404000hz.flac", "x1206221530.wav"})
        EXPECT_FALSE(ParseProgramRecordingName(name)) << name;
}

TEST(RecordingStart, NameStampsAreUtcWithAZAndLocalWithoutThenTheFileTimeLessTheDuration) {
    test::TempDir dir;
    OneHourEast zone;
    const int64_t later = kMar5 + 86400;
    auto s = FindRecordingStart(Recording(dir, "HDSDR_20240305_211530Z_404kHz_RF.wav", later), 1.0, zone.Rules());
    EXPECT_EQ(s->utc, kMar5);
    EXPECT_EQ(s->source, "file name (UTC)");
    s = FindRecordingStart(Recording(dir, "rec-20240305T221530.wav", later), 1.0, zone.Rules());
    EXPECT_EQ(s->utc, kMar5);
    EXPECT_EQ(s->source, "file name (local time)");
    // An impossible stamp, or digits that run on, are no stamps: the file time less the length.
    for (const char* name : {"x_20240231_120000Z.wav", "x_120240305_211530Z.wav", "night.wav"}) {
        s = FindRecordingStart(Recording(dir, name, kMar5 + 70), 70.4, zone.Rules());
        ASSERT_TRUE(s) << name;
        EXPECT_EQ(s->utc, kMar5) << name;
        EXPECT_EQ(s->source, "the file's modification time less its duration");
    }
    EXPECT_FALSE(FindRecordingStart(dir.file("missing.wav"), 1.0, zone.Rules()));
    EXPECT_EQ(FormatUtcSeconds(kMar5), "2024-03-05 21:15:30 UTC");
    EXPECT_EQ(FormatUtcIso(kMar5), "2024-03-05T21:15:30Z");
}

class RowsStartLog : public ::testing::Test {
protected:
    test::FakePlatform platform;
    CSorvantelDoc doc{platform};
    std::string dir;
    void SetUp() override {
        dir = platform.dir.path() + "/logs/";
        doc.m_strLogDirectory = dir;
        doc.m_nRows = 1;
        doc.m_nLine = 65;
        platform.now = 1700000000;  // the analysis: 2023-11-14 22:13:20 UTC
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

TEST_F(RowsStartLog, EntriesCarryTheRecordingsTimeIntoThatUtcDaysLog) {
    doc.m_strTimeStamp = "20090315 1425 ";  // an earlier Load's stamp gives way to the recording's
    doc.m_tRowsStart = 1735689570;          // 2024-12-31 23:59:30 UTC
    Log("AB");
    doc.m_tRowsStart = 1735689630;  // the next segment, past midnight
    Log("CD");
    EXPECT_EQ(Read("sorvantel241231.log"), "20241231 2359 AB  offset 1015.6 Hz; period  9.50 s\r\n");
    EXPECT_EQ(Read("sorvantel250101.log"), "20250101 0000 CD  offset 1015.6 Hz; period  9.50 s\r\n");
    EXPECT_EQ(doc.LogTimeStamp(), "20250101 0000 ");

    // Live rows after Start are stamped as designed again: the loaded stamp, today's file.
    doc.OnStart();
    doc.OnStop();
    EXPECT_FALSE(doc.m_tRowsStart);
    doc.m_nRows = 1;
    doc.m_nLine = 65;
    Log("EF");
    EXPECT_EQ(Read("sorvantel231114.log"), "20090315 1425 EF  offset 1015.6 Hz; period  9.50 s\r\n");

    // Load replaces the rows, and with them the recording's time.
    const std::string svl = platform.dir.file("rows.svl");
    {
        std::ofstream f(svl, std::ios::binary);
        const int32_t rows = 1;
        f.write(reinterpret_cast<const char*>(&rows), 4);
        f.write(std::string(128 * 8, '\0').data(), 128 * 8);
    }
    doc.m_tRowsStart = 1735689570;
    platform.yesNoAnswers.push_back(true);  // over the rows in the store
    platform.openAnswers.push_back(svl);
    doc.OnLoad();
    EXPECT_FALSE(doc.m_tRowsStart);
}

TEST(RecordingStartWindow, AnalyseRecordingStampsTheRowsAndTakesTheCarrierOfTheProgramsName) {
    test::TempDir dir;
    const std::string wav = dir.file("1231235900_404000hz.wav");  // local time, one hour east
    ASSERT_TRUE(test::WriteSynthWav(wav, test::IdentSpec("DGU", 1015, 8, 8, 6, 0.5)));
    const int64_t closed = 1735689600 + 86400;  // written on New Year's Day
    const timeval times[2] = {{static_cast<time_t>(closed), 0}, {static_cast<time_t>(closed), 0}};
    ASSERT_EQ(utimes(wav.c_str(), times), 0);

    test::FakePlatform platform;
    platform.localOffset = 3600;
    CSorvantelDoc doc(platform);
    RecordingFeed feed(doc);
    std::string message;
    ASSERT_TRUE(feed.Begin(wav, {}, message)) << message;
    while (feed.Feed(10)) {
    }
    EXPECT_EQ(doc.m_tRowsStart, 1735685940);  // 2024-12-31 22:59:00 UTC
    EXPECT_EQ(doc.m_dCarrierKHz, 404.0);
    ASSERT_TRUE(feed.Start());
    EXPECT_EQ(feed.Start()->source.rfind("file name (the program's own", 0), 0u);
    EXPECT_EQ(doc.LogTimeStamp(), "20241231 2259 ");
}

// Every stdout line of an analyse --json with its fields; and the log folder's files.
std::map<std::string, std::string> LogFiles(const std::string& dir) {
    std::map<std::string, std::string> files;
    for (const auto& e : std::filesystem::directory_iterator(dir)) {
        std::ifstream in(e.path(), std::ios::binary);
        files[e.path().filename().string()] = std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    }
    return files;
}

TEST(RecordingStartCli, AnalyseLogsEachRecordingAtItsOwnTimeInThatDaysFile) {
    test::TempDir dir;
    // One recording ends the year, the next begins the new one; both analysed now.
    const std::string before = dir.file("DGU_20241231_235800Z.wav"), after = dir.file("KX-20250101_000030Z.wav");
    ASSERT_TRUE(test::WriteSynthWav(before, test::IdentSpec("DGU", 1015, 8, 8, 10, 1.5)));
    ASSERT_TRUE(test::WriteSynthWav(after, test::IdentSpec("KX", 1015, 8, 8, 10, 1.5)));
    const std::string logs = dir.file("logs");
    const test::CliResult r = test::RunCliArgs({"analyse", "--detector", "classic", "--wpm", "8", "--json", "--tone-min", "1000",
                                                "--tone-max", "1000", "--log-dir", logs, before, after});
    ASSERT_EQ(r.status, 0) << r.err;
    const auto found = r.Json();
    ASSERT_EQ(found.size(), 2u) << r.out;
    EXPECT_EQ(found[0].at("recording_start").text, "2024-12-31T23:58:00Z");
    EXPECT_EQ(found[0].at("recording_start_from").text, "file name (UTC)");
    EXPECT_EQ(found[0].at("stamp_utc").text, "2024-12-31T23:58:00Z");
    EXPECT_EQ(found[1].at("stamp_utc").text, "2025-01-01T00:00:30Z");
    const auto files = LogFiles(logs);
    ASSERT_EQ(files.size(), 2u);
    EXPECT_EQ(files.at("sorvantel241231.log").rfind("20241231 2358 DGU ", 0), 0u) << files.at("sorvantel241231.log");
    EXPECT_EQ(files.at("sorvantel250101.log").rfind("20250101 0000 KX  ", 0), 0u) << files.at("sorvantel250101.log");
}

TEST(RecordingStartCli, TheProgramsOwnNameSetsTheCarrierUnlessOneIsGiven) {
    test::TempDir dir;
    const std::string wav = dir.file("1231235900_404000hz.wav");
    ASSERT_TRUE(test::WriteSynthWav(wav, test::IdentSpec("DGU", 1015, 8, 8, 10, 1.5)));
    test::CliResult r = test::RunCliArgs({"analyse", "--detector", "classic", "--wpm", "8", "--usb", "--tone-min", "1000",
                                          "--tone-max", "1000", wav});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.err.find(wav + ": carrier 404.000 kHz from the file name"), std::string::npos) << r.err;
    EXPECT_NE(r.out.find("DGU 404.0 kHz; sideband 405.000 kHz;"), std::string::npos) << r.out;
    r = test::RunCliArgs({"analyse", "--detector", "classic", "--wpm", "8", "--usb", "--carrier", "380", "--tone-min", "1000",
                          "--tone-max", "1000", wav});
    EXPECT_EQ(r.err.find("from the file name"), std::string::npos) << r.err;
    EXPECT_NE(r.out.find("DGU 380.0 kHz;"), std::string::npos) << r.out;
}

}  // namespace
}  // namespace sorv
