// The common ground of the seven parameter dialogs: plain OK and Cancel push buttons, OK the
// default, controls named by their numeric ids, values loaded when the dialog opens and read
// back only when OK is pressed. A field that does not read as a number refuses OK, names
// what it wants and hands the focus back to the field with its text selected.
#pragma once

#include <QDialog>
#include <QString>
#include <initializer_list>

class QAbstractButton;
class QButtonGroup;
class QCheckBox;
class QGridLayout;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QWidget;

namespace sorv {

// Numbers as the dialogs show them: 15 significant digits, so 0.1 shows as "0.1".
QString FormatDecimalField(double value);
QString FormatWholeField(int value);

class ParameterDialog : public QDialog {
public:
    // The text of the refusal for an unreadable decimal and whole number.
    static const char* const kEnterNumber;
    static const char* const kEnterInteger;

    void accept() override;

protected:
    ParameterDialog(const QString& title, QWidget* parent);

    // Copies the values into the controls (when the dialog opens) ...
    virtual void LoadFields() = 0;
    // ... and back; false (after refusing one field) keeps the dialog open.
    virtual bool SaveFields() = 0;

    void showEvent(QShowEvent* e) override;

    // Control makers: each control carries its id as its object name.
    QLineEdit* MakeEdit(int id);
    QRadioButton* MakeRadio(int id, const QString& text);
    QCheckBox* MakeCheck(int id, const QString& text);
    QPushButton* OkButton() const { return ok_; }
    QPushButton* CancelButton() const { return cancel_; }
    // Cancel on the left and OK on the right, as the dialogs have always had them.
    QWidget* ButtonRow();

    // The tab order, in the order of the dialog's template; the first gets the focus on opening.
    void SetTabOrder(std::initializer_list<QWidget*> order);

    // Data exchange of the field kinds.
    static void ShowDecimal(QLineEdit* edit, double value);
    static void ShowWhole(QLineEdit* edit, int value);
    bool ReadDecimal(QLineEdit* edit, double& value);
    bool ReadWhole(QLineEdit* edit, int& value);
    // Shows `message`, then gives `edit` the focus with all its text selected.
    void Refuse(QLineEdit* edit, const QString& message);

private:
    QPushButton* ok_;
    QPushButton* cancel_;
    QWidget* firstTabStop_ = nullptr;
};

// A radio group exchanges the index of its checked button, counted in template order, or −1
// when none is checked.
class RadioGroup {
public:
    explicit RadioGroup(QObject* owner);
    void Add(QRadioButton* button);
    void SetIndex(int index);  // any index outside the group checks none
    int Index() const;

private:
    QButtonGroup* group_;
};

}  // namespace sorv
