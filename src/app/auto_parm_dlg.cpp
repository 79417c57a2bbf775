#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/parameter_dialogs.h"

namespace sorv {

CAutoParmDlg::CAutoParmDlg(QWidget* parent) : ParameterDialog("Automatic search parameters", parent) {
    toneMin_ = MakeEdit(1021);
    toneMax_ = MakeEdit(1018);
    periodMin_ = MakeEdit(1019);
    periodMax_ = MakeEdit(1020);

    auto* grid = new QGridLayout;
    const struct {
        const char* label;
        QLineEdit* edit;
        const char* unit;
    } rows[] = {
        {"Minimum subcarrier freq", toneMin_, "Hz"},
        {"Maximum subcarrier freq", toneMax_, "Hz"},
        {"Minimum ident period", periodMin_, "secs"},
        {"Maximum ident period", periodMax_, "secs"},
    };
    int r = 0;
    for (const auto& row : rows) {
        grid->addWidget(new QLabel(row.label, this), r, 0);
        grid->addWidget(row.edit, r, 1);
        grid->addWidget(new QLabel(row.unit, this), r, 2);
        ++r;
    }

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addWidget(ButtonRow());
    SetTabOrder({OkButton(), CancelButton(), toneMin_, toneMax_, periodMin_, periodMax_});
}

void CAutoParmDlg::LoadFields() {
    ShowDecimal(toneMin_, m_values.toneMin);
    ShowDecimal(toneMax_, m_values.toneMax);
    ShowDecimal(periodMin_, m_values.periodMin);
    ShowDecimal(periodMax_, m_values.periodMax);
}

bool CAutoParmDlg::SaveFields() {
    return ReadDecimal(toneMin_, m_values.toneMin) && ReadDecimal(toneMax_, m_values.toneMax) &&
           ReadDecimal(periodMin_, m_values.periodMin) && ReadDecimal(periodMax_, m_values.periodMax);
}

}  // namespace sorv
