// A whole night's work through the real engine, as fast as the machine goes: capture with a
// keyed ident in it, recording on, until the store is full and the program stops itself; the
// recording must hold every byte the engine took, Save and Load must give the same rows, and
// the automatic search must log the ident. Then Loran-C for a quarter of an hour on the test
// clock. Resident memory may not grow over either run.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

#include "support/live_doc.h"
#include "support/morse_audio.h"

namespace sorv::test {
namespace {

// Resident memory of this process, from the kernel's page count.
long ResidentBytes() {
    long size = 0, resident = 0;
    std::FILE* f = std::fopen("/proc/self/statm", "r");
    if (!f) return -1;
    const int read = std::fscanf(f, "%ld %ld", &size, &resident);
    std::fclose(f);
    return read == 2 ? resident * sysconf(_SC_PAGESIZE) : -1;
}

// What "no growth" allows: scratch vectors of the searches, the C library's caches and the
// helper threads' stacks, far below one store (the smallest is 32 MiB).
constexpr long kResidentSlack = 16L << 20;

// FNV-1a, 64 bits: enough to tell two 100 MB byte streams apart.
class Digest {
public:
    void Add(const uint8_t* p, size_t n) {
        for (size_t i = 0; i < n; ++i) h_ = (h_ ^ p[i]) * 1099511628211ull;
        bytes_ += n;
    }
    uint64_t value() const { return h_; }
    uint64_t bytes() const { return bytes_; }

private:
    uint64_t h_ = 14695981039346656037ull;
    uint64_t bytes_ = 0;
};

Digest DigestOfFile(const std::string& path, size_t from) {
    Digest d;
    std::ifstream in(path, std::ios::binary);
    in.seekg(static_cast<std::streamoff>(from));
    std::vector<char> chunk(1 << 20);
    while (in.read(chunk.data(), static_cast<std::streamsize>(chunk.size())) || in.gcount() > 0)
        d.Add(reinterpret_cast<const uint8_t*>(chunk.data()), static_cast<size_t>(in.gcount()));
    return d;
}

uint64_t DigestOfRows(const CSorvantelDoc& doc) {
    Digest d;
    d.Add(reinterpret_cast<const uint8_t*>(&doc.m_power[0][0]), sizeof(double) * kLines * kMaxRows);
    return d.value();
}

std::string ReadText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

class SoakTest : public ::testing::Test, protected LiveDoc {};

TEST_F(SoakTest, ANightOfCaptureFillsTheStoreRecordsEveryByteAndTheSearchLogsTheIdent) {
    Make();
    const long residentAtStart = ResidentBytes();
    ASSERT_GT(residentAtStart, 0);
    doc->m_dCarrierKHz = 404.0;
    doc->m_nRxMode = 0;

    doc->OnStart();
    ASSERT_EQ(doc->m_bProcessing, 1);
    doc->OnRecord();
    ASSERT_EQ(doc->m_bRecording, 1);
    const std::string wav = doc->m_strWavPath;

    // DGU at 1000 Hz, 8 wpm, every 9 s, in noise: the buffers the recording took are digested
    // as they go; the one in which the store fills is cut short and never reaches the file.
    MorseIdentSpec spec;
    spec.noiseRms = 12.0;
    spec.seed = 29;
    MorseIdentAudio audio(spec);
    std::vector<uint8_t> second(kBufferBytes);
    Digest fed;
    int buffers = 0;
    while (doc->m_bProcessing) {
        audio.Fill(second.data(), second.size());
        ASSERT_TRUE(Second(second)) << "capture stopped taking buffers after " << buffers;
        ++buffers;
        if (!doc->m_bProcessing) break;
        fed.Add(second.data(), second.size());
        platform.titles.clear();  // the test platform keeps every title; the program does not
    }
    // 65536 rows of 1536 samples end inside the 2098th second.
    EXPECT_EQ(buffers, 2098);
    EXPECT_EQ(doc->m_nRows, kMaxRows);
    EXPECT_EQ(doc->m_bRecording, 0);
    EXPECT_EQ(platform.title(), "Sorvantel from KELD - idle");
    EXPECT_TRUE(platform.messages.empty());

    // The file is the header and exactly the bytes fed; the header says so.
    ASSERT_EQ(fed.bytes(), 2097u * kBufferBytes);
    EXPECT_EQ(std::filesystem::file_size(wav), 46 + fed.bytes());
    std::vector<uint8_t> header(46);
    std::ifstream(wav, std::ios::binary).read(reinterpret_cast<char*>(header.data()), 46);
    EXPECT_EQ(std::string(header.begin(), header.begin() + 4), "RIFF");
    EXPECT_EQ(Le32(header, 4), fed.bytes() + 38);
    EXPECT_EQ(std::string(header.begin() + 8, header.begin() + 16), "WAVEfmt ");
    EXPECT_EQ(Le32(header, 16), 18u);
    EXPECT_EQ(Le32(header, 24), 48000u);
    EXPECT_EQ(Le16(header, 34), 8u);
    EXPECT_EQ(std::string(header.begin() + 38, header.begin() + 42), "data");
    EXPECT_EQ(Le32(header, 42), fed.bytes());
    const Digest recorded = DigestOfFile(wav, 46);
    EXPECT_EQ(recorded.bytes(), fed.bytes());
    EXPECT_EQ(recorded.value(), fed.value());

    // Save, then Load over the same store: the same 65536 rows come back.
    const uint64_t rows = DigestOfRows(*doc);
    const std::string svl = platform.dir.file("night.svl");
    platform.saveAnswers.push_back(svl);
    doc->OnSave();
    EXPECT_EQ(std::filesystem::file_size(svl), 4u + 1024u * kMaxRows);
    std::fill_n(&doc->m_power[0][0], static_cast<size_t>(kLines) * kMaxRows, 0.0);
    platform.yesNoAnswers.push_back(true);
    platform.openAnswers.push_back(svl);
    doc->OnLoad();
    EXPECT_EQ(platform.messages, std::vector<std::string>{"Overwrite the existing spectrum data?"});
    EXPECT_EQ(doc->m_nRows, kMaxRows);
    EXPECT_EQ(DigestOfRows(*doc), rows);
    EXPECT_EQ(platform.title(), "Loaded file night.svl");

    // The automatic search finds the ident and logs it.
    doc->OnAutoSearch();
    const CalendarTime utc = platform.ToUtc(platform.now);
    char name[32];
    std::snprintf(name, sizeof name, "sorvantel%02d%02d%02d.log", utc.tm_year % 100, utc.tm_mon + 1, utc.tm_mday);
    const std::string log = ReadText(doc->m_strLogDirectory + name);
    EXPECT_NE(log.find(" DGU 404.0 kHz; sideband"), std::string::npos) << log;
    EXPECT_NE(log.find("period  9.00 s"), std::string::npos) << log;
    EXPECT_EQ(platform.messages.size(), 1u);

    const long residentAtEnd = ResidentBytes();
    std::printf("resident memory: %.1f MiB after construction, %.1f MiB after the night\n",
                residentAtStart / 1048576.0, residentAtEnd / 1048576.0);
    EXPECT_LT(residentAtEnd, residentAtStart + kResidentSlack)
        << "resident memory grew from " << residentAtStart << " to " << residentAtEnd << " bytes";
}

// Loran-C for a quarter of an hour of audio, the slot clock running on the test clock (one
// second per buffer): a new slot begins whenever more than ten seconds have passed, each slot
// holds exactly the samples of its seconds, and nothing becomes a spectrogram row.
TEST_F(SoakTest, LoranCForAQuarterOfAnHourOnTheTestClock) {
    Make();
    doc->OnLoranMode();
    ASSERT_EQ(doc->m_bLoran, 1);
    const long residentAtStart = ResidentBytes();
    doc->OnStart();
    ASSERT_EQ(doc->m_bProcessing, 1);

    // A steady offset of +10 on every sample: a slot's sums add up to 10 per sample it took.
    const std::vector<uint8_t> level(kBufferBytes, 138);
    std::vector<int> secondsInSlot(kLoranSlots, 0);
    std::vector<int> slotOfSecond;
    constexpr int kSeconds = 15 * 60;
    for (int s = 0; s < kSeconds; ++s) {
        const int slot = doc->m_nLoranSlot;
        ASSERT_TRUE(Second(level));
        ++secondsInSlot[static_cast<size_t>(slot)];
        slotOfSecond.push_back(slot);
        platform.now += 1;
    }
    EXPECT_EQ(doc->m_nRows, 0);
    EXPECT_EQ(doc->m_bProcessing, 1);

    // The first tick opens slot 1 (the slot clock starts at time 0); after that a slot lasts
    // from one tick to the first tick more than ten seconds later: eleven seconds.
    EXPECT_EQ(secondsInSlot[0], 1);
    const int fullSlots = (kSeconds - 1) / 11;
    for (int s = 1; s <= fullSlots; ++s) EXPECT_EQ(secondsInSlot[static_cast<size_t>(s)], 11) << "slot " << s;
    EXPECT_EQ(doc->m_nLoranSlot, fullSlots + 1);
    for (int s = 0; s <= fullSlots; ++s) {
        double sum = 0.0;
        for (int j = 0; j < kLoranSlotLength; ++j) sum += doc->m_loranRing[s][j];
        EXPECT_EQ(sum, 10.0 * kBufferBytes * secondsInSlot[static_cast<size_t>(s)]) << "slot " << s;
    }
    // The samples of a slot lie within one GRI (3230.88 samples, so indices 0 to 3231) and
    // fill every position inside it.
    const int length = static_cast<int>(doc->m_dLoranLength + 0.5);
    for (int j = 1; j < length; ++j) ASSERT_GT(doc->m_loranRing[5][j], 0.0) << j;
    for (int j = length + 1; j < kLoranSlotLength; ++j) ASSERT_EQ(doc->m_loranRing[5][j], 0.0) << j;

    doc->OnStop();
    EXPECT_EQ(platform.title(), "Sorvantel from KELD - idle");
    EXPECT_LT(ResidentBytes(), residentAtStart + kResidentSlack);
}

}  // namespace
}  // namespace sorv::test
