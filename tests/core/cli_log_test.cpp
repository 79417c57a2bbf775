// --log-dir appends exactly the lines the program itself writes for the same identifications,
// and stdout carries the same entries after the file name.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "cli/identification.h"
#include "support/cli_runner.h"
#include "support/fake_platform.h"
#include "support/live_doc.h"

namespace sorv {
namespace {

std::vector<std::string> LogLines(const std::string& dir) {
    std::vector<std::string> lines;
    for (const auto& e : std::filesystem::directory_iterator(dir)) {
        std::ifstream in(e.path(), std::ios::binary);
        for (std::string line; std::getline(in, line);) lines.push_back(line);
    }
    return lines;
}

TEST(CliLog, TheLogDirGetsExactlyTheProgramsLinesAndStdoutTheSameEntries) {
    test::TempDir dir;
    const std::string wav = dir.file("two.wav");
    // Two beacons on different tones and periods: two entries.
    SynthSpec spec = test::IdentSpec("DGU", 1015, 8, 8, 3, 5, 9);
    SynthIdent second;
    second.ident = "KX";
    second.toneHz = 940;
    second.periodSeconds = 10;
    second.wpm = 7;
    spec.idents.push_back(second);
    ASSERT_TRUE(test::WriteSynthWav(wav, spec));
    const std::string logs = dir.file("logs");

    const test::CliResult r =
        test::RunCliArgs({"analyse", "--detector", "classic", "--carrier", "404", "--usb", "--log-dir", logs, wav});
    EXPECT_EQ(r.status, 0) << r.err;
    const auto out = r.OutLines();
    const auto logged = LogLines(logs);
    ASSERT_EQ(out.size(), 2u) << r.out;
    ASSERT_EQ(logged.size(), 2u);
    for (size_t i = 0; i < 2; ++i) {
        ASSERT_FALSE(logged[i].empty());
        EXPECT_EQ(logged[i].back(), '\r');  // CR LF, as the program writes its logs
        EXPECT_EQ(out[i], wav + ": " + logged[i].substr(0, logged[i].size() - 1));
    }

    // The program, fed the same bytes through the same path, logs the same entries: compare
    // everything after the time stamp (its clock is another).
    test::FakePlatform platform;
    platform.logDirectory = dir.file("program") + "/";
    CSorvantelDoc doc(platform);
    doc.m_dCarrierKHz = 404;
    doc.m_nRxMode = 0;
    doc.StartRecordingInput();
    const auto bytes = test::ReadFileBytes(wav);
    for (size_t at = 44; at < bytes.size(); at += kBufferBytes)
        doc.ProcessAudioBlock(bytes.data() + at, std::min<size_t>(kBufferBytes, bytes.size() - at));
    doc.OnStop();
    doc.OnAutoSearch();
    const auto program = LogLines(dir.file("program"));
    ASSERT_EQ(program.size(), 2u);
    for (size_t i = 0; i < 2; ++i) EXPECT_EQ(program[i].substr(14), logged[i].substr(14));
    // KX's tone lies below DGU's, and the search walks the lines upward.
    EXPECT_NE(logged[0].find(" KX  404.0 kHz; sideband 404.9"), std::string::npos) << logged[0];
    EXPECT_NE(logged[1].find(" DGU 404.0 kHz; sideband 405.0"), std::string::npos) << logged[1];

    // Without --log-dir nothing is logged anywhere, and the lines are the same.
    const test::CliResult quiet = test::RunCliArgs({"analyse", "--detector", "classic", "--carrier", "404", "--usb", wav});
    ASSERT_EQ(quiet.OutLines().size(), 2u);
    EXPECT_EQ(quiet.OutLines()[1].substr(wav.size() + 16), out[1].substr(wav.size() + 16));
    EXPECT_EQ(LogLines(logs).size(), 2u);
}

TEST(CliLog, JsonCarriesTheFieldsOfEachIdentification) {
    Identification id;
    id.file = "dir/a \"quoted\"\\name\t.wav";
    id.segmentStartSeconds = 2097.152;
    id.ident = "DGU";
    id.line = 65;
    id.offsetHz = 1015.625;
    id.rfKHz = 405.015625;
    id.periodSeconds = 7.9998;
    id.wpm = 7;
    id.score = 150.25;
    id.logEntry = "20090315 1425 DGU offset 1015.6 Hz; period  8.00 s";
    const auto o = test::FlatJson::Parse(FormatIdentificationJson(id));
    ASSERT_TRUE(o.has_value()) << FormatIdentificationJson(id);
    EXPECT_EQ(o->size(), 12u);
    EXPECT_EQ(o->at("file").text, id.file);
    EXPECT_EQ(o->at("segment_start_s").number, 2097.152);
    EXPECT_EQ(o->at("line").number, 65);
    EXPECT_EQ(o->at("offset_hz").number, 1015.625);
    EXPECT_EQ(o->at("rf_khz").number, 405.015625);
    EXPECT_EQ(o->at("period_s").number, 7.9998);
    EXPECT_EQ(o->at("wpm").number, 7);
    EXPECT_EQ(o->at("score").number, 150.25);
    EXPECT_EQ(o->at("stamp_utc").text, "1970-01-01T00:00:00Z");
    EXPECT_EQ(o->at("recording_start").kind, test::JsonValue::Null);
    EXPECT_EQ(o->at("recording_start_from").kind, test::JsonValue::Null);
    id.stampUtc = 1237127100;
    id.recordingStartUtc = 1237125600;
    id.recordingStartSource = "bext chunk (local time)";
    const auto started = test::FlatJson::Parse(FormatIdentificationJson(id));
    EXPECT_EQ(started->at("stamp_utc").text, "2009-03-15T14:25:00Z");
    EXPECT_EQ(started->at("recording_start").text, "2009-03-15T14:00:00Z");
    EXPECT_EQ(started->at("recording_start_from").text, "bext chunk (local time)");
    id.rfKHz.reset();
    EXPECT_EQ(test::FlatJson::Parse(FormatIdentificationJson(id))->at("rf_khz").kind, test::JsonValue::Null);
    EXPECT_EQ(FormatIdentificationText(id), id.file + " @ 2097.2 s: " + id.logEntry);
    id.segmentStartSeconds = 0;
    EXPECT_EQ(FormatIdentificationText(id), id.file + ": " + id.logEntry);
    EXPECT_EQ(JsonString(std::string("\x01\x7f", 2)), "\"\\u0001\\u007f\"");
    // Names are bytes: UTF-8 passes, anything else becomes U+FFFD, so the line stays JSON.
    EXPECT_EQ(JsonString("nuit_\xc3\xa9t\xc3\xa9.wav"), "\"nuit_\xc3\xa9t\xc3\xa9.wav\"");
    EXPECT_EQ(JsonString("a\xff\xc3.wav"), "\"a\\ufffd\\ufffd.wav\"");
}

}  // namespace
}  // namespace sorv
