#include <QApplication>
#include <clocale>

#include "app/main_frame.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    // Numbers in titles, logs and files never follow the user's locale.
    std::setlocale(LC_NUMERIC, "C");
    QApplication::setApplicationName("Sorvantel");
    QApplication::setOrganizationName("KELD");
    sorv::CMainFrame frame;
    frame.show();
    return app.exec();
}
