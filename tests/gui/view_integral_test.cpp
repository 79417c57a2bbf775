// The Integral graph: the doubled picture rows, their pixel rows at any height, the captions,
// the ident banner and the measuring line.
#include "gui/view_fixture.h"

namespace sorv::test {
namespace {

class IntegralGraphTest : public ViewTest {
protected:
    void SetUp() override {
        doc.m_nRows = 100;  // from a file: processing off, no start hint over the graph
        doc.m_nViewMode = 4;
    }
};

TEST_F(IntegralGraphTest, ARowIsDrawnTwiceTheSecondCopyStartingOnTheLastPixelOfTheFirst) {
    doc.m_nTrialRows[0] = 300;
    for (int j = 0; j < 300; ++j) doc.m_integral[0][j] = 1000.0 + j;
    const QImage img = Render();
    // Value j at x = j and x = j + 299; both copies are written value by value, so on the
    // shared pixel 299 the first copy's last value comes last.
    for (int x = 0; x <= 299; ++x) ASSERT_EQ(At(img, x, 0), view::Grey(x * 255 / 299)) << x;
    for (int x = 300; x <= 598; ++x) ASSERT_EQ(At(img, x, 0), view::Grey((x - 299) * 255 / 299)) << x;
    EXPECT_EQ(At(img, 599, 0), view::kBlack);
    EXPECT_EQ(Count(img, QRect(0, 1, 600, 511), view::kBlack), 600 * 511);
}

TEST_F(IntegralGraphTest, PictureRowsShareOrSkipPixelRowsWithTheHeight) {
    for (int r = 0; r < kTrials; ++r) {
        doc.m_nTrialRows[r] = 10;
        for (int j = 0; j < 10; ++j) doc.m_integral[r][j] = r % 2 ? 9 - j : j;
    }
    // Heights other than the default one: at H = 256 rows 2k and 2k+1 share pixel row k, the
    // odd one drawn last.
    QImage img = Render(W, 256);
    for (int k = 0; k < 128; ++k) ASSERT_EQ(At(img, 1, k), view::Grey(8 * 255 / 9)) << k;
    // H = 1024: row r on pixel row 2r; the rows between stay empty.
    img = Render(W, 1024);
    for (int r = 0; r < kTrials; ++r) {
        ASSERT_EQ(At(img, 1, 2 * r), view::Grey((r % 2 ? 8 : 1) * 255 / 9)) << r;
        ASSERT_EQ(At(img, 1, 2 * r + 1), view::kBlack) << r;
    }
}

TEST_F(IntegralGraphTest, CaptionsStandRightOfTheWidestRowAndTheBannerShowsTheIdent) {
    for (int r = 0; r < kTrials; ++r) doc.m_nTrialRows[r] = 100;
    doc.m_nTrialRows[511] = 150;  // the widest row decides the text column: X = 310
    doc.m_nLine = 64;
    doc.m_nPeriodBin = 5;
    doc.m_dPeriodMin = 9.0;
    doc.m_dPeriodMax = 10.0;
    QImage img = Render();
    EXPECT_TRUE(TextAt(img, 310, 1, "Designated line 1000.0 Hz", view::kGreen));
    EXPECT_TRUE(TextAt(img, 310, 17, "Designated period 9.50 secs", view::kGreen));
    EXPECT_TRUE(TextAt(img, 310, 33, "Double click on the crossover to expand the integration around the crossover", view::kGreen));
    EXPECT_TRUE(TextAt(img, 310, 49, "Right click to decode the ident", view::kGreen));
    EXPECT_EQ(Count(img, QRect(200, 100, W - 200, H - 100), view::kBlack), (W - 200) * (H - 100));  // no banner

    doc.m_strIdent = "ABC";
    img = Render();
    EXPECT_TRUE(TextAt(img, 310, 49, "Ident : ABC", view::kGreen));
    // The middle trial is 100 rows: a pointer from x = 205 to 224 on the middle pixel row,
    // then the ident in quotes, centred on that row.
    EXPECT_EQ(Count(img, QRect(205, 256, 20, 1), view::kBrightGreen), 20);
    EXPECT_EQ(At(img, 204, 256), view::kBlack);
    EXPECT_EQ(At(img, 225, 256), view::kBlack);
    const QFont& banner = view::BannerFont();
    EXPECT_TRUE(TextAt(img, 230, 256 - TextHeight(banner) / 2, "\"ABC\"", view::kGreen, banner));
    EXPECT_GT(TextHeight(banner), 24);  // 20 points, not the caption font

    // Only the captions' designations decide which lines show.
    doc.m_nLine = -1;
    doc.m_nPeriodBin = -1;
    img = Render();
    EXPECT_TRUE(TextAt(img, 310, 1, "Double click on the crossover to expand the integration around the crossover", view::kGreen));
    EXPECT_TRUE(TextAt(img, 310, 17, "Ident : ABC", view::kGreen));
}

TEST_F(IntegralGraphTest, DraggingDrawsTheMeasuringLineWithItsSpanInSeconds) {
    view.resize(W, H);
    // Moves with the button held but no press in this graph draw nothing.
    view.OnMouseMove(QPoint(50, 50), true);
    EXPECT_EQ(Count(Render(), QRect(0, 0, W, H), view::kYellow), 0);

    const int redraws = platform.redraws;
    view.OnLButtonDown(QPoint(100, 300));
    EXPECT_EQ(platform.redraws, redraws);  // the press alone redraws nothing
    view.OnMouseMove(QPoint(37, 300), true);
    EXPECT_EQ(platform.redraws, redraws + 1);
    QImage img = Render();  // 63 columns at 31.25 rows a second
    EXPECT_TRUE(TextAt(img, 37, 300 - 16, "2.016 s", view::kYellow));
    EXPECT_EQ(At(img, 60, 300), view::kYellow);
    EXPECT_EQ(At(img, 95, 299), view::kYellow);  // 2 pixels wide
    EXPECT_EQ(At(img, 95, 301), view::kBlack);
    EXPECT_EQ(At(img, 36, 300), view::kBlack);

    view.OnLButtonDown(QPoint(37, 300));
    view.OnMouseMove(QPoint(100, 300), true);
    EXPECT_TRUE(TextAt(Render(), 100, 300 - 16, "2.016 s", view::kYellow));

    // The first move without the button ends the measurement.
    view.OnMouseMove(QPoint(120, 300), false);
    EXPECT_EQ(Count(Render(), QRect(0, 0, W, H), view::kYellow), 0);
}

}  // namespace
}  // namespace sorv::test
