// What the view's clicks, wheel and keys do: designations and the steps along the road.
#include <cmath>

#include "display/sorvantel_view.h"
#include "display/view_geometry.h"

namespace sorv {

using view::PeriodAxis;
using view::PlotRect;

void CSorvantelView::OnLButtonDblClk(QPoint pt) {
    // The mode is read afresh before each test, highest first, so that the step taken in
    // one mode (which raises the mode) is not followed by the step of the next.
    if (doc_.m_nViewMode == 4) {
        // Halve the window around the trial period of the clicked row and integrate again,
        // unless the halved window would reach zero.
        const double d = view::PeriodUnderY(pt.y(), height(), doc_);
        const double q = (doc_.m_dPeriodMax - doc_.m_dPeriodMin) / 4.0;
        if (std::isfinite(d) && std::isfinite(q) && q >= 0.0 && d - q > 0.0) doc_.NarrowRangeAround(d);
    }
    if (doc_.m_nViewMode == 3) {
        const PlotRect plot = PlotRect::ForClient(width(), height());
        if (plot.Usable()) IntegrateOverBin(view::PeriodBinUnderX(pt.x(), plot, PeriodAxis::Of(doc_)));
    }
    if (doc_.m_nViewMode == 2) {
        const PlotRect plot = PlotRect::ForClient(width(), height());
        if (plot.Usable()) {
            const int line = view::LineUnderX(pt.x(), plot);
            if (line >= 0) doc_.m_nLine = line;
            // A click between bars searches the line designated before, if any.
            if (doc_.m_nLine >= 0) doc_.OnPeriodSearch();
        }
    }
    if (doc_.m_nViewMode == 1) doc_.OnSpectralDensity();
    if (doc_.m_nViewMode == 0) doc_.m_nViewMode = 1;  // drawn at the next repaint
}

void CSorvantelView::OnLButtonDown(QPoint pt) {
    const PlotRect plot = PlotRect::ForClient(width(), height());
    switch (doc_.m_nViewMode) {
        case 2: {
            if (!plot.Usable()) return;
            const int line = view::LineUnderX(pt.x(), plot);
            if (line >= 0) doc_.m_nLine = line;
            doc_.UpdateAllViews();
            break;
        }
        case 3:
            if (!plot.Usable()) return;
            doc_.m_nPeriodBin = view::PeriodBinUnderX(pt.x(), plot, PeriodAxis::Of(doc_));
            // The Integrate command uses Tp +- 0.5 s even if no repaint comes in between.
            view::WriteDesignatedPeriodWindow(doc_);
            doc_.UpdateAllViews();
            break;
        case 4: m_ptMeasureStart = pt; break;
        default: break;
    }
}

void CSorvantelView::OnRButtonDown(QPoint) {
    if (doc_.m_nViewMode != 4) return;
    // Decode for a look only: nothing goes to the log.
    const int logCheck = doc_.m_bLogCheck;
    doc_.m_bLogCheck = 0;
    doc_.OnIdent();
    doc_.m_bLogCheck = logCheck;
}

void CSorvantelView::OnMouseMove(QPoint pt, bool leftButtonHeld) {
    if (doc_.m_nViewMode == 4 && leftButtonHeld) {
        m_ptMeasureEnd = pt;
        doc_.UpdateAllViews();
    } else {
        m_ptMeasureEnd.setX(-1);
    }
}

void CSorvantelView::OnMouseWheel(bool towardUser, bool ctrl) {
    if (doc_.m_nViewMode != 3) return;
    if (ctrl) {
        if (towardUser) {
            doc_.OnSemiAutoFwd();
        } else {
            doc_.OnSemiAutoBack();
        }
        view::WriteDesignatedPeriodWindow(doc_);
        return;
    }
    if (towardUser && doc_.m_nLine != -1 && doc_.m_nLine < 127) {
        ++doc_.m_nLine;
        doc_.OnPeriodSearch();
    } else if (!towardUser && doc_.m_nLine > 0) {
        --doc_.m_nLine;
        doc_.OnPeriodSearch();
    }
}

void CSorvantelView::OnKeyDown(int key) {
    if (key == Qt::Key_Escape) doc_.m_bScriptExit = 1;  // asks a running script to stop
}

void CSorvantelView::OnStep() {
    if (doc_.m_nViewMode == 3 && doc_.m_nPeriodBin >= 0) {
        IntegrateOverBin(doc_.m_nPeriodBin);
    } else if (doc_.m_nViewMode == 4 && doc_.m_nLine >= 0) {
        doc_.m_nViewMode = 3;
        doc_.OnPeriodSearch();
    }
}

void CSorvantelView::IntegrateOverBin(int p) {
    // Bin 0 (or a click left of it) has no finite period: its window would be negative or
    // inverted, so nothing is integrated.
    if (p < 1) return;
    doc_.SetRangeFromBin(p);
}

}  // namespace sorv
