#include "app/main_frame.h"

#include <QCloseEvent>

#include "display/sorvantel_view.h"

namespace sorv {

CMainFrame::CMainFrame() {
    platform_.SetMainWindow(this);
    doc_ = std::make_unique<CSorvantelDoc>(platform_);
    platform_.SetDocument(doc_.get());
    view_ = new CSorvantelView(*doc_, this);
    platform_.SetView(view_);
    setCentralWidget(view_);
    setWindowTitle("Sorvantel");
    resize(900, 600);
}

CMainFrame::~CMainFrame() {
    // The document goes first (it stops devices and saves settings) while the view still exists.
    platform_.SetDocument(nullptr);
    doc_.reset();
}

void CMainFrame::closeEvent(QCloseEvent* e) {
    // A running script waits in a nested event loop: the window must not go from under it.
    if (doc_ && doc_->m_bScriptRunning) {
        e->ignore();
        return;
    }
    e->accept();
}

}  // namespace sorv
