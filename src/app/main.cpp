#include <QApplication>
#include <clocale>

#include "app/sorvantel_app.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    // Numbers in titles, logs, dialogs and files never follow the user's locale.
    std::setlocale(LC_NUMERIC, "C");
    sorv::CSorvantelApp sorvantel;
    if (!sorvantel.InitInstance()) return 1;
    return app.exec();
}
