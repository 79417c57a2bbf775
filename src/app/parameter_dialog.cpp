#include "app/parameter_dialog.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

#include "app/plain_message_box.h"
#include "engine/text_format.h"

namespace sorv {

const char* const ParameterDialog::kEnterNumber = "Enter a number.";
const char* const ParameterDialog::kEnterInteger = "Enter an integer.";

QString FormatDecimalField(double value) { return QString::fromStdString(FormatC("%.*g", 15, value)); }

QString FormatWholeField(int value) { return QString::fromStdString(FormatC("%d", value)); }

ParameterDialog::ParameterDialog(const QString& title, QWidget* parent) : QDialog(parent) {
    setWindowTitle(title);
    setModal(true);
    ok_ = new QPushButton("OK", this);
    ok_->setObjectName("1");
    ok_->setDefault(true);
    cancel_ = new QPushButton("Cancel", this);
    cancel_->setObjectName("2");
    connect(ok_, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancel_, &QPushButton::clicked, this, &QDialog::reject);
}

void ParameterDialog::accept() {
    if (SaveFields()) QDialog::accept();
}

void ParameterDialog::showEvent(QShowEvent* e) {
    LoadFields();
    QDialog::showEvent(e);
    if (firstTabStop_) firstTabStop_->setFocus(Qt::TabFocusReason);
}

QLineEdit* ParameterDialog::MakeEdit(int id) {
    auto* edit = new QLineEdit(this);
    edit->setObjectName(QString::number(id));
    edit->setMinimumWidth(edit->fontMetrics().horizontalAdvance("0000000000"));
    return edit;
}

QRadioButton* ParameterDialog::MakeRadio(int id, const QString& text) {
    auto* radio = new QRadioButton(text, this);
    radio->setObjectName(QString::number(id));
    return radio;
}

QCheckBox* ParameterDialog::MakeCheck(int id, const QString& text) {
    auto* check = new QCheckBox(text, this);
    check->setObjectName(QString::number(id));
    return check;
}

QWidget* ParameterDialog::ButtonRow() {
    auto* row = new QWidget(this);
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(cancel_);
    layout->addStretch(1);
    layout->addWidget(ok_);
    return row;
}

void ParameterDialog::SetTabOrder(std::initializer_list<QWidget*> order) {
    QWidget* previous = nullptr;
    for (QWidget* w : order) {
        if (previous) QWidget::setTabOrder(previous, w);
        previous = w;
    }
    firstTabStop_ = order.size() ? *order.begin() : nullptr;
}

void ParameterDialog::ShowDecimal(QLineEdit* edit, double value) { edit->setText(FormatDecimalField(value)); }

void ParameterDialog::ShowWhole(QLineEdit* edit, int value) { edit->setText(FormatWholeField(value)); }

bool ParameterDialog::ReadDecimal(QLineEdit* edit, double& value) {
    if (ScanDouble(edit->text().toUtf8().constData(), value)) return true;
    Refuse(edit, kEnterNumber);
    return false;
}

bool ParameterDialog::ReadWhole(QLineEdit* edit, int& value) {
    if (ScanInt(edit->text().toUtf8().constData(), value)) return true;
    Refuse(edit, kEnterInteger);
    return false;
}

void ParameterDialog::Refuse(QLineEdit* edit, const QString& message) {
    RunPlainMessageBox(this, QMessageBox::Warning, message, QMessageBox::Ok);
    edit->setFocus(Qt::OtherFocusReason);
    edit->selectAll();
}

RadioGroup::RadioGroup(QObject* owner) : group_(new QButtonGroup(owner)) {}

void RadioGroup::Add(QRadioButton* button) { group_->addButton(button, static_cast<int>(group_->buttons().size())); }

void RadioGroup::SetIndex(int index) {
    // An exclusive group cannot clear its last checked button, so clearing goes around it.
    group_->setExclusive(false);
    for (QAbstractButton* b : group_->buttons()) b->setChecked(group_->id(b) == index);
    group_->setExclusive(true);
}

int RadioGroup::Index() const { return group_->checkedId(); }

}  // namespace sorv
