// The frame shared by the Spectral Density and Periodicity graphs.
#pragma once

#include "display/view_canvas.h"
#include "display/view_geometry.h"

namespace sorv::view {

// (L, T) -> (R, T) -> (R, B) -> (L, B) -> (L, T) in green.
void DrawPlotFrame(Canvas& c, const PlotRect& plot);

}  // namespace sorv::view
