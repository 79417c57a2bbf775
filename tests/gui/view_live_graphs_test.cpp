// The graphs of the live input: the Signal trace, the spectrogram with its ticks, and the
// Loran-C picture.
#include <algorithm>
#include <limits>

#include "gui/view_fixture.h"

namespace sorv::test {
namespace {

// Pixel rows of the default band's frequency ticks, which cross the picture's right columns.
bool IsFrequencyTickRow(int y) {
    for (int f = 0; f <= 2000; f += 100) {
        if (y == 200 - f * 128 / 2000) return true;
    }
    return false;
}

class LiveGraphTest : public ViewTest {
protected:
    // The ring sample that the trace's point x shows: point W - 1 would be the newest.
    int RingIndexAt(int x) const { return ((doc.m_nRawPos - W + x) % 1024 + 1024) % 1024; }
};

TEST_F(LiveGraphTest, SignalTraceMapsTheRingOntoTheWindowWidth) {
    // The trace has 1024 points, x = 0 to 1023, whatever the width: wider than that, the
    // points lie left of the right edge and show the samples that stood W - x before it. As
    // lines end one pixel short, the last point itself is not drawn.
    doc.m_nViewMode = 0;
    doc.m_nRawPos = 0;
    doc.m_rawRing[RingIndexAt(1022)] = 100;
    doc.m_rawRing[RingIndexAt(0)] = -100;
    doc.m_rawRing[RingIndexAt(1021)] = 40;
    QImage img = Render();
    EXPECT_EQ(At(img, 1022, 150), view::kBrightGreen);
    EXPECT_EQ(At(img, 0, 50), view::kBrightGreen);
    EXPECT_EQ(At(img, 1021, 120), view::kBrightGreen);
    EXPECT_EQ(At(img, 1, 50), view::kBlack);
    EXPECT_EQ(Count(img, QRect(1025, 0, W - 1025, 99), view::kBrightGreen), 0);
    // Axis with a tick every 40 pixels.
    EXPECT_EQ(At(img, 40, 104), view::kGreen);
    EXPECT_EQ(At(img, 40, 105), view::kBlack);
    EXPECT_EQ(At(img, 60, 103), view::kBlack);

    // The ring position moves the samples along with it.
    doc.m_nRawPos = 100;
    doc.m_rawRing[RingIndexAt(1022)] = -60;
    img = Render();
    EXPECT_EQ(At(img, 1022, 70), view::kBrightGreen);
    EXPECT_EQ(At(img, 1022, 150), view::kBlack);
}

TEST_F(LiveGraphTest, SpectrogramIsBlackAfterStartAndScrollsNewestToTheRight) {
    doc.m_nViewMode = 1;
    doc.m_nRows = 0;
    QImage img = Render();
    EXPECT_TRUE(TextAt(img, 1, 1, "When sufficient data is accumulated, double click to display the spectral density", view::kGreen));
    EXPECT_EQ(Count(img, QRect(20, 73, W - 40, 117), view::kBlack), (W - 40) * 117);  // above the time ticks

    doc.m_nRows = 1;
    for (int i = 0; i < kLines; ++i) {
        doc.m_level[0][i] = 10 + i;
        doc.m_level[1][i] = 200;
        doc.m_level[kMaxRows - 1][i] = 256 + 77;  // only the low 8 bits are grey
    }
    img = Render();
    // Rightmost column: row 1 (about to be written); next: row 0, under the right frame line;
    // then the ring wraps to its last row.
    for (int line = 1; line < kLines; ++line) {
        ASSERT_EQ(At(img, W - 1, 200 - line), view::Grey(200)) << line;
        if (IsFrequencyTickRow(200 - line)) continue;
        ASSERT_EQ(At(img, W - 3, 200 - line), view::Grey(77)) << line;
    }
    EXPECT_EQ(At(img, W - 2, 150), view::kGreen);

    // Two rows: row 0 moves one column left, into the open.
    doc.m_nRows = 2;
    img = Render();
    for (int line = 1; line < kLines; ++line) {
        if (IsFrequencyTickRow(200 - line)) continue;
        ASSERT_EQ(At(img, W - 3, 200 - line), view::Grey(10 + line)) << line;
    }
}

TEST_F(LiveGraphTest, SpectrogramTicksOnTheDefaultBand) {
    doc.m_nViewMode = 1;
    const int w = W;
    const QImage img = Render();
    // Frequency ticks every 100 Hz, long at 0, 1000 and 2000 Hz (y = 200, 136, 72).
    EXPECT_EQ(At(img, 9, 136), view::kGreen);
    EXPECT_EQ(At(img, 10, 136), view::kBlack);
    EXPECT_EQ(At(img, w - 11, 136), view::kGreen);
    EXPECT_EQ(At(img, w - 12, 136), view::kBlack);
    EXPECT_EQ(At(img, 4, 130), view::kGreen);  // 1100 Hz, short
    EXPECT_EQ(At(img, 6, 130), view::kBlack);
    EXPECT_EQ(At(img, w - 6, 130), view::kGreen);
    EXPECT_EQ(At(img, w - 8, 130), view::kBlack);
    EXPECT_EQ(Count(img, QRect(3, 73, 1, 127), view::kGreen), 19);  // 100..1900 Hz; 0 and 2000 on the frame
    EXPECT_EQ(At(img, 300, 72), view::kGreen);
    EXPECT_EQ(At(img, 300, 200), view::kGreen);
    // Time ticks one second apart from the right edge at 31.25 rows a second.
    for (int x : {w - 31, w - 62, w - 93}) {
        EXPECT_EQ(At(img, x, 196), view::kGreen) << x;
        EXPECT_EQ(At(img, x, 195), view::kBlack) << x;
        EXPECT_EQ(At(img, x + 1, 197), view::kBlack) << x;
    }
    EXPECT_EQ(At(img, w - 312, 191), view::kGreen);  // the tenth second is long
    EXPECT_EQ(At(img, w - 312, 190), view::kBlack);
}

TEST_F(LiveGraphTest, LoranPictureNormalisesEachSlotOnItsOwn) {
    doc.m_nViewMode = 1;
    doc.m_bLoran = 1;
    doc.m_dLoranLength = 100.0;  // 100 values a slot, at x = i W / 100
    for (int i = 0; i < 100; ++i) {
        doc.m_loranRing[0][i] = i;
        doc.m_loranRing[1][i] = 1000.0 * i;
        doc.m_loranRing[2][i] = (i == 0 || i == 99) ? 50.0 * i : 5.0;
    }
    const QImage img = Render();
    for (int i = 1; i < 99; ++i) {
        const int x = i * W / 100;
        const int grey = (i - 1) * 255 / 97;  // extremes over values 1 .. 98
        ASSERT_EQ(At(img, x, 0), view::Grey(grey)) << i;
        ASSERT_EQ(At(img, x, 1), view::Grey(grey)) << i;
        ASSERT_EQ(At(img, x, 2), view::kBlack) << i;  // constant inside: black
    }
    // No hint and no axes in Loran-C mode; only the start hint stands at the bottom.
    EXPECT_EQ(Count(img, QRect(0, 3, W, H - 16 - 3), view::kBlack), W * (H - 16 - 3));
}

TEST_F(LiveGraphTest, ShortOrBrokenLoranLengthsPaintSanely) {
    doc.m_nViewMode = 1;
    doc.m_bLoran = 1;
    doc.m_loranRing[0][0] = 3.0;
    doc.m_loranRing[0][1] = 7.0;
    doc.m_dLoranLength = 2.0;  // no inner values: the slot scales over both
    QImage img = Render();
    EXPECT_EQ(At(img, 0, 0), view::Grey(0));
    EXPECT_EQ(At(img, W / 2, 0), view::Grey(255));
    for (double length : {1.0, 0.5, 0.0, -5.0, 1e300, std::numeric_limits<double>::quiet_NaN()}) {
        doc.m_dLoranLength = length;
        img = Render();  // no crash, nothing outside the ring read
        EXPECT_EQ(Count(img, QRect(0, 1, W, H - 16 - 1), view::kBlack), W * (H - 16 - 1)) << length;
    }
}

}  // namespace
}  // namespace sorv::test
