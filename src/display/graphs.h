// One drawing function per graph of the view, each in a file of its own. Every function
// draws into the back buffer after the black fill; the overlays come last.
#pragma once

#include <QPoint>

#include "display/view_canvas.h"
#include "engine/sorvantel_doc.h"

namespace sorv::view {

// Mode 0: the last 1024 raw samples as a trace, with its axis and hint.
void DrawSignalGraph(Canvas& c, const CSorvantelDoc& doc);
// Mode 1: the scrolling spectrogram with its frame, time and frequency ticks, and hint.
void DrawSpectrumGraph(Canvas& c, const CSorvantelDoc& doc);
// Mode 1 in Loran-C mode: one pixel row per accumulation slot, each normalised on its own.
void DrawLoranGraph(Canvas& c, const CSorvantelDoc& doc);
// Mode 2: one bar per spectral line over the frequency axis.
void DrawSpectralDensityGraph(Canvas& c, const CSorvantelDoc& doc);
// Mode 3: the period spectrum of the designated line against period. Painting a designated
// bin writes its window Tp +- 0.5 s back into the document.
void DrawPeriodicityGraph(Canvas& c, CSorvantelDoc& doc);
// Mode 4: the folded picture drawn twice, its captions, the ident banner and the measuring
// line between the two points (drawn only while both are set).
void DrawIntegralGraph(Canvas& c, const CSorvantelDoc& doc, QPoint measureStart, QPoint measureEnd);
// The widest of the Integral graph's captions, which always stands.
QString IntegralCrossoverCaption();
// Where the Integral graph's captions start when the widest row holds `widestRow` values.
inline int IntegralTextColumn(int widestRow) { return 2 * widestRow + 10; }
// The start hint and the clipping warning, over whatever graph is shown.
void DrawOverlays(Canvas& c, const CSorvantelDoc& doc);

}  // namespace sorv::view
