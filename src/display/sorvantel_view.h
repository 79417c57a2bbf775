// The one view of the document: paints the graph of the current mode through a back buffer.
#pragma once

#include <QPoint>
#include <QWidget>

#include "engine/sorvantel_doc.h"

namespace sorv {

class CSorvantelView : public QWidget {
    Q_OBJECT
public:
    CSorvantelView(CSorvantelDoc& doc, QWidget* parent = nullptr);
    CSorvantelDoc& GetDocument() { return doc_; }
    // Invalidates the whole client area; the next paint redraws everything.
    void OnUpdate() { update(); }
    // Draws the whole client area into `target` (the back buffer).
    void OnDraw(QImage& target);

protected:
    void paintEvent(QPaintEvent*) override;

private:
    CSorvantelDoc& doc_;
    QPoint m_ptMeasureStart{-1, -1};
    QPoint m_ptMeasureEnd{-1, -1};
};

}  // namespace sorv
