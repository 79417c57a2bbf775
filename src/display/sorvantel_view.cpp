#include "display/sorvantel_view.h"

#include <QImage>
#include <QPaintEvent>
#include <QPainter>

#include "display/graphs.h"
#include "display/view_canvas.h"

namespace sorv {

CSorvantelView::CSorvantelView(CSorvantelDoc& doc, QWidget* parent) : QWidget(parent), doc_(doc) {
    // Every paint covers the whole client area, so nothing needs erasing first.
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAttribute(Qt::WA_NoSystemBackground);
    // Esc must reach the view; moves without a button must reach it to end a measurement.
    setFocusPolicy(Qt::StrongFocus);
    setMouseTracking(true);
    setMinimumSize(320, 240);
}

QSize CSorvantelView::DefaultSize() {
    QImage probe(1, 1, QImage::Format_RGB32);
    const view::Canvas canvas(probe);
    const int captionsEnd =
        view::IntegralTextColumn(kPhaseBins) + canvas.TextSize(view::IntegralCrossoverCaption()).width();
    // The plot leaves 10 pixels either side (view::PlotRect).
    const int plot = (captionsEnd - 20 + kLines - 1) / kLines * kLines;
    return {plot + 20, kTrials};
}

void CSorvantelView::OnDraw(QImage& target) {
    view::Canvas canvas(target);
    canvas.Fill(view::kBlack);
    switch (doc_.m_nViewMode) {
        case 0: view::DrawSignalGraph(canvas, doc_); break;
        case 1:
            if (doc_.m_bLoran) {
                view::DrawLoranGraph(canvas, doc_);
            } else {
                view::DrawSpectrumGraph(canvas, doc_);
            }
            break;
        case 2: view::DrawSpectralDensityGraph(canvas, doc_); break;
        case 3: view::DrawPeriodicityGraph(canvas, doc_); break;
        case 4: view::DrawIntegralGraph(canvas, doc_, m_ptMeasureStart, m_ptMeasureEnd); break;
        default: break;  // an unknown mode shows only the background and the overlays
    }
    view::DrawOverlays(canvas, doc_);
}

void CSorvantelView::paintEvent(QPaintEvent*) {
    QImage back(size(), QImage::Format_RGB32);
    if (back.isNull()) return;
    OnDraw(back);
    QPainter p(this);
    p.drawImage(0, 0, back);
}

}  // namespace sorv
