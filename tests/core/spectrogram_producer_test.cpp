#include <gtest/gtest.h>

#include <algorithm>

#include "engine/sorvantel_doc.h"
#include "support/fake_platform.h"
#include "support/signals.h"

namespace sorv::test {
namespace {

class ProducerTest : public ::testing::Test {
protected:
    FakePlatform platform;
    CSorvantelDoc doc{platform};
    void SetUp() override { PrepareProducer(doc); }

    void SetBand(int lo, int hi, int rowsPerFrame) {
        doc.m_nBandLow = lo;
        doc.m_nBandHigh = hi;
        doc.m_nRowsPerFrame = rowsPerFrame;
    }
    int PeakLine(int row) const {
        const double* r = doc.m_power[row];
        return static_cast<int>(std::max_element(r, r + 128) - r);
    }
};

TEST_F(ProducerTest, ToneAtBandCentrePeaksInLine63AndNeighboursOneSpacingAway) {
    // Default band 0..2000: fc = 1000 Hz, D = 24, spacing 48000/(128*24) = 15.625 Hz.
    const double spacing = 48000.0 / (128 * 24);
    for (auto [hz, line] : {std::pair{1000.0, 63}, {1000.0 + spacing, 64}, {1000.0 - spacing, 62}, {1500.0, 95}}) {
        PrepareProducer(doc);
        Feed(doc, Tone(hz, 40, 48000));
        ASSERT_GT(doc.m_nRows, 10);
        EXPECT_EQ(PeakLine(doc.m_nRows - 1), line) << hz;
    }
}

TEST_F(ProducerTest, ToneFollowsBandCentreOnNarrowBand) {
    SetBand(1000 - 94, 1000 + 94, 16);  // the 187.5 Hz choice around 1000 Hz, D = 255
    Feed(doc, Tone(1000, 40, 48000));
    ASSERT_GT(doc.m_nRows, 5);
    EXPECT_EQ(PeakLine(doc.m_nRows - 1), 63);
}

TEST_F(ProducerTest, ClippingIsSetOnlyByTheThreeExtremeBytes) {
    for (uint8_t b : {255, 0, 1}) {
        doc.m_bClipping = 0;
        doc.ProcessSample(b);
        EXPECT_EQ(doc.m_bClipping, 1) << int(b);
    }
    for (uint8_t b : {2, 254, 128}) {
        doc.m_bClipping = 0;
        doc.ProcessSample(b);
        EXPECT_EQ(doc.m_bClipping, 0) << int(b);
    }
}

TEST_F(ProducerTest, RawRingKeepsSignedSamplesAndWraps) {
    std::vector<uint8_t> bytes(1030);
    for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<uint8_t>(i % 256);
    Feed(doc, bytes);
    EXPECT_EQ(doc.m_nRawPos, 1030 % 1024);
    EXPECT_EQ(doc.m_rawRing[0], static_cast<int>(1024 % 256) - 128);  // overwritten by sample 1024
    EXPECT_EQ(doc.m_rawRing[10], 10 - 128);
}

TEST_F(ProducerTest, SilenceGivesZeroPowerAndLevel) {
    Feed(doc, std::vector<uint8_t>(48000, 128));
    ASSERT_GT(doc.m_nRows, 0);
    for (int r = 0; r < doc.m_nRows; ++r)
        for (int l = 0; l < 128; ++l) {
            ASSERT_EQ(doc.m_power[r][l], 0.0);
            ASSERT_EQ(doc.m_level[r][l], 0);
        }
}

TEST_F(ProducerTest, LevelSaturatesNearTwelveCountsOfAmplitude) {
    // sqrt(P) is about 0.35 * D * amplitude, so the level is about 21 * amplitude.
    Feed(doc, Tone(1000, 11, 48000));
    EXPECT_LT(doc.m_level[doc.m_nRows - 1][63], 255);
    EXPECT_GT(doc.m_level[doc.m_nRows - 1][63], 200);
    PrepareProducer(doc);
    Feed(doc, Tone(1000, 13, 48000));
    EXPECT_EQ(doc.m_level[doc.m_nRows - 1][63], 255);
}

TEST_F(ProducerTest, FirstRowComesAfterOneFrameOfSlots) {
    SetBand(-500, 2500, 1);  // D = 16: first row after 128 * 16 samples
    std::vector<uint8_t> s = Tone(1000, 30, 128 * 16);
    Feed(doc, std::vector<uint8_t>(s.begin(), s.end() - 1));
    EXPECT_EQ(doc.m_nRows, 0);
    doc.ProcessSample(s.back());
    EXPECT_EQ(doc.m_nRows, 1);

    PrepareProducer(doc);
    SetBand(906, 1094, 16);  // D = 255, S = 8: first row after 8 * 255 samples
    s = Tone(1000, 30, 8 * 255);
    Feed(doc, std::vector<uint8_t>(s.begin(), s.end() - 1));
    EXPECT_EQ(doc.m_nRows, 0);
    doc.ProcessSample(s.back());
    EXPECT_EQ(doc.m_nRows, 1);
}

TEST_F(ProducerTest, TitleShowsGainAfterTenSecondsAndSPointsFromSixDecibels) {
    // Default band: 31.25 rows per second, 1536 samples per row.
    Feed(doc, std::vector<uint8_t>(312 * 1536, 128));
    ASSERT_EQ(doc.m_nRows, 312);
    EXPECT_EQ(platform.title(), "Sorvantel from KELD - processing audio data (312 samples)");
    Feed(doc, std::vector<uint8_t>(1536, 128));
    EXPECT_EQ(platform.title(), "Sorvantel from KELD - processing audio data (313 samples; +0dB)");
    doc.m_nRows = 3124;
    Feed(doc, std::vector<uint8_t>(1536, 128));
    EXPECT_EQ(platform.title(), "Sorvantel from KELD - processing audio data (3125 samples; +10dB; 1 S-pts)");
    doc.m_bRecording = 1;
    Feed(doc, std::vector<uint8_t>(1536, 128));
    EXPECT_EQ(platform.title(),
              "Sorvantel from KELD - processing and recording audio data (3126 samples; +10dB; 1 S-pts)");
    doc.m_bRecording = 0;
}

TEST_F(ProducerTest, LoranModeMakesNoRowsAndLeavesTheTitle) {
    doc.m_bLoran = 1;
    doc.LoranReset();
    const size_t titles = platform.titles.size();
    Feed(doc, Tone(1000, 30, 48000));
    EXPECT_EQ(doc.m_nRows, 0);
    EXPECT_EQ(platform.titles.size(), titles);
    EXPECT_EQ(doc.m_nRawPos, 48000 % 1024);
}

TEST_F(ProducerTest, StoreFullStopsAtRow65536AndWritesNothingBeyond) {
    doc.m_nRows = kMaxRows - 1;
    Feed(doc, std::vector<uint8_t>(1536, 140));
    EXPECT_EQ(doc.m_nRows, kMaxRows);
    EXPECT_EQ(doc.m_bProcessing, 0);
    EXPECT_EQ(platform.title(), "Sorvantel from KELD - idle");
    // A late call never writes past the store.
    doc.ProcessSample(200);
    EXPECT_EQ(doc.m_nRows, kMaxRows);
}

TEST_F(ProducerTest, BandChangeWithCountPastNewDecimationClosesTheSlotAtOnce) {
    SetBand(906, 1094, 16);  // D = 255
    Feed(doc, std::vector<uint8_t>(100, 128));
    ASSERT_EQ(doc.m_nDecimCount, 100);
    SetBand(-500, 2500, 1);  // D = 16
    const int slot = doc.m_nRingPos;
    doc.ProcessSample(128);
    EXPECT_EQ(doc.m_nDecimCount, 0);
    EXPECT_EQ(doc.m_nRingPos, (slot + 1) % 128);
}

TEST_F(ProducerTest, RowsAreRequestedToRedraw) {
    const int before = platform.redraws;
    Feed(doc, std::vector<uint8_t>(1536 * 3, 128));
    EXPECT_EQ(platform.redraws - before, 3);
}

}  // namespace
}  // namespace sorv::test
