#include <gtest/gtest.h>

#include "support/live_doc.h"

namespace sorv::test {
namespace {

class CaptureTest : public ::testing::Test, protected LiveDoc {};

TEST_F(CaptureTest, BuffersAreTakenStrictlyInOrderOnePerTick) {
    Make().OnStart();
    ASSERT_EQ(doc->m_bProcessing, 1);
    EXPECT_EQ(platform.title(), "Sorvantel from KELD - processing audio signals");
    ASSERT_EQ(platform.lastWaveIn->Queued(), 4u);

    // Buffer i holds the value 130 + i, so the raw ring tells which buffer was processed last.
    for (int i = 0; i < 3; ++i) platform.lastWaveIn->FillNext(std::vector<uint8_t>(kBufferBytes, 130 + i));
    const int expectedIndex[] = {1, 2, 3, 3};
    const int expectedLast[] = {2, 3, 4, 4};
    for (int t = 0; t < 4; ++t) {
        Tick();
        EXPECT_EQ(doc->m_capture.index, expectedIndex[t]) << "tick " << t;
        EXPECT_EQ(doc->m_rawRing[(doc->m_nRawPos + 1023) % 1024], expectedLast[t]) << "tick " << t;
    }
    // The handler gave every done buffer straight back, without preparing it again.
    EXPECT_EQ(platform.lastWaveIn->Queued(), 4u);
    EXPECT_EQ(platform.waveInLog.prepares, 4);
    ASSERT_TRUE(Second(140));
    ASSERT_TRUE(Second(141));
    EXPECT_EQ(doc->m_capture.index, 1);  // 3, then round to 0 and on to 1
    EXPECT_EQ(doc->m_rawRing[(doc->m_nRawPos + 1023) % 1024], 13);
}

TEST_F(CaptureTest, ALaterBufferDoneBeforeTheAwaitedOneWaits) {
    Make().OnStart();
    doc->m_capture.headers[1]->flags |= WaveHeader::kDone;
    doc->m_capture.headers[1]->bytesRecorded = kBufferBytes;
    Tick();
    EXPECT_EQ(doc->m_capture.index, 0);
    EXPECT_EQ(doc->m_nRawPos, 0);
}

TEST_F(CaptureTest, AllRecordedBytesReachTheProducerAndAShortBufferOnlyItsOwn) {
    Make().OnStart();
    ASSERT_TRUE(Second(128));
    EXPECT_EQ(doc->m_nRows, 31);  // 48000 samples at 24 x 64 samples a row
    ASSERT_TRUE(Second(std::vector<uint8_t>(1000, 129)));
    EXPECT_EQ(doc->m_nRawPos, (48000 + 1000) % 1024);
}

TEST_F(CaptureTest, ClippingTellsAboutTheLastBufferOnly) {
    Make().OnStart();
    std::vector<uint8_t> loud(kBufferBytes, 128);
    loud[30000] = 255;
    ASSERT_TRUE(Second(loud));
    EXPECT_EQ(doc->m_bClipping, 1);
    ASSERT_TRUE(Second(128));
    EXPECT_EQ(doc->m_bClipping, 0);
}

TEST_F(CaptureTest, ReentryGuardTurnsNestedTicksAwayAndIsClearedAfterwards) {
    Make().OnStart();
    doc->m_bInBufferHandler = 1;  // as if a message box inside the handler delivered this tick
    ASSERT_TRUE(Second(128));
    EXPECT_EQ(doc->m_capture.index, 0);
    EXPECT_EQ(doc->m_bInBufferHandler, 1);  // the outer handler still owns the guard
    doc->m_bInBufferHandler = 0;
    Tick();
    EXPECT_EQ(doc->m_capture.index, 1);
    EXPECT_EQ(doc->m_bInBufferHandler, 0);
}

TEST_F(CaptureTest, AMessageBoxInsideTheHandlerDoesNotLetTicksIn) {
    Make().OnStart();
    // The first re-queue fails: its message box delivers ticks while the handler runs.
    platform.lastWaveIn->failAdd = MM_NOMEM;
    platform.lastWaveIn->FillNext(std::vector<uint8_t>(kBufferBytes, 128));
    platform.lastWaveIn->FillNext(std::vector<uint8_t>(kBufferBytes, 128));
    int nestedIndex = -1;
    platform.onMessage = [&](const std::string&) {
        Tick();
        nestedIndex = doc->m_capture.index;
    };
    Tick();
    ASSERT_EQ(platform.messages.size(), 1u);
    EXPECT_EQ(platform.messages[0], "On adding audio buffer ..memory allocation error");
    EXPECT_EQ(nestedIndex, 1);  // the nested tick did not take buffer 1
    EXPECT_EQ(doc->m_bInBufferHandler, 0);
    platform.onMessage = nullptr;
    platform.lastWaveIn->failAdd = 0;
    Tick();
    EXPECT_EQ(doc->m_capture.index, 2);
}

TEST_F(CaptureTest, StopFromAMessageBoxInsideTheHandlerLeavesNothingDangling) {
    Make().OnStart();
    platform.lastWaveIn->failAdd = MM_ERROR;
    platform.lastWaveIn->FillNext(std::vector<uint8_t>(kBufferBytes, 128));
    platform.onMessage = [&](const std::string&) { doc->OnStop(); };
    Tick();
    EXPECT_EQ(doc->m_bProcessing, 0);
    EXPECT_FALSE(platform.waveInLog.open);
    EXPECT_EQ(doc->m_bInBufferHandler, 0);
    EXPECT_EQ(doc->m_nRows, 0);  // the buffer was not fed after Stop
}

TEST_F(CaptureTest, RowLimitInMidBufferStopsFeedingAndRecordingAtOnce) {
    Make().OnStart();
    doc->OnRecord();
    ASSERT_EQ(doc->m_bRecording, 1);
    doc->m_nRows = kMaxRows - 5;
    ASSERT_TRUE(Second(128));
    EXPECT_EQ(doc->m_nRows, kMaxRows);
    EXPECT_EQ(doc->m_bProcessing, 0);
    EXPECT_EQ(doc->m_bRecording, 0);
    EXPECT_EQ(platform.title(), "Sorvantel from KELD - idle");
    EXPECT_FALSE(platform.waveInLog.open);
    // Five rows of 1536 samples were fed, not the whole second.
    EXPECT_EQ(doc->m_nRawPos, (5 * 1536) % 1024);
    const auto wav = ReadFileBytes(doc->m_strWavPath);
    EXPECT_EQ(wav.size(), 46u);
    EXPECT_EQ(Le32(wav, 42), 0u);
}

TEST_F(CaptureTest, ErrorTextsCoverEveryGeneralCodeAndNothingElse) {
    const char* expected[] = {
        "no error", "unspecified error", "device ID out of range", "driver failed enable",
        "device already allocated", "device handle is invalid", "no device driver present",
        "memory allocation error", "function isn't supported", "error value out of range",
        "invalid flag passed", "invalid parameter passed",
        "handle being used simultaneously on another thread (eg callback)", "specified alias not found",
        "bad registry database", "registry key not found", "registry read error", "registry write error",
        "registry delete error", "registry value not found", "driver does not call DriverCallback"};
    for (int code = 0; code <= 20; ++code) EXPECT_STREQ(CSorvantelDoc::MmErrorText(code), expected[code]) << code;
    for (int code : {-1, 21, 31, int{MM_BADFORMAT}, 1000}) EXPECT_STREQ(CSorvantelDoc::MmErrorText(code), "Unknown error");
}

struct FailedStep {
    const char* name;
    int openError, prepareError, addError, startError;
    std::vector<std::string> messages;
    int starts;
};

void PrintTo(const FailedStep& s, std::ostream* os) { *os << s.name; }

class CaptureFailureTest : public CaptureTest, public ::testing::WithParamInterface<FailedStep> {};

TEST_P(CaptureFailureTest, FailedStartReportsEachStepAndLeavesTheProgramIdle) {
    const FailedStep& s = GetParam();
    platform.captureOpenError = s.openError;
    platform.configureWaveIn = [&](FakeWaveIn& in) {
        in.failPrepare = s.prepareError;
        in.failAdd = s.addError;
        in.failStart = s.startError;
    };
    Make().OnStart();
    EXPECT_EQ(platform.messages, s.messages);
    EXPECT_EQ(platform.waveInLog.starts, s.starts);
    // Not half-started: Start is offered again, Stop and Record are not.
    EXPECT_EQ(doc->m_bProcessing, 0);
    EXPECT_FALSE(platform.waveInLog.open);
    EXPECT_EQ(platform.titles, std::vector<std::string>{"Sorvantel from KELD - idle"});
    EXPECT_FALSE(doc->CanStop());
    EXPECT_TRUE(doc->CanStart());
    doc->OnRecord();
    EXPECT_EQ(doc->m_bRecording, 0);
    // The poll finds no device and does nothing, not even the Loran-C slot clock.
    doc->m_bLoran = 1;
    doc->CaptureBufferHandler();
    EXPECT_EQ(doc->m_nLoranSlot, 0);
    EXPECT_EQ(doc->m_bInBufferHandler, 0);
    // A second Start with a working device runs as the first would have.
    platform.captureOpenError = 0;
    platform.configureWaveIn = nullptr;
    platform.messages.clear();
    doc->OnStart();
    EXPECT_EQ(doc->m_bProcessing, 1);
    EXPECT_TRUE(platform.messages.empty());
    EXPECT_EQ(platform.title(), "Sorvantel from KELD - processing audio signals");
}

const std::string kOpen = "On opening the audio device..";
const std::string kAdd = "On adding audio buffer ..";
INSTANTIATE_TEST_SUITE_P(
    Steps, CaptureFailureTest,
    ::testing::Values(
        FailedStep{"NoDevice", MM_BADDEVICEID, 0, 0, 0, {kOpen + "device ID out of range"}, 0},
        FailedStep{"NoServer", MM_NODRIVER, 0, 0, 0, {kOpen + "no device driver present"}, 0},
        FailedStep{"Busy", MM_ALLOCATED, 0, 0, 0, {kOpen + "device already allocated"}, 0},
        FailedStep{"FormatRefused", MM_BADFORMAT, 0, 0, 0, {kOpen + "Unknown error"}, 0},
        FailedStep{"Queue", 0, 0, MM_INVALHANDLE, 0, std::vector<std::string>(4, kAdd + "device handle is invalid"), 0},
        FailedStep{"Start", 0, 0, 0, MM_NODRIVER, {"On starting audio processing..no device driver present"}, 1}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(CaptureTest, PrepareFailuresAreReportedForEveryBufferWithoutStoppingTheLoop) {
    platform.configureWaveIn = [](FakeWaveIn& in) { in.failPrepare = MM_NOMEM; };
    Make().OnStart();
    EXPECT_EQ(platform.messages, std::vector<std::string>(4, "On preparing audio buffer ..memory allocation error"));
    EXPECT_EQ(platform.waveInLog.adds, 4);
    EXPECT_EQ(platform.waveInLog.starts, 1);  // only the last queueing decides
}

TEST_F(CaptureTest, StopClosesTheDeviceAndReleasesEveryHeader) {
    Make().OnStart();
    doc->OnStop();
    EXPECT_EQ(platform.waveInLog.resets, 1);
    EXPECT_EQ(platform.waveInLog.unprepares, 4);
    EXPECT_EQ(platform.waveInLog.closes, 1);
    EXPECT_FALSE(platform.waveInLog.open);
    for (const auto& h : doc->m_capture.headers) EXPECT_FALSE(h);
}

TEST_F(CaptureTest, CardTableOffersTheFirstThreeDevicesAndDisablesCardsWhileProcessing) {
    Make({"Mic", "Line", "USB", "HDMI", "Spare"});
    EXPECT_EQ(doc->m_strCardName[0], "Auto");
    EXPECT_EQ(doc->m_strCardName[3], "USB");
    EXPECT_EQ(doc->m_nCardDevice[3], 2);
    doc->OnCard(2);
    EXPECT_EQ(doc->m_nSoundcard, 2);
    EXPECT_TRUE(doc->IsCardChecked(2));
    doc->OnStart();
    EXPECT_EQ(platform.captureOpens.back(), 1);
    for (int c = 0; c < 4; ++c) EXPECT_FALSE(doc->IsCardEnabled(c)) << c;
    EXPECT_TRUE(doc->IsCardChecked(2));  // the selected card stays checked while disabled
    doc->OnCard(0);
    EXPECT_EQ(doc->m_nSoundcard, 2);
}

TEST_F(CaptureTest, AStoredCardWithoutADeviceOpensTheDefaultAndShowsNoCheck) {
    Make({});
    EXPECT_TRUE(doc->IsCardEnabled(0));
    for (int c = 1; c < 4; ++c) EXPECT_FALSE(doc->IsCardEnabled(c)) << c;
    doc->m_nSoundcard = 3;
    for (int c = 0; c < 4; ++c) EXPECT_FALSE(doc->IsCardChecked(c)) << c;
    doc->OnStart();
    EXPECT_EQ(platform.captureOpens.back(), -1);
}

TEST_F(CaptureTest, MixerStartsTheVolumeControlForTheSelectedCard) {
    Make({"Mic", "Line"});
    doc->OnMixer();
    doc->OnCard(1);
    doc->OnMixer();
    EXPECT_EQ(platform.volumeControls, (std::vector<int>{0, 1}));
}

}  // namespace
}  // namespace sorv::test
