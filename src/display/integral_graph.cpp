// Mode 4: the designated line folded at 512 trial periods, one pixel row per trial, each row
// drawn twice side by side so that a trace crossing the period's edge stays whole. Beside it
// the captions, the decoded ident as a banner, and the measuring line of a drag.
#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "display/graphs.h"
#include "display/view_captions.h"
#include "display/view_geometry.h"
#include "engine/text_format.h"

namespace sorv::view {

namespace {

// Valid values in a picture row: never beyond the image's 512 phase bins.
int RowLength(const CSorvantelDoc& doc, int r) { return std::clamp(doc.m_nTrialRows[r], 0, kPhaseBins); }

void DrawCaptions(Canvas& c, const CSorvantelDoc& doc, int x) {
    CaptionStack stack(c, x, 1);
    if (doc.m_nLine >= 0) stack.Add(DesignatedLineCaption(doc));
    if (doc.m_nPeriodBin >= 0) {
        stack.Add(ToQ(FormatC("Designated period %1.2lf secs", (doc.m_dPeriodMin + doc.m_dPeriodMax) * 0.5)));
    }
    stack.Add(IntegralCrossoverCaption());
    if (!doc.m_strIdent.empty()) {
        stack.Add(QStringLiteral("Ident : ") + ToQ(doc.m_strIdent));
    } else {
        stack.Add(QStringLiteral("Right click to decode the ident"));
    }
}

void DrawPicture(Canvas& c, const CSorvantelDoc& doc) {
    const int h = c.Height();
    for (int r = 0; r < kTrials; ++r) {
        const int n = RowLength(doc, r);
        if (n <= 0) continue;
        const double* values = doc.m_integral[r];
        const Normaliser scale(values, n);
        const int y = static_cast<int>(static_cast<long long>(r) * h / kTrials);
        for (int j = 0; j < n; ++j) {
            const QRgb g = Grey(scale.Grey(values[j]));
            c.SetPixel(j, y, g);
            c.SetPixel(j + n - 1, y, g);
        }
    }
}

// The ident in quotes, large, with a short line pointing at the picture's middle row.
void DrawBanner(Canvas& c, const CSorvantelDoc& doc) {
    const int middle = RowLength(doc, kTrials / 2);
    const int y = c.Height() / 2;
    c.SetPen(kBrightGreen);
    c.Line(2 * middle + 5, y, 2 * middle + 25, y);
    const QFont previous = c.Font();
    c.SetFont(BannerFont());
    const int hb = c.TextSize(QStringLiteral("Text")).height();
    c.Text(2 * middle + 30, y - hb / 2, QStringLiteral("\"") + ToQ(doc.m_strIdent) + QStringLiteral("\""), kGreen);
    c.SetFont(previous);
}

// One picture column is one spectrogram row, 1/rho seconds.
void DrawMeasuringLine(Canvas& c, const CSorvantelDoc& doc, QPoint start, QPoint end) {
    c.SetPen(kYellow, 2);
    c.Line(start.x(), start.y(), end.x(), end.y());
    const double rowRate = doc.RowRate();
    if (!std::isfinite(rowRate) || rowRate <= 0.0) return;
    const double span = std::abs(end.x() - start.x()) / rowRate;
    const QString label = ToQ(FormatC("%5.3lf s", span));
    c.Text(end.x(), end.y() - c.TextSize(label).height(), label, kYellow);
}

}  // namespace

QString IntegralCrossoverCaption() {
    return QStringLiteral("Double click on the crossover to expand the integration around the crossover");
}

void DrawIntegralGraph(Canvas& c, const CSorvantelDoc& doc, QPoint measureStart, QPoint measureEnd) {
    // The captions stand right of the widest doubled row, so that no row reaches them.
    int widest = 0;
    for (int r = 0; r < kTrials; ++r) widest = std::max(widest, RowLength(doc, r));
    DrawCaptions(c, doc, IntegralTextColumn(widest));
    DrawPicture(c, doc);
    if (!doc.m_strIdent.empty()) DrawBanner(c, doc);
    if (measureStart.x() != -1 && measureEnd.x() != -1) DrawMeasuringLine(c, doc, measureStart, measureEnd);
}

}  // namespace sorv::view
