#include <gtest/gtest.h>

#include <cmath>

#include "support/live_doc.h"

namespace sorv::test {
namespace {

class PlaybackTest : public ::testing::Test, protected LiveDoc {
protected:
    void SetUp() override {
        Make();
        // A finished analysis: rows, a designated line and period, an integrand of n rows.
        doc->m_nRows = 100;
        doc->m_nLine = 64;  // 1000 Hz on the default band
        doc->m_nPeriodBin = 10;
    }
    void SetEnvelope(std::vector<double> values) {
        doc->m_nTrialRows[256] = static_cast<int>(values.size());
        for (size_t i = 0; i < values.size(); ++i) doc->m_integral[256][i] = values[i];
    }
    // Plays every queued buffer and lets the 250 ms tick refill them.
    void PlaySeconds(int seconds) {
        for (int s = 0; s < seconds; ++s) {
            ASSERT_TRUE(platform.lastWaveOut->PlayNext());
            doc->OnViewTimer(doc->m_nPollTimer);
        }
    }
    const std::vector<uint8_t>& Played() const { return platform.waveOutLog.played; }
    // Frequency from the upward crossings of 128 over a stretch of samples.
    static double ToneHz(const std::vector<uint8_t>& s, size_t from, size_t count) {
        size_t first = 0, last = 0, crossings = 0;
        for (size_t i = from + 1; i < from + count; ++i) {
            if (s[i - 1] < 128 && s[i] >= 128) {
                if (crossings == 0) first = i;
                last = i;
                ++crossings;
            }
        }
        return crossings < 2 ? 0.0 : (crossings - 1) * 48000.0 / static_cast<double>(last - first);
    }
};

TEST_F(PlaybackTest, AtZeroHertzTheOutputIsTheScaledEnvelopeAtTheRecordingsSpeed) {
    doc->m_nLine = 0;  // line 0 of the band 0..2000 Hz: the cosine stays 1
    SetEnvelope({5, 7, 9, 11});  // scaled to 0, 21, 42, 63
    doc->OnPlayback();
    ASSERT_EQ(doc->m_bPlaying, 1);
    PlaySeconds(1);
    // 31.25 rows a second: each envelope value lasts 48000 / 31.25 = 1536 samples.
    const int expected[] = {128, 149, 170, 191};
    for (int k = 0; k < 8; ++k) {
        EXPECT_EQ(Played()[static_cast<size_t>(k * 1536 + 10)], expected[k % 4]) << k;
        EXPECT_EQ(Played()[static_cast<size_t>(k * 1536 + 1525)], expected[k % 4]) << k;
    }
}

TEST_F(PlaybackTest, TheToneIsTheDesignatedLinesFrequencyAndRunsOnAcrossBuffers) {
    doc->m_nLine = 95;  // 1484.375 Hz
    SetEnvelope({2, 2, 2, 2});
    doc->OnPlayback();
    PlaySeconds(3);
    ASSERT_EQ(Played().size(), 3u * 48000u);
    EXPECT_NEAR(ToneHz(Played(), 0, 36864), 1484.375, 0.5);
    // No jump where one buffer ends and the next begins: the steps there look like the others.
    for (size_t edge : {48000u, 96000u}) {
        const int step = std::abs(Played()[edge] - Played()[edge - 1]);
        EXPECT_LE(step, 13) << edge;  // 63 x 2 pi x 1484 / 48000 = 12.2 at the steepest
    }
}

TEST_F(PlaybackTest, TheToneFollowsTheLineAtTheNextRefillAndKeepsItWhenTheLineIsDropped) {
    SetEnvelope({3, 3});
    doc->OnPlayback();                 // both buffers filled at 1000 Hz
    doc->m_nLine = 32;                 // 500 Hz
    PlaySeconds(3);                    // the two queued seconds, then the first refill
    EXPECT_NEAR(ToneHz(Played(), 48000, 48000), 1000.0, 0.5);
    EXPECT_NEAR(ToneHz(Played(), 96000, 48000), 500.0, 0.5);
    doc->OnStart();                    // designates nothing, playing goes on
    EXPECT_EQ(doc->m_nLine, -1);
    EXPECT_TRUE(doc->IsPlaybackEnabled());  // so it can still be stopped
    EXPECT_TRUE(doc->IsPlaybackChecked());
    PlaySeconds(2);
    EXPECT_NEAR(ToneHz(Played(), 4 * 48000, 48000), 500.0, 0.5);  // the last line's tone
    doc->OnPlayback();
    EXPECT_EQ(doc->m_bPlaying, 0);
    EXPECT_FALSE(doc->IsPlaybackEnabled());
}

TEST_F(PlaybackTest, AFlatEnvelopePlaysASteadyToneAtFullLevel) {
    SetEnvelope(std::vector<double>(20, 4.5));
    doc->OnPlayback();
    ASSERT_EQ(doc->m_bPlaying, 1);
    for (int k = 0; k < 20; ++k) EXPECT_EQ(doc->m_playEnvelope[k], 63.0);
    PlaySeconds(1);
    int lo = 255, hi = 0;
    for (uint8_t b : Played()) {
        lo = std::min<int>(lo, b);
        hi = std::max<int>(hi, b);
    }
    EXPECT_EQ(lo, 65);
    EXPECT_EQ(hi, 191);
}

TEST_F(PlaybackTest, WithoutAnIntegrandOrALinePlaybackDoesNotStart) {
    EXPECT_TRUE(doc->IsPlaybackEnabled());
    doc->OnPlayback();  // m_nTrialRows[256] is 0: no integrand
    EXPECT_EQ(doc->m_bPlaying, 0);
    EXPECT_EQ(platform.lastWaveOut, nullptr);

    SetEnvelope({1, 2});
    doc->m_nLine = -1;
    EXPECT_FALSE(doc->IsPlaybackEnabled());
    doc->StartPlayback();  // even called directly
    EXPECT_EQ(platform.lastWaveOut, nullptr);
    doc->m_nLine = 64;
    doc->m_nPeriodBin = -1;
    EXPECT_FALSE(doc->IsPlaybackEnabled());
    doc->m_nPeriodBin = 10;
    doc->m_nRows = 0;
    EXPECT_FALSE(doc->IsPlaybackEnabled());
}

TEST_F(PlaybackTest, TheEnvelopeIsLimitedTo511Rows) {
    std::vector<double> env(kPhaseBins);  // a full row of the image: one more than playable
    for (size_t i = 0; i < env.size(); ++i) env[i] = static_cast<double>(i);
    SetEnvelope(env);
    doc->OnPlayback();
    EXPECT_EQ(doc->m_nPlayLen, 511);
    EXPECT_EQ(doc->m_playEnvelope[510], 63.0);  // the largest of the first 511
    EXPECT_EQ(doc->m_playEnvelope[511], 0.0);
}

TEST_F(PlaybackTest, StartCreatesTheViewTimersWhenNothingElseHas) {
    SetEnvelope({1, 2});
    ASSERT_EQ(doc->m_nPollTimer, -1);
    doc->OnPlayback();
    EXPECT_NE(doc->m_nPollTimer, -1);
    EXPECT_NE(doc->m_nRedrawTimer, -1);
    PlaySeconds(3);  // the refill runs from the new timer
    EXPECT_EQ(Played().size(), 3u * 48000u);
}

TEST_F(PlaybackTest, StopAndStartAgainLeaveNoDeviceOpenAndRestartAtPhaseZero) {
    SetEnvelope({1, 2, 3});
    doc->OnPlayback();
    PlaySeconds(1);
    doc->OnPlayback();
    EXPECT_FALSE(platform.waveOutLog.open);
    EXPECT_EQ(platform.waveOutLog.unprepares, 2);
    EXPECT_FALSE(doc->m_playback.headers[0]);
    const std::vector<uint8_t> first(Played().begin(), Played().begin() + 1000);
    platform.waveOutLog.played.clear();
    doc->OnPlayback();
    ASSERT_EQ(doc->m_bPlaying, 1);
    PlaySeconds(1);
    EXPECT_EQ(std::vector<uint8_t>(Played().begin(), Played().begin() + 1000), first);
}

TEST_F(PlaybackTest, AWriteErrorInTheRefillShowsOneBoxWhateverTicksItsLoopDelivers) {
    SetEnvelope({1, 2, 3});
    doc->OnPlayback();
    ASSERT_EQ(doc->m_bPlaying, 1);
    ASSERT_TRUE(platform.lastWaveOut->PlayNext());
    platform.lastWaveOut->failWrite = MM_ERROR;
    // The message box runs a loop of its own, in which the 250 ms ticks go on arriving.
    int nestedTicks = 0;
    platform.onMessage = [&](const std::string&) {
        if (++nestedTicks > 5) return;  // bounds the test if the guard is missing
        Tick();
        Tick();
    };
    Tick();
    EXPECT_EQ(platform.messages, (std::vector<std::string>{"On starting recording.."}));
    EXPECT_EQ(doc->m_bInPlaybackRefill, 0);
    // Once the box is gone the next tick tries again, and a working device plays on.
    platform.onMessage = nullptr;
    platform.lastWaveOut->failWrite = 0;
    const int writes = platform.waveOutLog.writes;
    Tick();
    EXPECT_EQ(platform.waveOutLog.writes, writes + 1);
    EXPECT_EQ(platform.messages.size(), 1u);
}

TEST_F(PlaybackTest, DeviceFailuresAreReportedAndLeaveNothingOpen) {
    SetEnvelope({1, 2});
    platform.playbackOpenError = MM_ALLOCATED;
    doc->OnPlayback();
    EXPECT_EQ(platform.messages, (std::vector<std::string>{"On opening the wave device.."}));
    EXPECT_EQ(doc->m_bPlaying, 0);

    platform.playbackOpenError = 0;
    platform.messages.clear();
    platform.configureWaveOut = [](FakeWaveOut& out) { out.failPrepare = MM_NOMEM; };
    doc->OnPlayback();
    EXPECT_EQ(platform.messages, std::vector<std::string>(2, "On preparing buffer .."));
    EXPECT_EQ(doc->m_bPlaying, 0);
    EXPECT_FALSE(platform.waveOutLog.open);

    platform.messages.clear();
    platform.configureWaveOut = [](FakeWaveOut& out) { out.failWrite = MM_ERROR; };
    doc->OnPlayback();
    EXPECT_EQ(platform.messages, std::vector<std::string>(2, "On starting recording.."));
    EXPECT_EQ(doc->m_bPlaying, 0);
    EXPECT_FALSE(platform.waveOutLog.open);
}

}  // namespace
}  // namespace sorv::test
