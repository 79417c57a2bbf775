// The Spectral Density and Periodicity graphs: bars, axes, captions, the curve and the
// designated period with its window.
#include <cmath>

#include "gui/view_fixture.h"

namespace sorv::test {
namespace {

class AnalysisGraphTest : public ViewTest {
protected:
    // Rows are stored, as after a Load: the graphs stand without the start hint.
    void SetUp() override { doc.m_nRows = 100; }
    // Left edge of line i's bar, and where frequency f stands on the axis (default band).
    int BarX(int i) const { return 10 + i * P / 128; }
    int FrequencyX(int f) const { return static_cast<int>(10 + f * static_cast<double>(P) / 2000 + 0.5); }
};

TEST_F(AnalysisGraphTest, AllEqualDensitiesDrawAFlatOutlineAlongTheBottom) {
    doc.m_nViewMode = 2;
    for (double& v : doc.m_specDensity) v = 3.0;
    const QImage img = Render();
    EXPECT_EQ(Count(img, QRect(10, B, P, 1), view::kBrightGreen), P);
    EXPECT_EQ(At(img, 10 + P, B), view::kGreen);  // the frame's corner
    EXPECT_EQ(Count(img, QRect(11, 60, P - 1, B - 60), view::kBlack), (P - 1) * (B - 60));
    EXPECT_TRUE(TextAt(img, 11, 11, "Click to designate a spectral line that may contain the ident to investigate", view::kGreen));
}

TEST_F(AnalysisGraphTest, DesignatedLineIsRedAndSearchedLinesYellowBothTwoPixelsWide) {
    doc.m_nViewMode = 2;
    for (int i : {5, 20, 40}) doc.m_specDensity[i] = 1.0;  // full height, the rest zero
    doc.m_bLineSearched[5] = doc.m_bLineSearched[20] = 1;
    doc.m_nLine = 5;
    const QImage img = Render();
    const int y = H / 2;
    // A 2-pixel pen adds the left neighbour to both sides of a bar; a 1-pixel pen does not.
    for (auto [line, colour] : {std::pair{5, view::kRed}, {20, view::kYellow}}) {
        const int x0 = BarX(line), x1 = BarX(line + 1);
        for (int x : {x0 - 1, x0, x1 - 1, x1}) EXPECT_EQ(At(img, x, y), colour) << line << " " << x;
        for (int x : {x0 - 2, x0 + 1, x1 - 2, x1 + 1}) EXPECT_EQ(At(img, x, y), view::kBlack) << line << " " << x;
    }
    const int x0 = BarX(40), x1 = BarX(41);
    for (int x : {x0, x1}) EXPECT_EQ(At(img, x, y), view::kBrightGreen) << x;
    for (int x : {x0 - 1, x0 + 1, x1 - 1, x1 + 1}) EXPECT_EQ(At(img, x, y), view::kBlack) << x;
    EXPECT_EQ(At(img, BarX(5) + 2, 10), view::kRed);  // the top of a full bar
    EXPECT_EQ(At(img, BarX(5) + 2, 9), view::kRed);
}

TEST_F(AnalysisGraphTest, FrequencyAxisTicksAndLabelsOverTheDefaultBand) {
    doc.m_nViewMode = 2;
    QImage img = Render();
    // Ticks every 100 Hz from 0 to 1900 Hz; the upper edge gets neither tick nor label.
    EXPECT_EQ(At(img, FrequencyX(100), B + 4), view::kGreen);
    EXPECT_EQ(At(img, FrequencyX(100), B + 5), view::kBlack);
    EXPECT_EQ(At(img, FrequencyX(1900), B + 4), view::kGreen);
    EXPECT_EQ(At(img, FrequencyX(2000), B + 3), view::kBlack);
    EXPECT_EQ(At(img, FrequencyX(1000), B + 9), view::kGreen);  // long
    EXPECT_EQ(Count(img, QRect(FrequencyX(1000) + 1, B + 1, FrequencyX(1100) - FrequencyX(1000) - 1, 5), view::kGreen), 0);
    EXPECT_TRUE(TextAt(img, 10 - TextWidth("0Hz") / 2, B + 10, "0Hz", view::kGreen));
    EXPECT_TRUE(TextAt(img, FrequencyX(1000) - TextWidth("1000Hz") / 2, B + 10, "1000Hz", view::kGreen));

    doc.m_dCarrierKHz = 400.0;
    doc.m_nRxMode = 1;
    img = Render();
    const QString label = "1000Hz(399.000 kHz)";
    EXPECT_TRUE(TextAt(img, FrequencyX(1000) - TextWidth(label) / 2, B + 10, label, view::kGreen));
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
        const QImage img = Render();
        EXPECT_TRUE(TextAt(img, 11, 11, c.caption, view::kGreen)) << c.carrier << " " << c.rxMode;
        EXPECT_TRUE(TextAt(img, 11, 27,
                           "Double click to explore any periodicity in the specified spectral line over the current dataset",
                           view::kGreen));
    }
    // Real division: line 1 of a 0..2000 Hz band is 15.6 Hz, not 15 Hz.
    doc.m_dCarrierKHz = 0.0;
    doc.m_nLine = 1;
    EXPECT_TRUE(TextAt(Render(), 11, 11, "Designated line 15.6 Hz", view::kGreen));
}

TEST_F(AnalysisGraphTest, PeriodCurvePointsStandEvenlyApartWithSixtyFourBins) {
    doc.m_nViewMode = 3;
    SetPeriodSpectrum(2048);  // scale 32: M = 64, points P / 64 pixels apart
    for (int j = 0; j < 64; ++j) doc.m_pPeriodSpectrum[j] = j % 2;
    const QImage img = Render();
    for (int j = 0; j < 63; ++j) {
        EXPECT_EQ(At(img, 10 + j * P / 64, j % 2 ? 10 : B), view::kBrightGreen) << j;
    }
    EXPECT_EQ(At(img, 15, B), view::kGreen);  // between points 0 and 1 the curve leaves the frame
}

TEST_F(AnalysisGraphTest, PeriodLabelsFollowTheScale) {
    doc.m_nViewMode = 3;
    SetPeriodSpectrum(2048);  // 31.25 rows a second: x(t) = 10 + (1/t)/b * P/M
    auto x = [this](double t, int m) { return static_cast<int>(10 + (1.0 / t) / (15.625 / 2048) * P / m); };
    doc.m_nPeriodScale = 32;
    QImage img = Render();
    for (int t : {5, 10, 15, 20, 30}) {
        const QString label = QString::number(t) + "s";
        EXPECT_TRUE(TextAt(img, x(t, 64) - TextWidth(label) / 2, B + 10, label, view::kGreen)) << t;
    }
    EXPECT_EQ(Count(img, QRect(x(60, 64) - 12, B + 13, 25, 14), view::kGreen), 0);  // no "60s"
    EXPECT_EQ(At(img, x(40, 64), B + 11), view::kGreen);  // long tick at 40 s
    EXPECT_EQ(At(img, x(41, 64), B + 5), view::kGreen);   // whole second
    EXPECT_EQ(At(img, x(41, 64), B + 6), view::kBlack);
    EXPECT_EQ(At(img, x(40.5, 64), B + 2), view::kGreen);  // half second
    EXPECT_EQ(At(img, x(40.5, 64), B + 3), view::kBlack);

    doc.m_nPeriodScale = 8;
    img = Render();
    for (int t : {1, 2, 5, 10}) {
        const QString label = QString::number(t) + "s";
        EXPECT_TRUE(TextAt(img, x(t, 256) - TextWidth(label) / 2, B + 10, label, view::kGreen)) << t;
    }
    EXPECT_EQ(Count(img, QRect(x(20, 256) - 12, B + 13, 25, 14), view::kGreen), 0);  // no "20s"
}

TEST_F(AnalysisGraphTest, DesignatedPeriodIsCircledLabelledAndWritesItsWindow) {
    doc.m_nViewMode = 3;
    doc.m_nBandHigh = 4096;  // 64 rows a second; 3200 bins give b = 0.01 Hz and M = 100
    SetPeriodSpectrum(3200);
    doc.m_pPeriodSpectrum[10] = 1.0;
    doc.m_nPeriodBin = 10;
    const int x = 10 + 10 * P / 100;  // the point of bin 10
    QImage img = Render();
    EXPECT_NEAR(doc.m_dPeriodMax, 10.5, 1e-9);
    EXPECT_NEAR(doc.m_dPeriodMin, 9.5, 1e-9);
    // The label's top-left corner is the point; the curve goes on from there afterwards.
    EXPECT_TRUE(TextAt(img, x, 10, "10.00", view::kRed, view::ViewFont(), {view::kBrightGreen}));
    EXPECT_EQ(At(img, x - 5, 10), view::kRed);
    EXPECT_EQ(At(img, x, 5), view::kRed);
    EXPECT_EQ(At(img, x, 2), view::kBlack);
    EXPECT_EQ(At(img, x - 10, 5), view::kBlack);

    // With the peak elsewhere nothing crosses the captions.
    doc.m_pPeriodSpectrum[10] = 0.0;
    doc.m_pPeriodSpectrum[60] = 1.0;
    img = Render();
    EXPECT_TRUE(TextAt(img, 11, 11, "Designated period 10.00 secs", view::kGreen));
    EXPECT_TRUE(TextAt(img, 11, 27, "Double click to integrate over the designated ident period", view::kGreen));
    EXPECT_EQ(At(img, x - 5, B), view::kRed);  // now circled on the bottom line

    // A bin beyond the shown ones, or bin 0 (no finite period), is neither marked nor written.
    for (int bin : {100, 150, 0}) {
        doc.m_dPeriodMin = 9.0;
        doc.m_dPeriodMax = 10.0;
        doc.m_nPeriodBin = bin;
        EXPECT_EQ(Count(Render(), QRect(0, 0, W, H), view::kRed), 0) << bin;
        EXPECT_EQ(doc.m_dPeriodMin, 9.0) << bin;
        EXPECT_EQ(doc.m_dPeriodMax, 10.0) << bin;
    }
}

TEST_F(AnalysisGraphTest, NoShownBinsDrawsOnlyTheFrameAndCaptions) {
    doc.m_nViewMode = 3;
    doc.m_nLine = 64;
    SetPeriodSpectrum(16);  // fewer bins than the scale divisor: M = 0
    doc.m_pPeriodSpectrum[3] = 1.0;
    const QImage img = Render();
    EXPECT_TRUE(TextAt(img, 11, 11, "Designated line 1000.0 Hz", view::kGreen));
    EXPECT_TRUE(TextAt(img, 11, 43, "Click to define the ident period to investigate", view::kGreen));
    EXPECT_EQ(At(img, W / 2, 10), view::kGreen);
    EXPECT_EQ(At(img, W / 2, B), view::kGreen);
    EXPECT_EQ(Count(img, QRect(11, 60, P - 2, B - 60), view::kBlack), (P - 2) * (B - 60));
    EXPECT_EQ(Count(img, QRect(0, B + 1, W, H - B - 1), view::kBlack), W * (H - B - 1));
}

}  // namespace
}  // namespace sorv::test
