// The two texts that stand over every graph. They are drawn after the graph, so that no
// graph can cover them.
#include "display/graphs.h"

namespace sorv::view {

void DrawOverlays(Canvas& c, const CSorvantelDoc& doc) {
    if (!doc.m_bProcessing) {
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
