#include "display/sorvantel_view.h"

#include <QImage>
#include <QPainter>

namespace sorv {

CSorvantelView::CSorvantelView(CSorvantelDoc& doc, QWidget* parent) : QWidget(parent), doc_(doc) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFocusPolicy(Qt::StrongFocus);
    setMinimumSize(320, 240);
}

void CSorvantelView::OnDraw(QImage& target) {
    target.fill(Qt::black);
    QPainter p(&target);
    if (!doc_.m_bProcessing) {
        const QString hint = "Click the green button to start processing";
        const QFontMetrics fm(p.font());
        p.setPen(QColor(0, 255, 0));
        p.drawText((target.width() - fm.horizontalAdvance(hint)) / 2, target.height() - fm.height() + fm.ascent(), hint);
    }
}

void CSorvantelView::paintEvent(QPaintEvent*) {
    QImage back(size(), QImage::Format_RGB32);
    OnDraw(back);
    QPainter p(this);
    p.drawImage(0, 0, back);
}

}  // namespace sorv
