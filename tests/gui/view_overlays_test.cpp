// The back buffer as a whole: start-up state, the two overlays in every mode, unknown modes
// and windows too small for a plot.
#include "gui/view_fixture.h"

namespace sorv::test {
namespace {

const QString kStartHint = "Click the green button to start processing";
const QString kWarning = "Audio limiting!";

TEST_F(ViewTest, StartUpShowsSignalGraphItsHintAndTheStartHintOnBlack) {
    ASSERT_EQ(LineHeight(), 16);  // the line height the layout is made for
    const QImage img = Render(800, 600);
    EXPECT_TRUE(TextAt(img, 1, 150, "Ensure the audio is not limiting then double click to display the spectrum", view::kGreen));
    EXPECT_TRUE(TextAt(img, (800 - TextWidth(kStartHint)) / 2, 600 - 16, kStartHint, view::kBrightGreen));
    // The silent trace lies on the axis; below the hint everything is black.
    EXPECT_EQ(At(img, 500, 100), view::kBrightGreen);
    EXPECT_EQ(Count(img, QRect(0, 170, 800, 400), view::kBlack), 800 * 400);
    EXPECT_EQ(Count(img, img.rect(), 0xFFFF00FFu), 0);  // every pixel painted
}

TEST_F(ViewTest, BothOverlaysStandInEveryModeOverTheGraph) {
    doc.m_bClipping = 1;
    // Material under both overlays: a bright spectrogram, a density, a period spectrum and an
    // integral picture reaching the bottom and the right edge.
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
        const QImage img = Render(800, 600);
        EXPECT_TRUE(TextAt(img, 800 - TextWidth(kWarning), 0, kWarning, view::kRed)) << "mode " << mode;
        EXPECT_TRUE(TextAt(img, (800 - TextWidth(kStartHint)) / 2, 584, kStartHint, view::kBrightGreen)) << "mode " << mode;
    }
    doc.m_bProcessing = 1;
    doc.m_bClipping = 0;
    doc.m_nViewMode = 0;
    const QImage img = Render(800, 600);
    EXPECT_EQ(Count(img, QRect(0, 584, 800, 16), view::kBrightGreen), 0);
    EXPECT_EQ(Count(img, QRect(600, 0, 200, 16), view::kRed), 0);
}

TEST_F(ViewTest, UnknownModeShowsOnlyTheBackgroundAndOverlays) {
    doc.m_nViewMode = 5;
    doc.m_bProcessing = 1;
    EXPECT_EQ(Count(Render(640, 480), QRect(0, 0, 640, 480), view::kBlack), 640 * 480);
}

TEST_F(ViewTest, WindowsTooSmallForAPlotPaintSanely) {
    doc.m_bProcessing = 1;
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
