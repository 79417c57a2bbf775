// The Spectral Density and Periodicity graphs: bars, axes, captions, the curve and the
// designated period with its window.
#include "gui/view_fixture.h"

namespace sorv::test {
namespace {

class AnalysisGraphTest : public ViewTest {
protected:
    // W = 660 gives the plot width P = 640; H = 400 gives B = 370 and Q = 360.
    static constexpr int kW = 660, kH = 400, kB = 370, kQ = 360;
    void SetUp() override { doc.m_bProcessing = 1; }
};

TEST_F(AnalysisGraphTest, AllEqualDensitiesDrawAFlatOutlineAlongTheBottom) {
    doc.m_nViewMode = 2;
    for (double& v : doc.m_specDensity) v = 3.0;
    const QImage img = Render(kW, kH);
    EXPECT_EQ(Count(img, QRect(10, kB, 640, 1), view::kBrightGreen), 640);
    EXPECT_EQ(At(img, 650, kB), view::kGreen);  // the frame's corner
    EXPECT_EQ(Count(img, QRect(11, 60, 639, kB - 60), view::kBlack), 639 * (kB - 60));
    EXPECT_TRUE(TextAt(img, 11, 11, "Click to designate a spectral line that may contain the ident to investigate", view::kGreen));
}

TEST_F(AnalysisGraphTest, DesignatedLineIsRedAndSearchedLinesYellowBothTwoPixelsWide) {
    doc.m_nViewMode = 2;
    for (int i : {5, 20, 40}) doc.m_specDensity[i] = 1.0;  // full height, the rest zero
    doc.m_bLineSearched[5] = doc.m_bLineSearched[20] = 1;
    doc.m_nLine = 5;
    const QImage img = Render(kW, kH);
    const int y = 190;
    // Line 5 spans x = 35..40, line 20 x = 110..115, line 40 x = 210..215.
    for (int x : {34, 35, 39, 40}) EXPECT_EQ(At(img, x, y), view::kRed) << x;
    for (int x : {33, 36, 38, 41}) EXPECT_EQ(At(img, x, y), view::kBlack) << x;
    for (int x : {109, 110, 114, 115}) EXPECT_EQ(At(img, x, y), view::kYellow) << x;
    for (int x : {108, 111, 113, 116}) EXPECT_EQ(At(img, x, y), view::kBlack) << x;
    for (int x : {210, 215}) EXPECT_EQ(At(img, x, y), view::kBrightGreen) << x;
    for (int x : {209, 211, 214, 216}) EXPECT_EQ(At(img, x, y), view::kBlack) << x;
    EXPECT_EQ(At(img, 37, 10), view::kRed);  // the top of a full bar
    EXPECT_EQ(At(img, 37, 9), view::kRed);
}

TEST_F(AnalysisGraphTest, FrequencyAxisTicksAndLabelsOverTheDefaultBand) {
    doc.m_nViewMode = 2;
    QImage img = Render(kW, kH);
    // Ticks every 100 Hz from 0 to 1900 Hz; the upper edge gets neither tick nor label.
    EXPECT_EQ(At(img, 42, kB + 4), view::kGreen);  // 100 Hz
    EXPECT_EQ(At(img, 42, kB + 5), view::kBlack);
    EXPECT_EQ(At(img, 618, kB + 4), view::kGreen);  // 1900 Hz
    EXPECT_EQ(At(img, 650, kB + 3), view::kBlack);  // 2000 Hz
    EXPECT_EQ(At(img, 330, kB + 9), view::kGreen);  // 1000 Hz, long
    EXPECT_TRUE(TextAt(img, 10 - TextWidth("0Hz") / 2, kB + 10, "0Hz", view::kGreen));
    EXPECT_TRUE(TextAt(img, 330 - TextWidth("1000Hz") / 2, kB + 10, "1000Hz", view::kGreen));

    doc.m_dCarrierKHz = 400.0;
    doc.m_nRxMode = 1;
    img = Render(kW, kH);
    const QString label = "1000Hz(399.000 kHz)";
    EXPECT_TRUE(TextAt(img, 330 - TextWidth(label) / 2, kB + 10, label, view::kGreen));
}

TEST_F(AnalysisGraphTest, DesignatedLineCaptionShowsTheRadioFrequencyOnlyWithCarrierAndSideband) {
    doc.m_nViewMode = 2;
    doc.m_nLine = 64;  // 1000.0 Hz
    struct Case {
        double carrier;
        int rxMode;
        const char* caption;
    };
    for (const Case& c : {Case{0.0, 0, "Designated line 1000.0 Hz"}, Case{400.0, -1, "Designated line 1000.0 Hz"},
                          Case{400.0, 1, "Designated line 1000.0 Hz (399.000 kHz)"},
                          Case{400.0, 0, "Designated line 1000.0 Hz (401.000 kHz)"}}) {
        doc.m_dCarrierKHz = c.carrier;
        doc.m_nRxMode = c.rxMode;
        const QImage img = Render(1000, kH);
        EXPECT_TRUE(TextAt(img, 11, 11, c.caption, view::kGreen)) << c.carrier << " " << c.rxMode;
        EXPECT_TRUE(TextAt(img, 11, 27,
                           "Double click to explore any periodicity in the specified spectral line over the current dataset",
                           view::kGreen));
    }
    // Real division: line 1 of a 0..2000 Hz band is 15.6 Hz, not 15 Hz.
    doc.m_dCarrierKHz = 0.0;
    doc.m_nLine = 1;
    EXPECT_TRUE(TextAt(Render(1000, kH), 11, 11, "Designated line 15.6 Hz", view::kGreen));
}

TEST_F(AnalysisGraphTest, PeriodCurvePointsStandTenPixelsApartWithSixtyFourBins) {
    doc.m_nViewMode = 3;
    SetPeriodSpectrum(2048);  // scale 32: M = 64
    for (int j = 0; j < 64; ++j) doc.m_pPeriodSpectrum[j] = j % 2;
    const QImage img = Render(kW, kH);
    for (int j = 0; j < 63; ++j) {
        EXPECT_EQ(At(img, 10 + 10 * j, j % 2 ? 10 : kB), view::kBrightGreen) << j;
    }
    EXPECT_EQ(At(img, 15, kB), view::kGreen);  // between points 0 and 1 the curve leaves the frame
}

TEST_F(AnalysisGraphTest, PeriodLabelsFollowTheScale) {
    doc.m_nViewMode = 3;
    SetPeriodSpectrum(2048);  // 31.25 rows a second: x(t) = 10 + (1/t)/b * P/M
    const int w = 1300;       // P = 1280, wide enough that no tick crosses a label
    auto x = [](double t, int m) { return static_cast<int>(10 + (1.0 / t) / (15.625 / 2048) * 1280 / m); };
    doc.m_nPeriodScale = 32;
    QImage img = Render(w, kH);
    for (int t : {5, 10, 15, 20, 30}) {
        const QString label = QString::number(t) + "s";
        EXPECT_TRUE(TextAt(img, x(t, 64) - TextWidth(label) / 2, kB + 10, label, view::kGreen)) << t;
    }
    EXPECT_EQ(Count(img, QRect(x(60, 64) - 12, kB + 13, 25, 14), view::kGreen), 0);  // no "60s"
    EXPECT_EQ(At(img, x(40, 64), kB + 11), view::kGreen);  // long tick at 40 s
    EXPECT_EQ(At(img, x(41, 64), kB + 5), view::kGreen);   // whole second
    EXPECT_EQ(At(img, x(41, 64), kB + 6), view::kBlack);
    EXPECT_EQ(At(img, x(40.5, 64), kB + 2), view::kGreen);  // half second
    EXPECT_EQ(At(img, x(40.5, 64), kB + 3), view::kBlack);

    doc.m_nPeriodScale = 8;
    img = Render(w, kH);
    for (int t : {1, 2, 5, 10}) {
        const QString label = QString::number(t) + "s";
        EXPECT_TRUE(TextAt(img, x(t, 256) - TextWidth(label) / 2, kB + 10, label, view::kGreen)) << t;
    }
    EXPECT_EQ(Count(img, QRect(x(20, 256) - 12, kB + 13, 25, 14), view::kGreen), 0);  // no "20s"
}

TEST_F(AnalysisGraphTest, DesignatedPeriodIsCircledLabelledAndWritesItsWindow) {
    doc.m_nViewMode = 3;
    doc.m_nBandHigh = 4096;  // 64 rows a second; 3200 bins give b = 0.01 Hz and M = 100
    SetPeriodSpectrum(3200);
    doc.m_pPeriodSpectrum[10] = 1.0;
    doc.m_nPeriodBin = 10;
    const int w = 1020;  // P = 1000: bin j at x = 10 + 10 j
    QImage img = Render(w, kH);
    EXPECT_NEAR(doc.m_dPeriodMax, 10.5, 1e-9);
    EXPECT_NEAR(doc.m_dPeriodMin, 9.5, 1e-9);
    // The label's top-left corner is the point; the curve goes on from there afterwards.
    EXPECT_TRUE(TextAt(img, 110, 10, "10.00", view::kRed, view::ViewFont(), {view::kBrightGreen}));
    EXPECT_EQ(At(img, 105, 10), view::kRed);
    EXPECT_EQ(At(img, 110, 5), view::kRed);
    EXPECT_EQ(At(img, 110, 2), view::kBlack);
    EXPECT_EQ(At(img, 100, 5), view::kBlack);

    // With the peak elsewhere nothing crosses the captions.
    doc.m_pPeriodSpectrum[10] = 0.0;
    doc.m_pPeriodSpectrum[60] = 1.0;
    img = Render(w, kH);
    EXPECT_TRUE(TextAt(img, 11, 11, "Designated period 10.00 secs", view::kGreen));
    EXPECT_TRUE(TextAt(img, 11, 27, "Double click to integrate over the designated ident period", view::kGreen));
    EXPECT_EQ(At(img, 105, kB), view::kRed);  // now circled on the bottom line

    // A bin beyond the shown ones, or bin 0 (no finite period), is neither marked nor written.
    for (int bin : {100, 150, 0}) {
        doc.m_dPeriodMin = 9.0;
        doc.m_dPeriodMax = 10.0;
        doc.m_nPeriodBin = bin;
        EXPECT_EQ(Count(Render(w, kH), QRect(0, 0, w, kH), view::kRed), 0) << bin;
        EXPECT_EQ(doc.m_dPeriodMin, 9.0) << bin;
        EXPECT_EQ(doc.m_dPeriodMax, 10.0) << bin;
    }
}

TEST_F(AnalysisGraphTest, NoShownBinsDrawsOnlyTheFrameAndCaptions) {
    doc.m_nViewMode = 3;
    doc.m_nLine = 64;
    SetPeriodSpectrum(16);  // fewer bins than the scale divisor: M = 0
    doc.m_pPeriodSpectrum[3] = 1.0;
    const QImage img = Render(1000, kH);
    EXPECT_TRUE(TextAt(img, 11, 11, "Designated line 1000.0 Hz", view::kGreen));
    EXPECT_TRUE(TextAt(img, 11, 43, "Click to define the ident period to investigate", view::kGreen));
    EXPECT_EQ(At(img, 500, 10), view::kGreen);
    EXPECT_EQ(At(img, 500, kB), view::kGreen);
    EXPECT_EQ(Count(img, QRect(11, 60, 978, kB - 60), view::kBlack), 978 * (kB - 60));
    EXPECT_EQ(Count(img, QRect(0, kB + 1, 1000, kH - kB - 1), view::kBlack), 1000 * (kH - kB - 1));
}

}  // namespace
}  // namespace sorv::test
