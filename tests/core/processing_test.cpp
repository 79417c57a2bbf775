#include <gtest/gtest.h>

#include "support/live_doc.h"

namespace sorv::test {
namespace {

class ProcessingTest : public ::testing::Test, protected LiveDoc {
protected:
    void SetUp() override { Make(); }

    // Every enable and check rule of processing, the card items and the commands that share them.
    struct Rules {
        bool start, stop, purge, record, recordChecked, loran, loranChecked, card1;
        bool operator==(const Rules&) const = default;
    };
    Rules Now() const {
        const CSorvantelDoc& d = *doc;
        return {d.CanStart(), d.CanStop(),  d.HasRows(),        d.CanStop() /* Record */,
                d.IsRecordChecked(), d.CanLoranMode(), d.IsLoranChecked(), d.IsCardEnabled(0)};
    }
};

TEST_F(ProcessingTest, TheStateTableAndEveryEnableRule) {
    //                         start  stop   purge  record recChk loran  loranChk card1
    const Rules idle{          true,  false, false, false, false, true,  false,   true};
    const Rules processing{    false, true,  false, true,  false, false, false,   false};
    EXPECT_EQ(Now(), idle);

    doc->OnStart();
    Rules expected = processing;
    EXPECT_EQ(Now(), expected);

    ASSERT_TRUE(Second(128));  // rows arrive: Purge, Save and Auto search become possible
    expected.purge = true;
    EXPECT_EQ(Now(), expected);

    doc->OnRecord();  // Processing -> Recording
    expected.recordChecked = true;
    EXPECT_EQ(Now(), expected);
    doc->OnRecord();  // Recording -> Processing
    expected.recordChecked = false;
    EXPECT_EQ(Now(), expected);

    doc->OnRecord();
    doc->OnStop();  // Recording -> Idle, rows kept
    Rules idleWithRows = idle;
    idleWithRows.purge = true;
    EXPECT_EQ(Now(), idleWithRows);
    EXPECT_EQ(doc->m_bRecording, 0);
    EXPECT_EQ(doc->m_nRows, 31);

    doc->OnLoranMode();
    idleWithRows.loranChecked = true;
    EXPECT_EQ(Now(), idleWithRows);
}

TEST_F(ProcessingTest, CommandsRecheckTheirOwnRules) {
    doc->OnRecord();  // not processing: nothing
    EXPECT_EQ(doc->m_bRecording, 0);
    doc->m_nViewMode = 3;
    doc->OnPurge();  // no rows: nothing
    EXPECT_EQ(doc->m_nViewMode, 3);
    doc->OnStart();
    doc->OnLoranMode();  // not while processing
    EXPECT_EQ(doc->m_bLoran, 0);
}

TEST_F(ProcessingTest, StartResetsAnalysisSpectrogramAndLoranButNotTheMixingRing) {
    doc->m_nLine = 40;
    doc->m_nPeriodBin = 7;
    doc->m_bLineSearched[40] = 1;
    doc->m_nRows = 100;
    doc->m_power[99][5] = 1.0;
    doc->m_level[0][0] = 9;
    doc->m_specDensity[3] = 2.0;
    doc->m_loranRing[17][17] = 1.0;
    doc->m_ringI[10] = 4.0;
    doc->m_dPhase = 1.0;
    doc->m_tLoranSlotStart = 123;
    doc->OnStart();
    EXPECT_EQ(doc->m_nLine, -1);
    EXPECT_EQ(doc->m_nPeriodBin, -1);
    EXPECT_EQ(doc->m_bLineSearched[40], 0);
    EXPECT_EQ(doc->m_nRows, 0);
    EXPECT_EQ(doc->m_power[99][5], 0.0);
    EXPECT_EQ(doc->m_level[0][0], 0);
    EXPECT_EQ(doc->m_specDensity[3], 0.0);
    EXPECT_EQ(doc->m_loranRing[17][17], 0.0);
    EXPECT_EQ(doc->m_dPhase, 0.0);
    EXPECT_EQ(doc->m_ringI[10], 4.0);
    EXPECT_EQ(doc->m_tLoranSlotStart, 123);
    EXPECT_EQ(doc->m_twCos[0], 1.0);  // the twiddle tables were built
    EXPECT_NEAR(doc->m_twCos[64], -1.0, 1e-12);
}

TEST_F(ProcessingTest, TheViewTimersAreCreatedOnceByTheFirstSuccessfulStart) {
    platform.captureOpenError = MM_NODRIVER;
    doc->OnStart();
    EXPECT_TRUE(platform.timersCreated.empty());
    doc->OnStop();
    platform.captureOpenError = 0;
    doc->OnStart();
    doc->OnStop();
    doc->OnStart();
    EXPECT_EQ(platform.timersCreated, (std::vector<std::pair<int, int>>{{kPollTimerId, 250}, {kRedrawTimerId, 4000}}));
    const int redraws = platform.redraws;
    doc->OnStop();
    doc->OnViewTimer(doc->m_nRedrawTimer);  // the redraw timer runs on while idle
    EXPECT_EQ(platform.redraws, redraws + 1);
}

TEST_F(ProcessingTest, StartWhileProcessingClosesTheFirstDeviceAndFinalisesTheRecording) {
    doc->OnStart();
    doc->OnRecord();
    ASSERT_TRUE(Second(128));
    const std::string path = doc->m_strWavPath;
    doc->OnStart();  // only a script can do this
    EXPECT_EQ(platform.waveInLog.closes, 1);
    EXPECT_EQ(platform.captureOpens.size(), 2u);
    EXPECT_TRUE(platform.waveInLog.open);
    EXPECT_EQ(doc->m_bRecording, 0);
    EXPECT_EQ(Le32(ReadFileBytes(path), 42), 48000u);
    EXPECT_EQ(doc->m_bProcessing, 1);
    ASSERT_TRUE(Second(128));  // the new device runs from buffer 0
    EXPECT_EQ(doc->m_capture.index, 1);
    EXPECT_EQ(doc->m_nRows, 31);
}

TEST_F(ProcessingTest, StopWhenIdleOnlySetsTheTitle) {
    doc->OnStop();
    EXPECT_EQ(platform.title(), "Sorvantel from KELD - idle");
    EXPECT_EQ(platform.waveInLog.closes, 0);
}

TEST_F(ProcessingTest, PurgeWhileProcessingStartsAgainAtRowZeroWithoutAGap) {
    doc->OnStart();
    ASSERT_TRUE(Second(128));
    const double phase = doc->m_dPhase;
    doc->m_nLine = 5;
    doc->m_nPeriodBin = 3;
    doc->m_strIdent = "ABC";
    doc->m_nViewMode = 4;
    doc->OnPurge();
    EXPECT_EQ(doc->m_nRows, 0);
    EXPECT_EQ(doc->m_nLine, -1);
    EXPECT_EQ(doc->m_nPeriodBin, -1);
    EXPECT_EQ(doc->m_strIdent, "");
    EXPECT_EQ(doc->m_nViewMode, 1);
    EXPECT_EQ(doc->m_dPhase, phase);  // the oscillator runs on
    EXPECT_EQ(doc->m_bProcessing, 1);
    ASSERT_TRUE(Second(128));
    // 48000 + 48000 samples make 62 rows in all, of which the 31st onwards follow the Purge.
    EXPECT_EQ(doc->m_nRows, 31);
}

TEST_F(ProcessingTest, DestructionFinalisesTheRecordingAndClosesEveryDevice) {
    doc->OnStart();
    doc->OnRecord();
    ASSERT_TRUE(Second(128));
    doc->m_nLine = 64;
    doc->m_nPeriodBin = 1;
    doc->m_nTrialRows[256] = 10;
    doc->OnPlayback();
    ASSERT_EQ(doc->m_bPlaying, 1);
    const std::string path = doc->m_strWavPath;
    doc.reset();
    EXPECT_FALSE(platform.waveInLog.open);
    EXPECT_FALSE(platform.waveOutLog.open);
    EXPECT_EQ(platform.waveOutLog.resets, 1);
    EXPECT_EQ(Le32(ReadFileBytes(path), 42), 48000u);
}

}  // namespace
}  // namespace sorv::test
