#include <QGroupBox>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "app/parameter_dialogs.h"

namespace sorv {

CPerScaleDlg::CPerScaleDlg(QWidget* parent) : ParameterDialog("Periodicity graph scale", parent), scale_(this) {
    auto* box = new QGroupBox(this);
    auto* boxLayout = new QVBoxLayout(box);
    QRadioButton* radios[] = {
        MakeRadio(1012, "display 10 - 60 seconds"),
        MakeRadio(1011, "display 5 - 30 seconds"),
        MakeRadio(1013, "display 2 - 20 seconds"),
        MakeRadio(1014, "display 1 - 10 seconds"),
    };
    for (QRadioButton* r : radios) {
        r->setParent(box);
        boxLayout->addWidget(r);
        scale_.Add(r);
    }

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(box);
    layout->addWidget(ButtonRow());
    SetTabOrder({OkButton(), CancelButton(), radios[0], radios[1], radios[2], radios[3]});
}

void CPerScaleDlg::LoadFields() { scale_.SetIndex(m_values.scaleChoice); }

bool CPerScaleDlg::SaveFields() {
    m_values.scaleChoice = scale_.Index();
    return true;
}

}  // namespace sorv
