// The two texts that stand over every graph. They are drawn after the graph, so that no
// graph can cover them.
#include "display/graphs.h"

namespace sorv::view {

namespace {

// The start hint would blank the axis labels of the analysis graphs, and while their rows are
// stored there is something to read there: working from files, processing is never on.
bool ShowsStartHint(const CSorvantelDoc& doc) {
    if (doc.m_bProcessing) return false;
    const bool analysisGraph = doc.m_nViewMode >= 2 && doc.m_nViewMode <= 4;
    return !(analysisGraph && doc.m_nRows > 0);
}

}  // namespace

void DrawOverlays(Canvas& c, const CSorvantelDoc& doc) {
    if (ShowsStartHint(doc)) {
        const QString hint = QStringLiteral("Click the green button to start processing");
        const QSize s = c.TextSize(hint);
        c.Text((c.Width() - s.width()) / 2, c.Height() - s.height(), hint, kBrightGreen);
    }
    if (doc.m_bClipping) {
        const QString warning = QStringLiteral("Audio limiting!");
        c.Text(c.Width() - c.TextSize(warning).width(), 0, warning, kRed);
    }
}

}  // namespace sorv::view
