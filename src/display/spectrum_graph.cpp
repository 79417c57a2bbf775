// Mode 1: the spectrogram as a scrolling picture, one pixel column per row (the newest at the
// right edge) and one pixel row per spectral line (line 0 at the bottom).
#include <cmath>

#include "display/graphs.h"
#include "display/view_geometry.h"

namespace sorv::view {

namespace {

constexpr int kBottom = 200;  // pixel row of line 0
constexpr int kTop = 72;      // frame line above line 127

void DrawPicture(Canvas& c, const CSorvantelDoc& doc) {
    const int w = c.Width();
    // Column x shows row (m_nRows + 1 + x - W) mod 65536: the rightmost column is the row
    // about to be written, the one left of it the newest stored row.
    const long long first = (static_cast<long long>(doc.m_nRows) + 1 - w) % kMaxRows;
    const int firstRow = static_cast<int>(first < 0 ? first + kMaxRows : first);
    for (int line = 0; line < kLines; ++line) {
        QRgb* pixels = c.Row(kBottom - line);
        if (!pixels) continue;
        int r = firstRow;
        for (int x = 0; x < w; ++x) {
            pixels[x] = Grey(doc.m_level[r][line]);
            r = (r + 1) & (kMaxRows - 1);
        }
    }
}

// One tick a second counted back from the right edge, every tenth one long.
void DrawTimeTicks(Canvas& c, double rowRate) {
    const int w = c.Width();
    if (!std::isfinite(rowRate) || rowRate <= 0.0) return;
    const int count = TruncToInt(w / rowRate) + 1;
    for (int k = 0; k < count; ++k) {
        const int x = w - TruncToInt(k * rowRate);
        c.MoveTo(x, kBottom);
        c.LineTo(x, kBottom - 5);
        if (k % 10 == 0) c.LineTo(x, kBottom - 10);
    }
}

// A tick on both sides at every 100 Hz of the band, long ones at every 1000 Hz.
void DrawFrequencyTicks(Canvas& c, int low, int high) {
    const int w = c.Width();
    const long long band = static_cast<long long>(high) - low;
    if (band <= 0) return;
    long long f = (low / 100) * 100LL;
    if (f < low) f += 100;
    for (; f <= high; f += 100) {
        const int y = kBottom - static_cast<int>((f - low) * kLines / band);
        const bool thousand = f % 1000 == 0;
        c.MoveTo(w - 2, y);
        c.LineTo(w - 7, y);
        if (thousand) c.LineTo(w - 12, y);
        c.MoveTo(0, y);
        c.LineTo(5, y);
        if (thousand) c.LineTo(10, y);
    }
}

}  // namespace

void DrawSpectrumGraph(Canvas& c, const CSorvantelDoc& doc) {
    const int w = c.Width();
    c.Text(1, 1, QStringLiteral("When sufficient data is accumulated, double click to display the spectral density"), kGreen);
    DrawPicture(c, doc);

    c.SetPen(kGreen);
    c.Line(0, kTop, w, kTop);
    c.Line(0, kBottom, w, kBottom);
    DrawTimeTicks(c, doc.RowRate());
    c.Line(w - 2, kBottom, w - 2, kTop);
    c.Line(0, kBottom, 0, kTop);
    DrawFrequencyTicks(c, doc.m_nBandLow, doc.m_nBandHigh);
}

}  // namespace sorv::view
