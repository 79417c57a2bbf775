// Clicks, double clicks, the wheel and keys on the view, delivered as Qt events.
#include <QTest>
#include <QWheelEvent>
#include <cmath>

#include "gui/view_fixture.h"

namespace sorv::test {
namespace {

class ViewInputTest : public ViewTest {
protected:
    void SetUp() override { view.resize(W, H); }
    void Click(int x, int y = 200, Qt::MouseButton b = Qt::LeftButton) { QTest::mouseClick(&view, b, {}, QPoint(x, y)); }
    void DoubleClick(int x, int y = 200) { QTest::mouseDClick(&view, Qt::LeftButton, {}, QPoint(x, y)); }
    // The first x of the density bar of line i (its left edge is x - 1).
    int InsideBar(int i) const { return 10 + i * P / 128 + 1; }
    // The first x whose nearest curve point is bin k, with M bins shown.
    int FirstXOfBin(int k, int m) const { return 10 + static_cast<int>(std::ceil((k - 0.5) * P / m)); }
    void Wheel(int delta, Qt::KeyboardModifiers mods = {}, bool inverted = false) {
        QWheelEvent e(QPointF(300, 200), QPointF(300, 200), QPoint(), QPoint(0, delta), Qt::NoButton, mods,
                      Qt::NoScrollPhase, inverted);
        QApplication::sendEvent(&view, &e);
    }
};

TEST_F(ViewInputTest, DensityClicksDesignateOnlyStrictlyInsideABar) {
    doc.m_nViewMode = 2;
    const int redraws = platform.redraws;
    Click(InsideBar(1) - 2);  // the last pixel inside line 0's bar
    EXPECT_EQ(doc.m_nLine, 0);
    Click(InsideBar(1));
    EXPECT_EQ(doc.m_nLine, 1);
    Click(InsideBar(1) - 1);  // the edge between lines 0 and 1
    EXPECT_EQ(doc.m_nLine, 1);
    Click(5);  // left of the plot
    EXPECT_EQ(doc.m_nLine, 1);
    Click(10 + P - 1);
    EXPECT_EQ(doc.m_nLine, 127);
    EXPECT_EQ(platform.redraws, redraws + 5);
    EXPECT_EQ(doc.m_nViewMode, 2);
}

TEST_F(ViewInputTest, PeriodicityClicksPickTheNearestBinAndWriteItsWindow) {
    doc.m_nViewMode = 3;
    SetPeriodSpectrum(2048);  // M = 64: bin j at x = 10 + j P / 64
    for (auto [x, bin] : {std::pair{FirstXOfBin(2, 64) - 1, 1}, {FirstXOfBin(2, 64), 2},
                          {FirstXOfBin(10, 64) - 1, 9}, {FirstXOfBin(10, 64), 10}}) {
        Click(x);
        EXPECT_EQ(doc.m_nPeriodBin, bin) << x;
    }
    // Tp of bin 10 at b = 15.625 / 2048 Hz, written without waiting for a paint.
    const double tp = 2048 / (10 * 15.625);
    EXPECT_NEAR(doc.m_dPeriodMax, tp + 0.5, 1e-9);
    EXPECT_NEAR(doc.m_dPeriodMin, tp - 0.5, 1e-9);
    // Bin 0 has no period: the click designates nothing and keeps the window.
    Click(12);
    EXPECT_EQ(doc.m_nPeriodBin, -1);
    EXPECT_NEAR(doc.m_dPeriodMax, tp + 0.5, 1e-9);
    // A double click there starts nothing either.
    DoubleClick(12);
    EXPECT_EQ(doc.m_nViewMode, 3);
    EXPECT_NEAR(doc.m_dPeriodMin, tp - 0.5, 1e-9);
    // Without shown bins every click designates nothing.
    SetPeriodSpectrum(16);
    Click(105);
    EXPECT_EQ(doc.m_nPeriodBin, -1);
}

TEST_F(ViewInputTest, DoubleClicksStepOnlyOnceAndTheSignalStepRedrawsNothing) {
    doc.m_nViewMode = 0;
    const int redraws = platform.redraws;
    DoubleClick(300);
    EXPECT_EQ(doc.m_nViewMode, 1);
    EXPECT_EQ(platform.redraws, redraws);

    // The density double click with no line and outside every bar starts nothing.
    doc.m_nViewMode = 2;
    DoubleClick(5);
    EXPECT_EQ(doc.m_nViewMode, 2);
    EXPECT_EQ(doc.m_nLine, -1);
}

TEST_F(ViewInputTest, IntegralDoubleClickHalvesTheWindowAroundTheClickedRow) {
    doc.m_nViewMode = 4;
    doc.m_dPeriodMin = 9.0;
    doc.m_dPeriodMax = 10.0;
    DoubleClick(100, H / 2);
    EXPECT_NEAR(doc.m_dPeriodMin, 9.25, 1e-12);
    EXPECT_NEAR(doc.m_dPeriodMax, 9.75, 1e-12);
    EXPECT_EQ(doc.m_nViewMode, 4);
    // A window that would reach zero is refused.
    doc.m_dPeriodMin = 0.1;
    doc.m_dPeriodMax = 10.0;
    DoubleClick(100, 0);
    EXPECT_EQ(doc.m_dPeriodMin, 0.1);
    EXPECT_EQ(doc.m_dPeriodMax, 10.0);
}

TEST_F(ViewInputTest, WheelStepsLinesInThePeriodicityGraphOnly) {
    doc.m_nViewMode = 3;
    doc.m_nLine = 5;
    Wheel(-120);  // toward the user
    EXPECT_EQ(doc.m_nLine, 6);
    Wheel(120);
    EXPECT_EQ(doc.m_nLine, 5);
    Wheel(-60);  // half a notch does nothing yet
    EXPECT_EQ(doc.m_nLine, 5);
    Wheel(-60);
    EXPECT_EQ(doc.m_nLine, 6);
    Wheel(0);
    EXPECT_EQ(doc.m_nLine, 6);
    Wheel(-240);  // two notches at once
    EXPECT_EQ(doc.m_nLine, 8);
    Wheel(-120, {}, true);  // natural scrolling: the same delta means the other way
    EXPECT_EQ(doc.m_nLine, 7);

    doc.m_nLine = 127;
    Wheel(-120);
    EXPECT_EQ(doc.m_nLine, 127);
    doc.m_nLine = 0;
    Wheel(120);
    EXPECT_EQ(doc.m_nLine, 0);
    doc.m_nLine = -1;
    Wheel(-120);
    EXPECT_EQ(doc.m_nLine, -1);

    doc.m_nViewMode = 2;
    doc.m_nLine = 5;
    Wheel(-120);
    EXPECT_EQ(doc.m_nLine, 5);
}

TEST_F(ViewInputTest, EscAsksARunningScriptToStop) {
    EXPECT_EQ(doc.m_bScriptExit, 0);
    QTest::keyClick(&view, Qt::Key_Escape);
    EXPECT_EQ(doc.m_bScriptExit, 1);
}

TEST_F(ViewInputTest, StepDoesNothingWithoutADesignation) {
    doc.m_nViewMode = 3;
    doc.m_nPeriodBin = -1;
    view.OnStep();
    EXPECT_EQ(doc.m_nViewMode, 3);
    doc.m_nViewMode = 4;
    doc.m_nLine = -1;
    view.OnStep();
    EXPECT_EQ(doc.m_nViewMode, 4);
    doc.m_nViewMode = 2;
    doc.m_nLine = 3;
    view.OnStep();
    EXPECT_EQ(doc.m_nViewMode, 2);
}

TEST_F(ViewInputTest, RightClickOutsideTheIntegralGraphDecodesNothing) {
    // A state in which decoding would write something ("..." for an empty middle trial).
    doc.m_nRows = 10;
    doc.m_nLine = 5;
    doc.m_nViewMode = 3;
    doc.m_strIdent = "";
    Click(100, 100, Qt::RightButton);
    EXPECT_EQ(doc.m_strIdent, "");
    EXPECT_EQ(doc.m_bLogCheck, 1);
}

}  // namespace
}  // namespace sorv::test
