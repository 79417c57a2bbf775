// The one view of the document. It shows the graph of the current mode (m_nViewMode) with
// the hints that lead the user along the road, and turns clicks, the wheel and keys into
// designations and analysis steps. Everything it shows lives in the document; the view owns
// only the two points of the Integral graph's measuring line.
#pragma once

#include <QPoint>
#include <QWidget>

#include "engine/sorvantel_doc.h"

class QImage;

namespace sorv {

class CSorvantelView : public QWidget {
    Q_OBJECT
public:
    CSorvantelView(CSorvantelDoc& doc, QWidget* parent = nullptr);
    CSorvantelDoc& GetDocument() { return doc_; }

    // The view's size on a first start: wide enough for the Integral graph's captions beside
    // the widest possible picture, with a plot width that gives every density bar the same
    // number of pixels, and exactly one pixel row per trial period, so that the picture has
    // no empty stripes and no shared rows.
    static QSize DefaultSize();
    QSize sizeHint() const override { return DefaultSize(); }

    // Invalidates the whole client area without erasing; the next paint redraws everything.
    void OnUpdate() { update(); }
    // Draws the whole client area into `target` (the back buffer), whose size is the client's.
    void OnDraw(QImage& target);

    // The Step command (Enter, Tab): from the Periodicity graph with a designated period,
    // integrate over the bin's extent; from the Integral graph, back to the Periodicity graph.
    void OnStep();

    // The handlers, in client pixels; the Qt events below translate into them.
    void OnLButtonDblClk(QPoint pt);
    void OnLButtonDown(QPoint pt);
    void OnRButtonDown(QPoint pt);
    void OnMouseMove(QPoint pt, bool leftButtonHeld);
    // One notch of the wheel: toward the user (negative) or away (positive).
    void OnMouseWheel(bool towardUser, bool ctrl);
    void OnKeyDown(int key);

    QPoint MeasureStart() const { return m_ptMeasureStart; }
    QPoint MeasureEnd() const { return m_ptMeasureEnd; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    // Sets the window to the edges of period bin p and integrates; nothing for a bin without
    // a finite period.
    void IntegrateOverBin(int p);
    // The handlers' changes reach the menus and the toolbar at once.
    void AfterHandler() { doc_.Platform().RefreshCommandStates(); }

    CSorvantelDoc& doc_;
    QPoint m_ptMeasureStart{-1, -1};
    QPoint m_ptMeasureEnd{-1, -1};
    int wheelRemainder_ = 0;  // eighths of a degree not yet turned into notches
};

}  // namespace sorv
