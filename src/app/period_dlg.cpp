#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/parameter_dialogs.h"

namespace sorv {

// The title keeps the spelling users have always seen on this dialog.
CPeriodDlg::CPeriodDlg(QWidget* parent) : ParameterDialog("Perido search range", parent) {
    max_ = MakeEdit(1002);
    min_ = MakeEdit(1003);

    auto* grid = new QGridLayout;
    grid->addWidget(new QLabel("Maximum period", this), 0, 0);
    grid->addWidget(max_, 0, 1);
    grid->addWidget(new QLabel("secs", this), 0, 2);
    grid->addWidget(new QLabel("Minimum period", this), 1, 0);
    grid->addWidget(min_, 1, 1);
    grid->addWidget(new QLabel("secs", this), 1, 2);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addWidget(ButtonRow());
    SetTabOrder({OkButton(), CancelButton(), max_, min_});
}

void CPeriodDlg::LoadFields() {
    ShowDecimal(max_, m_values.maxPeriod);
    ShowDecimal(min_, m_values.minPeriod);
}

bool CPeriodDlg::SaveFields() {
    return ReadDecimal(max_, m_values.maxPeriod) && ReadDecimal(min_, m_values.minPeriod);
}

}  // namespace sorv
