// The whole road walked with the mouse, as a user would: a recording holding a keyed ident,
// then double clicks from the Signal graph to the Integral graph, and a right click that
// decodes the ident into the banner without writing the log.
#include <QTest>
#include <cmath>
#include <filesystem>

#include "display/view_geometry.h"
#include "gui/view_fixture.h"
#include "support/keyed_rows.h"
#include "support/morse_audio.h"
#include "support/signals.h"

namespace sorv::test {
namespace {

// The highest density bar within 50 Hz of the tone, the bar a user would pick.
int HighestBarNear(const CSorvantelDoc& doc, double hz) {
    int best = -1;
    for (int l = 0; l < kLines; ++l) {
        if (std::abs(doc.LineFrequency(l) - hz) > 50.0) continue;
        if (best < 0 || doc.m_specDensity[l] > doc.m_specDensity[best]) best = l;
    }
    return best;
}

// The highest point of the curve among the periods a beacon uses (6 to 15 s).
int HighestPeakOfBeaconPeriods(const CSorvantelDoc& doc) {
    const view::PeriodAxis axis = view::PeriodAxis::Of(doc);
    int best = -1;
    for (int k = 1; k < axis.M; ++k) {
        const double period = axis.PeriodOfBin(k);
        if (period < 6.0 || period > 15.0) continue;
        if (best < 0 || doc.m_pPeriodSpectrum[k] > doc.m_pPeriodSpectrum[best]) best = k;
    }
    return best;
}

class ViewRoadTest : public ViewTest {
protected:
    void DoubleClick(int x, int y = 300) { QTest::mouseDClick(&view, Qt::LeftButton, {}, QPoint(x, y)); }
    int BarCentre(int line) const { return 10 + line * P / 128 + P / 256; }
    int BinX(int bin) const { return 10 + bin * P / view::PeriodAxis::Of(doc).M; }
    bool LogIsEmpty() const {
        std::error_code ec;
        return !std::filesystem::exists(doc.m_strLogDirectory, ec) || std::filesystem::is_empty(doc.m_strLogDirectory, ec);
    }

    void Record() {
        PrepareProducer(doc);
        MorseIdentSpec spec;
        spec.ident = "ABC";
        spec.wpm = 8;
        // 180 s at 31.25 rows a second: the period search uses 4096 rows, so bin k stands
        // for 131.072 / k s. This period is the middle of bin 16's window, where the decoding
        // reads, so no narrowing is needed.
        spec.periodSeconds = 131.072 * 16 / (16 * 16 - 0.25);
        spec.toneAmplitude = 40;
        spec.noiseRms = 10;
        spec.seed = 7;
        FeedMorseIdent(doc, spec, 180.0);
        view.resize(W, H);
    }
};

TEST_F(ViewRoadTest, DoubleClicksWalkFromSignalToTheDecodedIdent) {
    Record();
    ASSERT_EQ(doc.m_nViewMode, 0);
    DoubleClick(400);
    ASSERT_EQ(doc.m_nViewMode, 1);
    DoubleClick(400);
    ASSERT_EQ(doc.m_nViewMode, 2);

    const int line = HighestBarNear(doc, 1000.0);
    ASSERT_GE(line, 0);
    DoubleClick(BarCentre(line));
    ASSERT_EQ(doc.m_nViewMode, 3);
    EXPECT_EQ(doc.m_nLine, line);
    EXPECT_EQ(doc.m_bLineSearched[line], 1);

    const int bin = HighestPeakOfBeaconPeriods(doc);
    ASSERT_EQ(bin, 16);
    DoubleClick(BinX(bin));
    ASSERT_EQ(doc.m_nViewMode, 4);
    EXPECT_EQ(doc.m_nPeriodBin, bin);

    ASSERT_EQ(doc.m_bLogCheck, 1);
    QTest::mouseClick(&view, Qt::RightButton, {}, QPoint(400, 300));
    EXPECT_EQ(doc.m_strIdent, "ABC");
    EXPECT_EQ(doc.m_bLogCheck, 1);
    EXPECT_TRUE(LogIsEmpty());

    const QImage img = Render();
    const int c = doc.m_nTrialRows[256];
    const QFont& banner = view::BannerFont();
    EXPECT_TRUE(TextAt(img, 2 * c + 30, H / 2 - TextHeight(banner) / 2, "\"ABC\"", view::kGreen, banner));

    // Enter goes back to the Periodicity graph of the same line, with no designated period.
    view.OnStep();
    EXPECT_EQ(doc.m_nViewMode, 3);
    EXPECT_EQ(doc.m_nLine, line);
    EXPECT_EQ(doc.m_nPeriodBin, -1);
}

TEST_F(ViewRoadTest, StepIntegratesOverTheBinAndCtrlWheelFindsTheNextKeyedLine) {
    // 16384 rows made directly: line 63 keyed every 9 s in noise. The period search then has
    // enough bins between 6 and 15 s for the semi-automatic search to judge.
    doc.m_nRows = 16384;
    KeyedRowsSpec spec;
    spec.line = 63;
    FillKeyedRows(doc.m_power.get(), doc.m_nRows, spec);
    doc.m_nLine = 63;
    doc.OnPeriodSearch();
    ASSERT_EQ(doc.m_nViewMode, 3);
    view.resize(W, H);
    const int bin = HighestPeakOfBeaconPeriods(doc);
    ASSERT_GE(bin, 1);
    const double c = view::PeriodAxis::Of(doc).b;

    // A single click designates and writes Tp +- 0.5 s; Step integrates over the bin's edges.
    QTest::mouseClick(&view, Qt::LeftButton, {}, QPoint(BinX(bin), 300));
    ASSERT_EQ(doc.m_nPeriodBin, bin);
    EXPECT_NEAR(doc.m_dPeriodMax, 1.0 / (bin * c) + 0.5, 1e-9);
    view.OnStep();
    EXPECT_EQ(doc.m_nViewMode, 4);
    EXPECT_NEAR(doc.m_dPeriodMax, 1.0 / (c * (bin - 0.5)), 1e-9);
    EXPECT_NEAR(doc.m_dPeriodMin, 1.0 / (c * (bin + 0.5)), 1e-9);
    view.OnStep();
    ASSERT_EQ(doc.m_nViewMode, 3);

    // From a few noise lines below, Ctrl + wheel toward the user walks up to the keyed line,
    // and its window is ready for the Integrate command.
    doc.m_nLine = 57;
    QWheelEvent e(QPointF(300, 300), QPointF(300, 300), QPoint(), QPoint(0, -120), Qt::NoButton, Qt::ControlModifier,
                  Qt::NoScrollPhase, false);
    QApplication::sendEvent(&view, &e);
    EXPECT_EQ(doc.m_nLine, 63);
    ASSERT_GE(doc.m_nPeriodBin, 1);
    const double tp = view::PeriodAxis::Of(doc).PeriodOfBin(doc.m_nPeriodBin);
    EXPECT_NEAR(doc.m_dPeriodMax, tp + 0.5, 1e-9);
    EXPECT_NEAR(doc.m_dPeriodMin, tp - 0.5, 1e-9);
}

}  // namespace
}  // namespace sorv::test
