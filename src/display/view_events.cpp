// Qt's mouse, wheel and key events, turned into the view's handlers.
#include <QKeyEvent>
#include <QMouseEvent>
#include <QWheelEvent>

#include "display/sorvantel_view.h"

namespace sorv {

void CSorvantelView::mousePressEvent(QMouseEvent* event) {
    // The second press of a double click arrives as the double click alone.
    if (event->flags().testFlag(Qt::MouseEventCreatedDoubleClick)) return;
    const QPoint pt = event->position().toPoint();
    if (event->button() == Qt::LeftButton) {
        OnLButtonDown(pt);
    } else if (event->button() == Qt::RightButton) {
        OnRButtonDown(pt);
    } else {
        return;
    }
    AfterHandler();
}

void CSorvantelView::mouseDoubleClickEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return;
    OnLButtonDblClk(event->position().toPoint());
    AfterHandler();
}

void CSorvantelView::mouseMoveEvent(QMouseEvent* event) {
    OnMouseMove(event->position().toPoint(), event->buttons().testFlag(Qt::LeftButton));
}

void CSorvantelView::wheelEvent(QWheelEvent* event) {
    event->accept();
    if (doc_.m_nViewMode != 3) {
        wheelRemainder_ = 0;
        return;
    }
    // Fine-grained wheels send small deltas: act once per notch of 120, in the direction the
    // wheel physically turned.
    int delta = event->angleDelta().y();
    if (delta == 0) return;
    if (event->inverted()) delta = -delta;
    wheelRemainder_ += delta;
    const bool ctrl = event->modifiers().testFlag(Qt::ControlModifier);
    bool acted = false;
    while (wheelRemainder_ <= -120 || wheelRemainder_ >= 120) {
        const bool towardUser = wheelRemainder_ < 0;
        wheelRemainder_ += towardUser ? 120 : -120;
        OnMouseWheel(towardUser, ctrl);
        acted = true;
    }
    if (acted) AfterHandler();
}

void CSorvantelView::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape) {
        OnKeyDown(event->key());
        AfterHandler();
        return;
    }
    QWidget::keyPressEvent(event);
}

}  // namespace sorv

