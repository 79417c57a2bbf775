#include "app/carrier_choice_dlg.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

#include "engine/text_format.h"

namespace sorv {

CCarrierChoiceDlg::CCarrierChoiceDlg(const std::string& fileName, const std::vector<CarrierChoice>& carriers,
                                     QWidget* parent)
    : QDialog(parent), list_(new QListWidget(this)) {
    setWindowTitle("Carriers");
    auto* text = new QLabel(QString::fromStdString(FormatC(
                                "%s: %zu carrier%s above the noise. The chosen carrier's channel is analysed as the "
                                "audio of a receiver in upper sideband, 1800 Hz below the carrier.",
                                fileName.c_str(), carriers.size(), carriers.size() == 1 ? "" : "s")),
                            this);
    text->setWordWrap(true);
    text->setTextFormat(Qt::PlainText);
    for (const CarrierChoice& c : carriers)
        list_->addItem(QString::fromStdString(FormatC("%9.2f kHz    %+6.1f dB", c.radioKHz, c.levelDb)));
    if (!carriers.empty()) list_->setCurrentRow(0);
    auto* ok = new QPushButton("OK", this);
    auto* cancel = new QPushButton("Cancel", this);
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(list_, &QListWidget::itemDoubleClicked, this, &QDialog::accept);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(ok);
    buttons->addWidget(cancel);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(text);
    layout->addWidget(list_);
    layout->addLayout(buttons);
    list_->setFocus();
}

int CCarrierChoiceDlg::Chosen() const { return list_->currentRow(); }

}  // namespace sorv
