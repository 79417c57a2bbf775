// Mode 2: the spectral density of the recording as 128 bars, so that the user can designate
// the line that may carry a beacon's ident. Searched lines are yellow, the designated one red.
#include "display/graphs.h"
#include "display/plot_frame.h"
#include "display/view_captions.h"
#include "display/view_geometry.h"
#include "engine/text_format.h"

namespace sorv::view {

namespace {

void DrawCaptions(Canvas& c, const CSorvantelDoc& doc, const PlotRect& plot) {
    CaptionStack stack(c, plot.L + 1, plot.T + 1);
    if (doc.m_nLine >= 0) {
        stack.Add(DesignatedLineCaption(doc));
        stack.Add(QStringLiteral("Double click to explore any periodicity in the specified spectral line over the current dataset"));
    } else {
        stack.Add(QStringLiteral("Click to designate a spectral line that may contain the ident to investigate"));
    }
}

QString FrequencyLabel(const CSorvantelDoc& doc, int f) {
    if (ShowsRadioFrequency(doc)) return ToQ(FormatC("%dHz(%6.3lf kHz)", f, RadioKHz(doc, f)));
    return ToQ(FormatC("%dHz", f));
}

// Ticks at every 100 Hz below the upper edge, long and labelled at every 1000 Hz.
void DrawFrequencyAxis(Canvas& c, const CSorvantelDoc& doc, const PlotRect& plot) {
    const int low = doc.m_nBandLow, high = doc.m_nBandHigh;
    const double band = static_cast<double>(high) - low;
    if (band <= 0.0) return;
    c.SetPen(kGreen);
    long long f = (low / 100) * 100LL;
    if (f < low) f += 100;
    for (; f < high; f += 100) {
        const int x = TruncToInt(plot.L + (f - low) * plot.P / band + 0.5);
        c.Line(x, plot.B, x, plot.B + 5);
        if (f % 1000 != 0) continue;
        c.LineTo(x, plot.B + 10);
        const QString label = FrequencyLabel(doc, static_cast<int>(f));
        c.Text(x - c.TextSize(label).width() / 2, plot.B + 10, label, kGreen);
    }
}

void DrawBars(Canvas& c, const CSorvantelDoc& doc, const PlotRect& plot) {
    const Normaliser scale(doc.m_specDensity, kLines);
    for (int i = 0; i < kLines; ++i) {
        const int x0 = plot.L + static_cast<int>(static_cast<long long>(i) * plot.P / kLines);
        const int x1 = plot.L + static_cast<int>(static_cast<long long>(i + 1) * plot.P / kLines);
        const int d = scale.Scale(doc.m_specDensity[i], plot.Q);
        if (i == doc.m_nLine) {
            c.SetPen(kRed, 2);
        } else if (doc.m_bLineSearched[i]) {
            c.SetPen(kYellow, 2);
        } else {
            c.SetPen(kBrightGreen);
        }
        c.MoveTo(x0, plot.B);
        c.LineTo(x0, plot.B - d);
        c.LineTo(x1, plot.B - d);
        c.LineTo(x1, plot.B);
    }
}

}  // namespace

void DrawSpectralDensityGraph(Canvas& c, const CSorvantelDoc& doc) {
    const PlotRect plot = PlotRect::ForClient(c.Width(), c.Height());
    if (!plot.Usable()) return;
    DrawCaptions(c, doc, plot);
    DrawPlotFrame(c, plot);
    DrawFrequencyAxis(c, doc, plot);
    DrawBars(c, doc, plot);
}

}  // namespace sorv::view
