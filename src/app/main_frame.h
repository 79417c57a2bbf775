// The main window: owns the platform services, the one document and the one view.
#pragma once

#include <QMainWindow>
#include <memory>

#include "app/qt_platform.h"
#include "engine/sorvantel_doc.h"

namespace sorv {

class CSorvantelView;

class CMainFrame : public QMainWindow {
    Q_OBJECT
public:
    CMainFrame();
    ~CMainFrame() override;
    CSorvantelDoc& Doc() { return *doc_; }
    QtPlatform& Platform() { return platform_; }

protected:
    void closeEvent(QCloseEvent* e) override;

private:
    QtPlatform platform_;
    std::unique_ptr<CSorvantelDoc> doc_;
    CSorvantelView* view_ = nullptr;
};

}  // namespace sorv
