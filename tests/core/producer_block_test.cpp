// The block step of the producer against the plain one-sample-at-a-time step: every store and
// counter the step writes, and every title and redraw it asks for, must be the same bit for
// bit, whatever the band, the block sizes and the changes made between or during blocks.
#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <cstring>
#include <functional>
#include <random>
#include <vector>

#include "engine/sorvantel_doc.h"
#include "support/fake_platform.h"
#include "support/producer_reference.h"
#include "support/signals.h"

namespace sorv::test {
namespace {

struct BandSetting {
    int lo, hi, rowsPerFrame;
};

// The spectral range dialog's five choices around 1015 Hz, and the start-up band.
constexpr BandSetting kBands[] = {
    {1015 - 1500, 1015 + 1500, 1}, {1015 - 750, 1015 + 750, 2}, {1015 - 375, 1015 + 375, 4},
    {1015 - 188, 1015 + 188, 8},   {1015 - 94, 1015 + 94, 16},  {0, 2000, 2},
};

// Block sizes that never line up with slots, rows or the raw ring.
constexpr size_t kBlockSizes[] = {1, 7, 4801, 333, 1024, 2, 12000, 999, 48000, 5};

// A beacon-like tone in noise, with a clipped byte now and then, ending in a muted stretch
// (silence fills the ring with sums of signed zeros, whose signs must come out alike).
std::vector<uint8_t> Audio(size_t samples, uint32_t seed) {
    std::mt19937 rng(seed);
    std::vector<uint8_t> out(samples, 128);
    for (size_t i = 0; i + 6000 < samples; ++i) {
        const double tone = 30.0 * std::sin(2 * M_PI * 1015.0 * static_cast<double>(i) / 48000.0);
        int v = 128 + static_cast<int>(std::lround(tone)) + static_cast<int>(rng() % 41) - 20;
        if (rng() % 5000 == 0) v = rng() % 2 ? 255 : 0;
        out[i] = static_cast<uint8_t>(std::clamp(v, 0, 255));
    }
    return out;
}

bool SameBits(const void* a, const void* b, size_t bytes) { return std::memcmp(a, b, bytes) == 0; }

class ProducerBlockTest : public ::testing::Test {
protected:
    FakePlatform blockPlatform, referencePlatform;
    CSorvantelDoc block{blockPlatform};
    CSorvantelDoc reference{referencePlatform};

    void SetUp() override {
        for (CSorvantelDoc* d : {&block, &reference}) PrepareProducer(*d);
    }
    void ForBoth(const std::function<void(CSorvantelDoc&)>& f) {
        f(block);
        f(reference);
    }
    void SetBand(const BandSetting& b) {
        ForBoth([&b](CSorvantelDoc& d) {
            d.m_nBandLow = b.lo;
            d.m_nBandHigh = b.hi;
            d.m_nRowsPerFrame = b.rowsPerFrame;
        });
    }
    // Feeds both documents the same blocks; each must take as many bytes as the other.
    void Feed(const std::vector<uint8_t>& audio, size_t firstSize = 0) {
        size_t at = 0;
        for (size_t i = firstSize; at < audio.size(); ++i) {
            const size_t n = std::min(kBlockSizes[i % std::size(kBlockSizes)], audio.size() - at);
            const size_t tookBlock = block.ProcessAudioBlock(audio.data() + at, n);
            const size_t tookReference = ReferenceProcessAudioBlock(reference, audio.data() + at, n);
            ASSERT_EQ(tookBlock, tookReference) << "block at " << at;
            ASSERT_EQ(block.m_bClipping, reference.m_bClipping) << "block at " << at;
            at += n;
        }
    }
    void ExpectSameState() {
        const CSorvantelDoc& a = block;
        const CSorvantelDoc& b = reference;
        ASSERT_EQ(a.m_nRows, b.m_nRows);
        // One row past the last stored one too: nothing may be written there.
        const size_t rows = static_cast<size_t>(std::min(a.m_nRows + 1, kMaxRows));
        EXPECT_TRUE(SameBits(a.m_power.get(), b.m_power.get(), rows * sizeof a.m_power[0]));
        EXPECT_TRUE(SameBits(a.m_level.get(), b.m_level.get(), rows * sizeof a.m_level[0]));
        EXPECT_TRUE(SameBits(a.m_rawRing, b.m_rawRing, sizeof a.m_rawRing));
        EXPECT_EQ(a.m_nRawPos, b.m_nRawPos);
        EXPECT_EQ(a.m_bClipping, b.m_bClipping);
        EXPECT_TRUE(SameBits(&a.m_dPhase, &b.m_dPhase, sizeof a.m_dPhase)) << a.m_dPhase << " " << b.m_dPhase;
        EXPECT_EQ(a.m_nDecimCount, b.m_nDecimCount);
        EXPECT_EQ(a.m_nRingPos, b.m_nRingPos);
        EXPECT_TRUE(SameBits(a.m_ringI, b.m_ringI, sizeof a.m_ringI));
        EXPECT_TRUE(SameBits(a.m_ringQ, b.m_ringQ, sizeof a.m_ringQ));
        EXPECT_TRUE(SameBits(a.m_fftA, b.m_fftA, sizeof a.m_fftA));
        EXPECT_TRUE(SameBits(a.m_fftB, b.m_fftB, sizeof a.m_fftB));
        EXPECT_EQ(a.m_bProcessing, b.m_bProcessing);
        EXPECT_EQ(a.m_bLoran, b.m_bLoran);
        EXPECT_EQ(blockPlatform.titles, referencePlatform.titles);
        EXPECT_EQ(blockPlatform.redraws, referencePlatform.redraws);
    }
};

TEST_F(ProducerBlockTest, EveryBandSettingGivesTheSameRowsAsTheOneSampleStep) {
    for (size_t i = 0; i < std::size(kBands); ++i) {
        SCOPED_TRACE(i);
        SetUp();
        SetBand(kBands[i]);
        Feed(Audio(2 * 48000 + 17, static_cast<uint32_t>(i)), i);
        ASSERT_GT(block.m_nRows, 30);
        ExpectSameState();
    }
}

TEST_F(ProducerBlockTest, BandChangesBetweenBlocksKeepTheRowsIdentical) {
    // Each change lands in the middle of a slot; from the narrowest band to a wider one the
    // count is already past the new decimation, and the new row spacing seldom divides the
    // ring position.
    const auto audio = Audio(48000, 11);
    const int order[] = {4, 0, 3, 5, 1, 4, 2, 0};
    for (size_t step = 0; step < std::size(order); ++step) {
        SetBand(kBands[order[step]]);
        Feed(std::vector<uint8_t>(audio.begin() + static_cast<long>(step * 4000),
                                  audio.begin() + static_cast<long>(step * 4000 + 5003)), step);
    }
    ASSERT_GT(block.m_nRows, 5);
    ExpectSameState();
}

TEST_F(ProducerBlockTest, ChangesMadeWhileARowIsShownTakeEffectAtTheNextSample) {
    // Whatever the platform does when asked to redraw, the next sample sees it: here the band,
    // the row spacing, the recording form of the title and the mode change in mid-block.
    for (FakePlatform* p : {&blockPlatform, &referencePlatform}) {
        CSorvantelDoc& d = p == &blockPlatform ? block : reference;
        p->onRedraw = [&d] {
            const int n = d.m_nRows;
            const BandSetting& b = kBands[static_cast<size_t>(n) % std::size(kBands)];
            d.m_nBandLow = b.lo;
            d.m_nBandHigh = b.hi;
            d.m_nRowsPerFrame = n % 7 == 3 ? 3 : b.rowsPerFrame;  // 3 rows a frame: 42 slots apart
            d.m_bRecording = n % 2;
            if (n == 40) d.m_bLoran = 1;
        };
    }
    Feed(Audio(3 * 48000, 5));
    ASSERT_EQ(block.m_nRows, 40);  // Loran-C mode from row 40 on
    EXPECT_EQ(block.m_bLoran, 1);
    ExpectSameState();
}

TEST_F(ProducerBlockTest, LoranModeFillsTheSameSumsAndMakesNoRows) {
    ForBoth([](CSorvantelDoc& d) {
        d.m_bLoran = 1;
        d.LoranReset();
    });
    Feed(Audio(48000 + 5, 2));
    EXPECT_EQ(block.m_nRows, 0);
    ExpectSameState();
    EXPECT_TRUE(SameBits(block.m_loranRing[0], reference.m_loranRing[0], sizeof block.m_loranRing[0]));
    EXPECT_EQ(block.m_dLoranPos, reference.m_dLoranPos);
}

TEST_F(ProducerBlockTest, AStoreFillingInMidBlockStopsBothAtTheSameSample) {
    for (const BandSetting& band : {kBands[5], kBands[4]}) {
        SetUp();
        SetBand(band);
        ForBoth([](CSorvantelDoc& d) { d.m_nRows = kMaxRows - 3; });
        const auto audio = Audio(48000, 9);
        const size_t tookBlock = block.ProcessAudioBlock(audio.data(), audio.size());
        const size_t tookReference = ReferenceProcessAudioBlock(reference, audio.data(), audio.size());
        EXPECT_EQ(tookBlock, tookReference);
        EXPECT_LT(tookBlock, audio.size());
        EXPECT_EQ(block.m_nRows, kMaxRows);
        EXPECT_EQ(block.m_bProcessing, 0);
        EXPECT_EQ(blockPlatform.title(), "Sorvantel from KELD - idle");
        ExpectSameState();
        EXPECT_EQ(block.ProcessAudioBlock(audio.data(), audio.size()), 0u);
    }
    // Processing that finds the store already full takes one sample, for the Stop.
    SetUp();
    ForBoth([](CSorvantelDoc& d) { d.m_nRows = kMaxRows; });
    const auto audio = Audio(100, 3);
    EXPECT_EQ(block.ProcessAudioBlock(audio.data(), audio.size()), 1u);
    EXPECT_EQ(ReferenceProcessAudioBlock(reference, audio.data(), audio.size()), 1u);
    ExpectSameState();
}

TEST_F(ProducerBlockTest, BandEdgesAtTheIntegerLimitsAreDefinedAndIdentical) {
    // Such edges put the oscillator's phase far outside the polynomial's range, so the library
    // takes over for those samples; the sums must still come out alike.
    const BandSetting edges[] = {
        {INT_MAX - 376, INT_MAX, 8}, {INT_MIN, INT_MIN + 188, 16}, {INT_MIN, INT_MAX, 2},
        {INT_MAX, INT_MIN, 1},       {INT_MAX - 3000, INT_MAX, 1}, {-2000000000, 2000000000, 4},
    };
    for (size_t i = 0; i < std::size(edges); ++i) {
        SCOPED_TRACE(i);
        SetUp();
        SetBand(edges[i]);
        Feed(Audio(24000, static_cast<uint32_t>(i)), i);
        ExpectSameState();
    }
}

TEST_F(ProducerBlockTest, OneSampleCallsGiveTheBlockResult) {
    // ProcessSample is the block step for one sample, without the buffer's clipping reset.
    SetBand(kBands[3]);
    const auto audio = Audio(20000, 4);
    for (uint8_t b : audio) block.ProcessSample(b);
    for (uint8_t b : audio) ReferenceProcessSample(reference, b);
    ASSERT_GT(block.m_nRows, 3);
    ExpectSameState();
}

}  // namespace
}  // namespace sorv::test
