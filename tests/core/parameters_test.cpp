#include <gtest/gtest.h>

#include <functional>
#include <iterator>

#include "engine/sorvantel_doc.h"
#include "support/fake_platform.h"

namespace sorv::test {
namespace {

class ParametersTest : public ::testing::Test {
protected:
    FakePlatform platform;
    CSorvantelDoc doc{platform};
};

TEST_F(ParametersTest, SpectralRangeMapsTheFiveBandwidthChoices) {
    struct Row { int choice, low, high, rowsPerFrame; double rowRate; };
    const Row rows[] = {{0, -500, 2500, 1, 23.4375},
                        {1, 250, 1750, 2, 23.4375},
                        {2, 625, 1375, 4, 23.4375},
                        {3, 812, 1188, 8, 23.5},
                        {4, 906, 1094, 16, 23.5}};
    for (const Row& r : rows) {
        platform.spectrumAnswers.push_back(SpectrumDlgValues{1000, r.choice});
        doc.OnSpectralRange();
        EXPECT_EQ(doc.m_nBandLow, r.low) << r.choice;
        EXPECT_EQ(doc.m_nBandHigh, r.high) << r.choice;
        EXPECT_EQ(doc.m_nRowsPerFrame, r.rowsPerFrame) << r.choice;
        EXPECT_DOUBLE_EQ(doc.RowRate(), r.rowRate) << r.choice;
    }
}

TEST_F(ParametersTest, SpectralRangeOpensOnTheCurrentBandAndCancelKeepsIt) {
    doc.OnSpectralRange();  // no answer queued: Cancel
    ASSERT_EQ(platform.spectrumShown.size(), 1u);
    EXPECT_EQ(platform.spectrumShown[0].centreHz, 1000);
    EXPECT_EQ(platform.spectrumShown[0].bandwidthChoice, 1);
    EXPECT_EQ(doc.m_nBandLow, 0);
    EXPECT_EQ(doc.m_nBandHigh, 2000);
    EXPECT_EQ(doc.m_nRowsPerFrame, 2);

    platform.spectrumAnswers.push_back(SpectrumDlgValues{1200, 4});
    doc.OnSpectralRange();
    doc.OnSpectralRange();
    EXPECT_EQ(platform.spectrumShown.back().centreHz, 1200);
    EXPECT_EQ(platform.spectrumShown.back().bandwidthChoice, 4);  // bw 188 is below 375
    for (auto [bw, choice] : {std::pair{3000, 0}, {2999, 1}, {1500, 1}, {1499, 2}, {750, 2}, {749, 3}, {375, 3}, {374, 4}}) {
        doc.m_nBandLow = 0;
        doc.m_nBandHigh = bw;
        doc.OnSpectralRange();
        EXPECT_EQ(platform.spectrumShown.back().bandwidthChoice, choice) << bw;
    }
}

TEST_F(ParametersTest, SpectralRangeRefusesAChoiceOrCentreThatFitsNoBand) {
    platform.spectrumAnswers.push_back(SpectrumDlgValues{1000, 5});
    platform.spectrumAnswers.push_back(SpectrumDlgValues{2147483000, 0});
    doc.OnSpectralRange();
    doc.OnSpectralRange();
    EXPECT_EQ(doc.m_nBandLow, 0);
    EXPECT_EQ(doc.m_nBandHigh, 2000);
}

TEST_F(ParametersTest, PeriodRangeStoresWhatIsTypedInAnyOrder) {
    platform.periodAnswers.push_back(PeriodDlgValues{8.0, 12.5});
    doc.OnPeriodRange();
    EXPECT_EQ(platform.periodShown[0].maxPeriod, 10.0);
    EXPECT_EQ(platform.periodShown[0].minPeriod, 9.0);
    EXPECT_EQ(doc.m_dPeriodMax, 8.0);
    EXPECT_EQ(doc.m_dPeriodMin, 12.5);
    doc.OnPeriodRange();  // Cancel
    EXPECT_EQ(doc.m_dPeriodMax, 8.0);
}

TEST_F(ParametersTest, PeriodScaleOpensOnTheCurrentDivisorAndMapsTheChoices) {
    const int divisors[] = {64, 32, 16, 8};
    for (int choice = 0; choice < 4; ++choice) {
        platform.scaleAnswers.push_back(PerScaleDlgValues{choice});
        doc.OnPeriodScale();
        EXPECT_EQ(doc.m_nPeriodScale, divisors[choice]);
        doc.OnPeriodScale();
        EXPECT_EQ(platform.scaleShown.back().scaleChoice, choice);
    }
    doc.m_nPeriodScale = 5;
    doc.OnPeriodScale();
    EXPECT_EQ(platform.scaleShown.back().scaleChoice, 1);
}

TEST_F(ParametersTest, NominalCarrierAndSidebandGiveTheRadioFrequency) {
    doc.OnNominalCarrier();
    EXPECT_EQ(platform.carrierShown[0].rxMode, -1);
    platform.carrierAnswers.push_back(CarrierDlgValues{404.0, 0});
    doc.OnNominalCarrier();
    EXPECT_EQ(doc.m_dCarrierKHz, 404.0);
    EXPECT_NEAR(doc.RadioFrequencyKHz(1000.0), 405.000, 1e-9);
    platform.carrierAnswers.push_back(CarrierDlgValues{404.0, 1});
    doc.OnNominalCarrier();
    EXPECT_EQ(doc.m_nRxMode, 1);
    EXPECT_NEAR(doc.RadioFrequencyKHz(1000.0), 403.000, 1e-9);
    EXPECT_NEAR(doc.RadioFrequencyKHz(976.0), 403.024, 1e-9);
    platform.carrierAnswers.push_back(CarrierDlgValues{404.0, -1});
    doc.OnNominalCarrier();
    EXPECT_EQ(doc.m_nRxMode, -1);
}

TEST_F(ParametersTest, DialogsThatChangeWhatIsShownRedrawAtOnceAndCancelDoesNot) {
    // Each command with its OK answer queued; the redraw is asked for inside the command, not
    // left to the next four-second tick.
    const std::function<void()> okThenCommand[] = {
        [&] { platform.spectrumAnswers.push_back(SpectrumDlgValues{1000, 0}); doc.OnSpectralRange(); },
        [&] { platform.periodAnswers.push_back(PeriodDlgValues{12.0, 11.0}); doc.OnPeriodRange(); },
        [&] { platform.scaleAnswers.push_back(PerScaleDlgValues{0}); doc.OnPeriodScale(); },
        [&] { platform.carrierAnswers.push_back(CarrierDlgValues{404.0, 0}); doc.OnNominalCarrier(); },
        [&] { platform.griAnswers.push_back(GriDlgValues{9960.0}); doc.OnGri(); },
    };
    for (size_t i = 0; i < std::size(okThenCommand); ++i) {
        const int before = platform.redraws;
        okThenCommand[i]();
        EXPECT_EQ(platform.redraws, before + 1) << "command " << i;
    }
    const int before = platform.redraws;
    doc.OnSpectralRange();  // no answer queued: Cancel
    doc.OnPeriodScale();
    doc.OnNominalCarrier();
    platform.griAnswers.push_back(GriDlgValues{40000.0});  // refused: nothing changed
    doc.OnGri();
    EXPECT_EQ(platform.redraws, before);
}

TEST_F(ParametersTest, ScaleChangeWritesTheDesignatedPeriodWindowOnlyInThePeriodicityGraph) {
    // 2048 bins at 31.25 rows a second: b = 15.625 / 2048 Hz. Bin 40 is shown at scale 32
    // (M = 64) but not at scale 64 (M = 32).
    doc.m_pPeriodSpectrum.assign(2049, 0.0);
    doc.m_nPeriodBins = 2048;
    doc.m_nPeriodBin = 20;
    doc.m_nViewMode = 3;
    const double tp = 2048 / (20 * 15.625);
    platform.scaleAnswers.push_back(PerScaleDlgValues{2});  // 16
    doc.OnPeriodScale();
    EXPECT_NEAR(doc.m_dPeriodMax, tp + 0.5, 1e-9);
    EXPECT_NEAR(doc.m_dPeriodMin, tp - 0.5, 1e-9);

    // A bin the new scale no longer shows keeps the window.
    doc.m_nPeriodBin = 40;
    doc.m_dPeriodMin = 9.0;
    doc.m_dPeriodMax = 10.0;
    platform.scaleAnswers.push_back(PerScaleDlgValues{0});  // 64
    doc.OnPeriodScale();
    EXPECT_EQ(doc.m_dPeriodMin, 9.0);
    EXPECT_EQ(doc.m_dPeriodMax, 10.0);

    // In the Integral graph the window is the zoomed one the user narrowed: it stays.
    doc.m_nViewMode = 4;
    doc.m_nPeriodBin = 20;
    platform.scaleAnswers.push_back(PerScaleDlgValues{1});
    doc.OnPeriodScale();
    EXPECT_EQ(doc.m_dPeriodMin, 9.0);
    EXPECT_EQ(doc.m_dPeriodMax, 10.0);
}

TEST_F(ParametersTest, IdentWpmStoresSpeedAndAutomaticFlag) {
    platform.wpmAnswers.push_back(WpmDlgValues{0, 12});
    doc.OnIdentWpm();
    EXPECT_EQ(platform.wpmShown[0].autoWpm, 1);
    EXPECT_EQ(platform.wpmShown[0].wpm, 6);
    EXPECT_EQ(doc.m_bAutoWpm, 0);
    EXPECT_EQ(doc.m_nWpm, 12);
}

TEST_F(ParametersTest, GriOkRestartsTheAccumulationEvenUnchangedAndRefusesWhatDoesNotFit) {
    doc.m_loranRing[3][7] = 5.0;
    doc.m_dLoranPos = 100.0;
    doc.m_nLoranSlot = 9;
    platform.griAnswers.push_back(GriDlgValues{6731.0});
    doc.OnGri();
    EXPECT_EQ(doc.m_loranRing[3][7], 0.0);
    EXPECT_EQ(doc.m_dLoranPos, 0.0);
    EXPECT_EQ(doc.m_nLoranSlot, 0);
    EXPECT_NEAR(doc.m_dLoranLength, 3230.88, 1e-9);

    doc.m_loranRing[3][7] = 5.0;
    platform.griAnswers.push_back(GriDlgValues{40000.0});
    doc.OnGri();
    EXPECT_EQ(doc.m_dGri, 6731.0);
    EXPECT_EQ(doc.m_loranRing[3][7], 5.0);
    EXPECT_EQ(platform.messages.size(), 1u);
}

}  // namespace
}  // namespace sorv::test
