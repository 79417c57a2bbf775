#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "app/parameter_dialogs.h"

namespace sorv {

CCarrierDlg::CCarrierDlg(QWidget* parent) : ParameterDialog("Nominal carrier frequency", parent), mode_(this) {
    auto* box = new QGroupBox("Receive mode", this);
    QRadioButton* usb = MakeRadio(1010, "USB");
    QRadioButton* lsb = MakeRadio(1011, "LSB");
    auto* boxLayout = new QVBoxLayout(box);
    for (QRadioButton* r : {usb, lsb}) {
        r->setParent(box);
        boxLayout->addWidget(r);
        mode_.Add(r);
    }
    carrier_ = MakeEdit(1009);

    auto* carrierColumn = new QVBoxLayout;
    carrierColumn->addWidget(new QLabel("Nominal carrier (kHz)", this));
    carrierColumn->addWidget(carrier_);
    carrierColumn->addStretch(1);

    auto* top = new QHBoxLayout;
    top->addWidget(box);
    top->addLayout(carrierColumn);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(ButtonRow());
    SetTabOrder({OkButton(), usb, lsb, carrier_, CancelButton()});
}

void CCarrierDlg::LoadFields() {
    mode_.SetIndex(m_values.rxMode);
    ShowDecimal(carrier_, m_values.carrierKHz);
}

bool CCarrierDlg::SaveFields() {
    m_values.rxMode = mode_.Index();
    return ReadDecimal(carrier_, m_values.carrierKHz);
}

}  // namespace sorv
