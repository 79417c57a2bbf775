#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "support/live_doc.h"

namespace sorv::test {
namespace {

class LoranTest : public ::testing::Test, protected LiveDoc {
protected:
    void SetUp() override {
        Make();
        doc->OnLoranMode();
    }
    const double* Slot(int s) const { return doc->m_loranRing[s]; }
    double SlotSum(int s) const {
        double sum = 0;
        for (int j = 0; j < kLoranSlotLength; ++j) sum += std::fabs(Slot(s)[j]);
        return sum;
    }
};

TEST_F(LoranTest, APulseTrainAtTheGriAddsIntoOneIndexEveryPeriod) {
    doc->OnStart();
    ASSERT_DOUBLE_EQ(doc->m_dLoranLength, 3230.88);
    // 200 pulses one GRI apart (a fractional number of samples), each on its nearest sample.
    std::vector<uint8_t> audio(static_cast<size_t>(1000 + 201 * 3230.88), 128);
    for (int k = 0; k < 200; ++k) audio[static_cast<size_t>(std::lround(1000 + k * 3230.88))] = 228;
    for (size_t i = 0; i < audio.size(); ++i) doc->ProcessSample(audio[i]);
    EXPECT_EQ(Slot(0)[1000], 200 * 100.0);
    EXPECT_EQ(SlotSum(0), 200 * 100.0);
    EXPECT_EQ(doc->m_nRows, 0);  // no spectrogram in Loran-C mode
}

TEST_F(LoranTest, ThePositionWrapsOnlyWhenPastTheLength) {
    doc->OnStart();
    doc->m_dLoranLength = 10.0;
    for (int s = 1; s <= 12; ++s) doc->ProcessSample(static_cast<uint8_t>(128 + s));
    // Samples 1..10 go to indices 0..9; position 10 equals the length and stays, so sample 11
    // goes to index 10; then the position wraps and sample 12 joins sample 2 at index 1.
    EXPECT_EQ(Slot(0)[0], 1);
    EXPECT_EQ(Slot(0)[10], 11);
    EXPECT_EQ(Slot(0)[1], 2 + 12);
    EXPECT_DOUBLE_EQ(doc->m_dLoranPos, 2.0);
}

TEST_F(LoranTest, TheAveragePeriodStaysExactOverManyWraps) {
    doc->OnStart();
    // 1000 GRIs of 3230.88 samples are exactly 3230880 samples; 100 more leave the position
    // at 100, whatever mix of 3230- and 3231-sample wraps got there.
    for (int i = 0; i < 3230880 + 100; ++i) doc->LoranAccumulate(0);
    EXPECT_NEAR(doc->m_dLoranPos, 100.0, 1e-6);
}

TEST_F(LoranTest, TheFirstTickOfTheFirstRunMovesToSlotOneThenEveryElevenSeconds) {
    doc->OnStart();
    Tick();  // no buffer is done: the clock runs anyway
    EXPECT_EQ(doc->m_nLoranSlot, 1);
    EXPECT_EQ(doc->m_tLoranSlotStart, platform.now);
    doc->m_loranRing[2][5] = 7.0;  // stale sums in the next slot
    platform.now += 10;
    Tick();
    EXPECT_EQ(doc->m_nLoranSlot, 1);
    platform.now += 1;
    Tick();
    EXPECT_EQ(doc->m_nLoranSlot, 2);
    EXPECT_EQ(doc->m_loranRing[2][5], 0.0);
}

TEST_F(LoranTest, SlotsAdvanceOnlyWhileProcessingAndStartResetsAllButTheSlotTime) {
    doc->OnStart();
    Tick();
    const int64_t slotStart = doc->m_tLoranSlotStart;
    doc->ProcessSample(200);
    doc->OnStop();
    platform.now += 100;
    doc->OnViewTimer(doc->m_nPollTimer);
    EXPECT_EQ(doc->m_nLoranSlot, 1);
    EXPECT_EQ(SlotSum(1), 72.0);  // the sums stay after Stop

    doc->OnStart();
    EXPECT_EQ(doc->m_nLoranSlot, 0);
    EXPECT_EQ(doc->m_dLoranPos, 0.0);
    EXPECT_EQ(SlotSum(1), 0.0);
    EXPECT_EQ(doc->m_tLoranSlotStart, slotStart);
    Tick();  // more than ten seconds since the last change: at once to slot 1
    EXPECT_EQ(doc->m_nLoranSlot, 1);
}

TEST_F(LoranTest, TheSlotRingWrapsAfterSlot255) {
    doc->OnStart();
    doc->m_nLoranSlot = 255;
    doc->m_loranRing[0][0] = 3.0;
    Tick();
    EXPECT_EQ(doc->m_nLoranSlot, 0);
    EXPECT_EQ(doc->m_loranRing[0][0], 0.0);
}

TEST_F(LoranTest, AGriChangeWhileRunningClearsTheRingAndRestarts) {
    doc->OnStart();
    Tick();
    for (int i = 0; i < 5000; ++i) doc->ProcessSample(150);
    doc->m_loranRing[200][100] = 1.0;
    ASSERT_TRUE(doc->SetGri(7980.0));
    EXPECT_EQ(doc->m_dGri, 7980.0);
    EXPECT_DOUBLE_EQ(doc->m_dLoranLength, 3830.4);
    EXPECT_EQ(doc->m_nLoranSlot, 0);
    EXPECT_EQ(doc->m_dLoranPos, 0.0);
    for (int s = 0; s < kLoranSlots; ++s) ASSERT_EQ(SlotSum(s), 0.0) << s;
    doc->ProcessSample(130);
    EXPECT_EQ(Slot(0)[0], 2.0);  // accumulation goes on at once
}

TEST_F(LoranTest, AGriThatDoesNotFitASlotIsRefusedAndTheOldOneKept) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    for (double bad : {0.0, -6731.0, 34132.5, 34133.0, 1e300, nan, inf, -inf}) {
        platform.messages.clear();
        EXPECT_FALSE(doc->SetGri(bad)) << bad;
        EXPECT_EQ(doc->m_dGri, 6731.0);
        EXPECT_DOUBLE_EQ(doc->m_dLoranLength, 3230.88);
        ASSERT_EQ(platform.messages.size(), 1u);
        EXPECT_EQ(platform.messages[0], "The GRI must be greater than 0 and at most 34132.");
    }
    ASSERT_TRUE(doc->SetGri(34132.0));
    EXPECT_DOUBLE_EQ(doc->m_dLoranLength, 16383.36);  // the longest that fits: rounds to 16383
    for (int i = 0; i < 16384; ++i) doc->LoranAccumulate(1);
    EXPECT_EQ(Slot(0)[16383], 1.0);
}

TEST_F(LoranTest, LoranRunsKeepTheStartTitleAndFillTheRawRing) {
    doc->OnStart();
    ASSERT_TRUE(Second(140));
    EXPECT_EQ(platform.title(), "Sorvantel from KELD - processing audio signals");
    EXPECT_EQ(doc->m_nRawPos, 48000 % 1024);
    EXPECT_EQ(doc->m_rawRing[0], 12);
    EXPECT_EQ(doc->m_nRows, 0);
}

}  // namespace
}  // namespace sorv::test
