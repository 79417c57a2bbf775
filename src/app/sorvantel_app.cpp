#include "app/sorvantel_app.h"

#include <QApplication>
#include <QIcon>

#include "app/main_frame.h"

namespace sorv {

CSorvantelApp::CSorvantelApp() = default;
CSorvantelApp::~CSorvantelApp() = default;

bool CSorvantelApp::InitInstance() {
    QApplication::setApplicationName("Sorvantel");
    QApplication::setOrganizationName("KELD");
    QApplication::setApplicationVersion(SORVANTEL_VERSION);
    QApplication::setDesktopFileName("sorvantel");
    QApplication::setWindowIcon(QIcon(":/icons/sorvantel.svg"));
    frame_ = std::make_unique<CMainFrame>();
    frame_->show();
    return true;
}

}  // namespace sorv
