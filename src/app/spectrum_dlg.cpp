#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "analysis/band_choice.h"
#include "app/parameter_dialogs.h"

namespace sorv {

const char* const CSpectrumDlg::kBandOutOfRange =
    "The band edges must lie between -10000000 Hz and 10000000 Hz. Enter a centre frequency nearer to zero.";

CSpectrumDlg::CSpectrumDlg(QWidget* parent) : ParameterDialog("Spectrum limits", parent), bandwidth_(this) {
    centre_ = MakeEdit(1001);
    QRadioButton* radios[] = {
        MakeRadio(1017, "23 Hz (3 kHz total)"),  MakeRadio(1011, "12 Hz (1.5 kHz total)"),
        MakeRadio(1013, "6 Hz (750 Hz total)"),  MakeRadio(1023, "3 Hz (375 Hz total)"),
        MakeRadio(1014, "1.5 Hz (187.5 Hz total)"),
    };

    auto* centreRow = new QHBoxLayout;
    centreRow->addWidget(new QLabel("Centre frequency", this));
    centreRow->addWidget(centre_);
    centreRow->addWidget(new QLabel("Hz", this));

    auto* box = new QGroupBox("Bandwidth", this);
    auto* boxLayout = new QVBoxLayout(box);
    for (QRadioButton* r : radios) {
        r->setParent(box);
        boxLayout->addWidget(r);
        bandwidth_.Add(r);
    }

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(centreRow);
    layout->addWidget(box);
    layout->addWidget(ButtonRow());
    SetTabOrder({centre_, radios[0], radios[1], radios[2], radios[3], radios[4], OkButton(), CancelButton()});
}

void CSpectrumDlg::LoadFields() {
    ShowWhole(centre_, m_values.centreHz);
    bandwidth_.SetIndex(m_values.bandwidthChoice);
}

bool CSpectrumDlg::SaveFields() {
    int centre = 0;
    if (!ReadWhole(centre_, centre)) return false;
    const int choice = bandwidth_.Index();
    if (!BandEdgesWithinLimits(centre, choice)) {
        Refuse(centre_, kBandOutOfRange);
        return false;
    }
    m_values.centreHz = centre;
    m_values.bandwidthChoice = choice;
    return true;
}

}  // namespace sorv
