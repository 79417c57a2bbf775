// Mode 3: the period spectrum of the designated line against period (short periods to the
// right), so that the user can pick the ident's repeat period. A designated bin is circled
// and labelled in red, and painting it writes the integration window Tp +- 0.5 s.
#include <algorithm>
#include <cmath>

#include "display/graphs.h"
#include "display/plot_frame.h"
#include "display/view_captions.h"
#include "display/view_geometry.h"
#include "engine/text_format.h"

namespace sorv::view {

namespace {

void DrawCaptions(Canvas& c, const CSorvantelDoc& doc, const PlotRect& plot, const PeriodAxis& axis) {
    CaptionStack stack(c, plot.L + 1, plot.T + 1);
    if (doc.m_nLine >= 0) {
        stack.Add(DesignatedLineCaption(doc));
        stack.Add(QStringLiteral("Use '<' or '>' to explore adjacent spectral lines if you see no conspicuous peak in this graph"));
    }
    if (doc.m_nPeriodBin >= 0) {
        stack.Add(ToQ(FormatC("Designated period %1.2lf secs", axis.PeriodOfBin(doc.m_nPeriodBin))));
        stack.Add(QStringLiteral("Double click to integrate over the designated ident period"));
    } else {
        stack.Add(QStringLiteral("Click to define the ident period to investigate"));
    }
}

// Whether period t (in half seconds, 2 .. 120) is labelled at the current scale.
bool IsLabelled(int scale, int halfSeconds) {
    if (halfSeconds % 2 != 0) return false;
    const int t = halfSeconds / 2;
    switch (scale) {
        case 8: return t == 1 || t == 2 || t == 5 || t == 10;
        case 16: return t == 2 || t == 5 || t == 10 || t == 20;
        case 32: return t == 5 || t == 10 || t == 15 || t == 20 || t == 30;
        case 64: return t == 10 || t == 15 || t == 20 || t == 30 || t == 60;
        default: return false;
    }
}

// Ticks every half second from 1 s to 60 s, longer at whole seconds and at tens, wherever
// they fall, with the labels of the scale.
void DrawPeriodAxis(Canvas& c, const CSorvantelDoc& doc, const PlotRect& plot, const PeriodAxis& axis) {
    c.SetPen(kGreen);
    for (int half = 2; half <= 120; ++half) {
        const double t = half * 0.5;
        const int x = TruncToInt(plot.L + (1.0 / t) / axis.b * plot.P / axis.M);
        c.MoveTo(x, plot.B);
        c.LineTo(x, plot.B + 3);
        if (half % 2 == 0) c.LineTo(x, plot.B + 6);
        if (half % 20 == 0) c.LineTo(x, plot.B + 12);
        if (IsLabelled(doc.m_nPeriodScale, half)) {
            const QString label = ToQ(FormatC("%1.0lfs", t));
            c.Text(x - c.TextSize(label).width() / 2, plot.B + 10, label, kGreen);
        }
    }
}

void MarkDesignatedPeriod(Canvas& c, CSorvantelDoc& doc, const PeriodAxis& axis, int x, int y) {
    c.SetPen(kRed, 2);
    c.Circle5(x, y);
    c.SetPen(kBrightGreen);
    WriteDesignatedPeriodWindow(doc);
    const double tp = axis.PeriodOfBin(doc.m_nPeriodBin);
    c.Text(x, y, ToQ(FormatC("%5.2lf", tp)), kRed);
}

void DrawCurve(Canvas& c, CSorvantelDoc& doc, const PlotRect& plot, const PeriodAxis& axis) {
    const int count = static_cast<int>(std::min<size_t>(axis.M, doc.m_pPeriodSpectrum.size()));
    const double* values = doc.m_pPeriodSpectrum.data();
    const Normaliser scale(values, count);
    c.SetPen(kBrightGreen);
    for (int j = 0; j < count; ++j) {
        const int x = plot.L + static_cast<int>(static_cast<long long>(j) * plot.P / axis.M);
        const int y = plot.B - scale.Scale(values[j], plot.Q);
        if (j == 0) {
            c.MoveTo(x, y);
        } else {
            c.LineTo(x, y);
        }
        if (j == doc.m_nPeriodBin && axis.ShowsBin(j)) MarkDesignatedPeriod(c, doc, axis, x, y);
    }
}

}  // namespace

void DrawPeriodicityGraph(Canvas& c, CSorvantelDoc& doc) {
    const PlotRect plot = PlotRect::ForClient(c.Width(), c.Height());
    if (!plot.Usable()) return;
    const PeriodAxis axis = PeriodAxis::Of(doc);
    DrawCaptions(c, doc, plot, axis);
    DrawPlotFrame(c, plot);
    // Without shown bins (fewer bins than the scale divisor) the axis has no scale.
    if (!axis.Usable()) return;
    DrawPeriodAxis(c, doc, plot, axis);
    DrawCurve(c, doc, plot, axis);
}

}  // namespace sorv::view
