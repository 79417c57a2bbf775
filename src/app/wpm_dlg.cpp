#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/parameter_dialogs.h"

namespace sorv {

CWpmDlg::CWpmDlg(QWidget* parent) : ParameterDialog("Ident morse wpm", parent) {
    wpm_ = MakeEdit(1015);
    auto_ = MakeCheck(1016, "Determine automatically");

    auto* wpmRow = new QHBoxLayout;
    wpmRow->addWidget(new QLabel("Words per minute", this));
    wpmRow->addWidget(wpm_);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(wpmRow);
    layout->addWidget(auto_);
    layout->addWidget(ButtonRow());
    SetTabOrder({OkButton(), CancelButton(), wpm_, auto_});
}

void CWpmDlg::LoadFields() {
    auto_->setChecked(m_values.autoWpm != 0);
    ShowWhole(wpm_, m_values.wpm);
}

bool CWpmDlg::SaveFields() {
    m_values.autoWpm = auto_->isChecked() ? 1 : 0;
    return ReadWhole(wpm_, m_values.wpm);
}

}  // namespace sorv
