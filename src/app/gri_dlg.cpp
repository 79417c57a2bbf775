#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/parameter_dialogs.h"

namespace sorv {

const char* const CGriDlg::kGriOutOfRange = "The GRI must be greater than 0 and at most 34132.";

CGriDlg::CGriDlg(QWidget* parent) : ParameterDialog("Loran-C Group Repetition Interval", parent) {
    gri_ = MakeEdit(1022);

    auto* griRow = new QHBoxLayout;
    griRow->addStretch(1);
    griRow->addWidget(new QLabel("GRI", this));
    griRow->addWidget(gri_);
    griRow->addStretch(1);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(griRow);
    layout->addWidget(ButtonRow());
    SetTabOrder({OkButton(), CancelButton(), gri_});
}

void CGriDlg::LoadFields() { ShowDecimal(gri_, m_values.gri); }

bool CGriDlg::SaveFields() {
    double gri = 0.0;
    if (!ReadDecimal(gri_, gri)) return false;
    // One interval must fit a slot of the accumulation ring; the dialog keeps the user here
    // rather than letting a value through that the accumulation could not hold.
    if (gri <= 0.0 || gri > kMaxGri) {
        Refuse(gri_, kGriOutOfRange);
        return false;
    }
    m_values.gri = gri;
    return true;
}

}  // namespace sorv
