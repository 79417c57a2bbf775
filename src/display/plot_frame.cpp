// The frame shared by the Spectral Density and Periodicity graphs.
#include "display/plot_frame.h"

namespace sorv::view {

void DrawPlotFrame(Canvas& c, const PlotRect& plot) {
    c.SetPen(kGreen);
    c.MoveTo(plot.L, plot.T);
    c.LineTo(plot.R, plot.T);
    c.LineTo(plot.R, plot.B);
    c.LineTo(plot.L, plot.B);
    c.LineTo(plot.L, plot.T);
}

}  // namespace sorv::view
