#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "audio/synth/receiver_audio.h"
#include "support/live_doc.h"

namespace sorv {
namespace {

std::vector<std::vector<uint8_t>> Seconds(double seconds, uint32_t seed) {
    SynthSpec spec;
    SynthIdent id;
    id.toneHz = 1015;
    id.periodSeconds = 4;
    spec.idents.push_back(id);
    spec.carriers.push_back({900.0, -6.0});
    spec.withNoise = true;
    spec.snrDb = 6;
    spec.seconds = seconds;
    spec.seed = seed;
    ReceiverAudio audio(spec);
    std::vector<std::vector<uint8_t>> out;
    std::vector<uint8_t> block(kBufferBytes);
    while (size_t n = audio.Fill(block.data(), block.size())) out.emplace_back(block.begin(), block.begin() + static_cast<long>(n));
    return out;
}

void ExpectSameRows(const CSorvantelDoc& a, const CSorvantelDoc& b) {
    ASSERT_EQ(a.m_nRows, b.m_nRows);
    ASSERT_GT(a.m_nRows, 0);
    const size_t rows = static_cast<size_t>(a.m_nRows);
    EXPECT_EQ(std::memcmp(a.m_power.get(), b.m_power.get(), rows * sizeof a.m_power[0]), 0);
    EXPECT_EQ(std::memcmp(a.m_level.get(), b.m_level.get(), rows * sizeof a.m_level[0]), 0);
    EXPECT_EQ(std::memcmp(a.m_rawRing, b.m_rawRing, sizeof a.m_rawRing), 0);
    EXPECT_EQ(a.m_dPhase, b.m_dPhase);
    EXPECT_EQ(a.m_nRingPos, b.m_nRingPos);
}

// The same bytes through a capture device and the capture handler, and from a file through
// the recording path, give the same rows bit for bit, in the start-up band and a narrow one.
TEST(RecordingEnginePath, RowsAreBitIdenticalToRowsFromTheCaptureHandler) {
    for (int narrow = 0; narrow <= 1; ++narrow) {
        auto seconds = Seconds(6.5, 3);
        seconds[2][100] = 255;  // audio limiting in the third second only

        test::LiveDoc live;
        CSorvantelDoc& captured = live.Make();
        test::FakePlatform platform;
        CSorvantelDoc fromFile(platform);
        for (CSorvantelDoc* d : {&captured, &fromFile}) {
            if (narrow) {
                d->m_nBandLow = 1015 - 94;
                d->m_nBandHigh = 1015 + 94;
                d->m_nRowsPerFrame = 16;
            }
        }
        captured.OnStart();
        fromFile.StartRecordingInput();
        EXPECT_TRUE(platform.captureOpens.empty());  // no device for a file
        EXPECT_EQ(fromFile.m_bProcessing, 1);
        for (size_t s = 0; s < seconds.size(); ++s) {
            ASSERT_TRUE(live.Second(seconds[s]));
            EXPECT_EQ(fromFile.ProcessAudioBlock(seconds[s].data(), seconds[s].size()), seconds[s].size());
            EXPECT_EQ(fromFile.m_bClipping, captured.m_bClipping) << "second " << s;
            EXPECT_EQ(fromFile.m_bClipping, s == 2 ? 1 : 0);
        }
        ExpectSameRows(captured, fromFile);
        EXPECT_EQ(platform.title(), live.platform.title());
    }
}

TEST(RecordingEnginePath, AFullStoreStopsTheBlockAtTheRowThatFilledIt) {
    test::FakePlatform platform;
    CSorvantelDoc doc(platform);
    doc.StartRecordingInput();
    // One row short of the store: the next row comes after 1536 samples at the start-up band.
    doc.m_nRows = kMaxRows - 1;
    std::vector<uint8_t> block(kBufferBytes, 140);
    EXPECT_EQ(doc.ProcessAudioBlock(block.data(), block.size()), 1536u);
    EXPECT_EQ(doc.m_nRows, kMaxRows);
    EXPECT_EQ(doc.m_bProcessing, 0);
    EXPECT_EQ(platform.title(), "Sorvantel from KELD - idle");
    // Stopped: nothing more is taken.
    EXPECT_EQ(doc.ProcessAudioBlock(block.data(), block.size()), 0u);
    EXPECT_EQ(doc.m_nRows, kMaxRows);
}

TEST(RecordingEnginePath, StartingAFileResetsTheEngineAsStartDoes) {
    test::FakePlatform platform;
    CSorvantelDoc doc(platform);
    doc.StartRecordingInput();
    const auto seconds = Seconds(2, 1);
    for (const auto& s : seconds) doc.ProcessAudioBlock(s.data(), s.size());
    ASSERT_GT(doc.m_nRows, 0);
    doc.m_nLine = 64;
    doc.m_nPeriodBin = 12;
    doc.OnStop();
    doc.StartRecordingInput();
    EXPECT_EQ(doc.m_nRows, 0);
    EXPECT_EQ(doc.m_nLine, -1);
    EXPECT_EQ(doc.m_nPeriodBin, -1);
    EXPECT_EQ(doc.m_dPhase, 0.0);
    EXPECT_EQ(doc.m_power[0][63], 0.0);
    EXPECT_EQ(doc.m_bProcessing, 1);
    // The second run of the same bytes gives the first run's rows again, from the second row
    // on: Start leaves the mixing ring as it was, so the first frame still holds old slots.
    test::FakePlatform p2;
    CSorvantelDoc fresh(p2);
    fresh.StartRecordingInput();
    for (const auto& s : seconds) {
        doc.ProcessAudioBlock(s.data(), s.size());
        fresh.ProcessAudioBlock(s.data(), s.size());
    }
    ASSERT_EQ(doc.m_nRows, fresh.m_nRows);
    EXPECT_NE(std::memcmp(doc.m_power[0], fresh.m_power[0], sizeof doc.m_power[0]), 0);
    EXPECT_EQ(std::memcmp(doc.m_power[1], fresh.m_power[1], static_cast<size_t>(doc.m_nRows - 1) * sizeof doc.m_power[0]), 0);
}

}  // namespace
}  // namespace sorv
