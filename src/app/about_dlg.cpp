#include "app/about_dlg.h"

#include <QGridLayout>
#include <QIcon>
#include <QLabel>
#include <QPushButton>

#ifndef SORVANTEL_VERSION
#error "SORVANTEL_VERSION comes from the project version in CMake"
#endif

namespace sorv {

const char* const CAboutDlg::kVersionText = "Sorvantel Version " SORVANTEL_VERSION;

CAboutDlg::CAboutDlg(QWidget* parent) : QDialog(parent) {
    setWindowTitle("About Sorvantel");
    setModal(true);

    auto* icon = new QLabel(this);
    icon->setPixmap(QIcon(":/icons/sorvantel.svg").pixmap(32, 32));
    auto* text = new QLabel(kVersionText, this);
    text->setObjectName("1008");
    auto* ok = new QPushButton("OK", this);
    ok->setObjectName("1");
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);

    auto* layout = new QGridLayout(this);
    layout->addWidget(icon, 0, 0, 2, 1, Qt::AlignTop);
    layout->addWidget(text, 0, 1);
    layout->addWidget(ok, 1, 2);
    layout->setColumnStretch(1, 1);
}

}  // namespace sorv
