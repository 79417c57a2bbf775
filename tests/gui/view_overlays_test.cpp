// The back buffer as a whole: start-up state, the two overlays in every mode, the start hint
// standing back over stored analysis graphs, unknown modes and windows too small for a plot.
#include "gui/view_fixture.h"

namespace sorv::test {
namespace {

const QString kStartHint = "Click the green button to start processing";
const QString kWarning = "Audio limiting!";

TEST_F(ViewTest, StartUpShowsSignalGraphItsHintAndTheStartHintOnBlack) {
    ASSERT_EQ(LineHeight(), 16);  // the line height the layout is made for
    ASSERT_EQ(P % kLines, 0);     // every density bar equally wide at the default size
    const QImage img = Render();
    EXPECT_TRUE(TextAt(img, 1, 150, "Ensure the audio is not limiting then double click to display the spectrum", view::kGreen));
    EXPECT_TRUE(TextAt(img, (W - TextWidth(kStartHint)) / 2, H - 16, kStartHint, view::kBrightGreen));
    // The silent trace lies on the axis; between it and the hint everything is black.
    EXPECT_EQ(At(img, 500, 100), view::kBrightGreen);
    EXPECT_EQ(Count(img, QRect(0, 170, W, H - 16 - 170), view::kBlack), W * (H - 16 - 170));
    EXPECT_EQ(Count(img, img.rect(), 0xFFFF00FFu), 0);  // every pixel painted
}

TEST_F(ViewTest, BothOverlaysStandInEveryModeOverTheGraph) {
    doc.m_bClipping = 1;
    // Material under both overlays: a bright spectrogram, a density, a period spectrum and an
    // integral picture reaching the bottom and the right edge. No rows are stored, as right
    // after Start, so the start hint stands in every mode.
    for (int r = 0; r < kMaxRows; ++r) std::fill(doc.m_level[r], doc.m_level[r] + kLines, 255);
    for (int i = 0; i < kLines; ++i) doc.m_specDensity[i] = i;
    SetPeriodSpectrum(2048);
    for (int j = 0; j < 2048; ++j) doc.m_pPeriodSpectrum[j] = (j * 37) % 11;
    for (int r = 0; r < kTrials; ++r) {
        doc.m_nTrialRows[r] = 420;
        for (int j = 0; j < kPhaseBins; ++j) doc.m_integral[r][j] = (r + j) % 7;
    }
    doc.m_strIdent = "ABC";
    for (int mode : {0, 1, 2, 3, 4, 9}) {
        doc.m_nViewMode = mode;
        const QImage img = Render();
        EXPECT_TRUE(TextAt(img, W - TextWidth(kWarning), 0, kWarning, view::kRed)) << "mode " << mode;
        EXPECT_TRUE(TextAt(img, (W - TextWidth(kStartHint)) / 2, H - 16, kStartHint, view::kBrightGreen))
            << "mode " << mode;
    }
    doc.m_bProcessing = 1;
    doc.m_bClipping = 0;
    doc.m_nViewMode = 0;
    const QImage img = Render();
    EXPECT_EQ(Count(img, QRect(0, H - 16, W, 16), view::kBrightGreen), 0);
    EXPECT_EQ(Count(img, QRect(W - 200, 0, 200, 16), view::kRed), 0);
}

TEST_F(ViewTest, StartHintLeavesTheAnalysisGraphsReadableWhileRowsAreStored) {
    // Rows loaded from a file, processing off: the hint would stand on the axis labels.
    doc.m_nRows = 500;
    for (int i = 0; i < kLines; ++i) doc.m_specDensity[i] = i % 5;
    SetPeriodSpectrum(2048);
    const int hintX = (W - TextWidth(kStartHint)) / 2;
    // The 1000 Hz label of the density graph is centred on the plot, under the hint's place.
    const int x1000 = 10 + P / 2;
    doc.m_nViewMode = 2;
    QImage img = Render();
    EXPECT_TRUE(TextAt(img, x1000 - TextWidth("1000Hz") / 2, B + 10, "1000Hz", view::kGreen));
    EXPECT_EQ(Count(img, QRect(hintX, H - 16, TextWidth(kStartHint), 16), view::kBrightGreen), 0);
    for (int mode : {3, 4}) {
        doc.m_nViewMode = mode;
        img = Render();
        EXPECT_EQ(Count(img, QRect(hintX, H - 16, TextWidth(kStartHint), 16), view::kBrightGreen), 0) << mode;
    }
    // The Signal and the Spectrum still say how to start, rows or not.
    for (int mode : {0, 1}) {
        doc.m_nViewMode = mode;
        EXPECT_TRUE(TextAt(Render(), hintX, H - 16, kStartHint, view::kBrightGreen)) << mode;
    }
    // Without rows there is nothing to read: the hint is back.
    doc.m_nRows = 0;
    doc.m_nViewMode = 2;
    EXPECT_TRUE(TextAt(Render(), hintX, H - 16, kStartHint, view::kBrightGreen));
}

TEST_F(ViewTest, UnknownModeShowsOnlyTheBackgroundAndOverlays) {
    doc.m_nViewMode = 5;
    const QImage img = Render();
    const QRect hint((W - TextWidth(kStartHint)) / 2, H - 16, TextWidth(kStartHint), 16);
    EXPECT_TRUE(TextAt(img, hint.x(), hint.y(), kStartHint, view::kBrightGreen));
    EXPECT_EQ(Count(img, img.rect(), view::kBlack) + Count(img, hint, view::kBrightGreen), W * H);
}

TEST_F(ViewTest, WindowsTooSmallForAPlotPaintSanely) {
    doc.m_nRows = 1;  // stored rows: no start hint over the analysis graphs
    for (int i = 0; i < kLines; ++i) doc.m_specDensity[i] = i;
    SetPeriodSpectrum(2048);
    for (int mode = 0; mode <= 4; ++mode) {
        doc.m_nViewMode = mode;
        for (QSize s : {QSize(1, 1), QSize(15, 35), QSize(20, 40), QSize(3, 300)}) {
            QImage img(s, QImage::Format_RGB32);
            view.OnDraw(img);  // must neither crash nor write outside the image
            if (mode == 2 || mode == 3) {
                EXPECT_EQ(Count(img, img.rect(), view::kBlack), s.width() * s.height()) << mode;
            }
        }
    }
}

}  // namespace
}  // namespace sorv::test
