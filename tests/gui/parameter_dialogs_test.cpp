// The seven parameter dialogs: what they show, what they read back, what they refuse, and
// that Cancel changes nothing.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <clocale>

#include "app/parameter_dialogs.h"
#include "app/qt_platform.h"
#include "shell_fixture.h"

namespace sorv::test {
namespace {

QLineEdit* Edit(QDialog& d, int id) { return d.findChild<QLineEdit*>(QString::number(id)); }
QRadioButton* Radio(QDialog& d, int id) { return d.findChild<QRadioButton*>(QString::number(id)); }
QPushButton* Button(QDialog& d, int id) { return d.findChild<QPushButton*>(QString::number(id)); }

// Types `text` into `field` and presses OK. Returns the text of the refusal, empty if none.
QString TypeAndOk(QDialog& d, QLineEdit* field, const QString& text) {
    field->setText(text);
    QString refusal;
    auto shown = AnswerMessageBox(refusal);
    Button(d, 1)->click();
    if (!shown->Ran()) refusal.clear();
    return refusal;
}

// A refused field keeps the dialog open and gets the focus with all its text selected.
void ExpectRefused(QDialog& d, QLineEdit* field, const QString& text, const char* message) {
    d.show();
    EXPECT_EQ(TypeAndOk(d, field, text), message) << text.toStdString();
    EXPECT_TRUE(d.isVisible());
    EXPECT_EQ(d.result(), QDialog::Rejected);
    EXPECT_EQ(d.focusWidget(), field);
    EXPECT_EQ(field->selectedText(), text);
}

TEST(ParameterDialogs, WholeNumberFieldReadsLikeScanf) {
    const struct {
        const char* typed;
        int expected;
    } cases[] = {{"1000.5", 1000}, {"-200", -200}, {"  42", 42}, {"7Hz", 7}};
    for (const auto& c : cases) {
        CSpectrumDlg dlg;
        dlg.m_values = {1000, 1};
        dlg.show();
        EXPECT_EQ(TypeAndOk(dlg, Edit(dlg, 1001), c.typed), "");
        EXPECT_EQ(dlg.result(), QDialog::Accepted) << c.typed;
        EXPECT_EQ(dlg.m_values.centreHz, c.expected) << c.typed;
    }
}

TEST(ParameterDialogs, WholeNumberFieldRefusesTextThatIsNoNumber) {
    for (const char* typed : {"abc", "", "-", "99999999999"}) {
        CSpectrumDlg dlg;
        dlg.m_values = {1000, 1};
        ExpectRefused(dlg, Edit(dlg, 1001), typed, "Enter an integer.");
        // The user can then correct it, and OK goes through.
        EXPECT_EQ(TypeAndOk(dlg, Edit(dlg, 1001), "1500"), "");
        EXPECT_EQ(dlg.m_values.centreHz, 1500);
    }
}

TEST(ParameterDialogs, DecimalFieldShowsFifteenDigitsAndReadsLikeScanf) {
    CPeriodDlg dlg;
    dlg.m_values = {10.0, 9.0};
    dlg.show();
    EXPECT_EQ(dlg.windowTitle(), "Perido search range");
    EXPECT_EQ(Edit(dlg, 1002)->text(), "10");
    EXPECT_EQ(Edit(dlg, 1003)->text(), "9");

    CPeriodDlg small;
    small.m_values = {0.1, 1.0 / 3.0};
    small.show();
    EXPECT_EQ(Edit(small, 1002)->text(), "0.1");
    EXPECT_EQ(Edit(small, 1003)->text(), "0.333333333333333");

    CPeriodDlg typed;
    typed.m_values = {10.0, 9.0};
    typed.show();
    Edit(typed, 1003)->setText("-3e1");
    EXPECT_EQ(TypeAndOk(typed, Edit(typed, 1002), "12abc"), "");
    EXPECT_EQ(typed.result(), QDialog::Accepted);
    EXPECT_EQ(typed.m_values.maxPeriod, 12.0);
    EXPECT_EQ(typed.m_values.minPeriod, -30.0);
}

TEST(ParameterDialogs, DecimalFieldRefusesTextThatIsNoNumber) {
    for (const char* typed : {"abc", "nan", "inf", "", "."}) {
        CPeriodDlg dlg;
        dlg.m_values = {10.0, 9.0};
        ExpectRefused(dlg, Edit(dlg, 1003), typed, "Enter a number.");
    }
}

TEST(ParameterDialogs, DecimalFieldIgnoresADecimalCommaLocale) {
    const std::string previous = std::setlocale(LC_NUMERIC, nullptr);
    if (!std::setlocale(LC_NUMERIC, "de_DE.UTF-8")) GTEST_SKIP() << "no de_DE.UTF-8 locale";
    CCarrierDlg dlg;
    dlg.m_values = {404.5, 0};
    dlg.show();
    const QString shown = Edit(dlg, 1009)->text();
    const QString refusal = TypeAndOk(dlg, Edit(dlg, 1009), "256.4");
    const double read = dlg.m_values.carrierKHz;
    std::setlocale(LC_NUMERIC, previous.c_str());
    EXPECT_EQ(shown, "404.5");
    EXPECT_EQ(refusal, "");
    EXPECT_EQ(read, 256.4);
}

TEST(ParameterDialogs, SpectrumDialogExchangesTheBandwidthIndexInTemplateOrder) {
    const int ids[] = {1017, 1011, 1013, 1023, 1014};
    for (int choice = 0; choice < 5; ++choice) {
        CSpectrumDlg dlg;
        dlg.m_values = {1000, choice};
        dlg.show();
        for (int i = 0; i < 5; ++i) EXPECT_EQ(Radio(dlg, ids[i])->isChecked(), i == choice);
        Radio(dlg, ids[(choice + 2) % 5])->click();
        Button(dlg, 1)->click();
        EXPECT_EQ(dlg.m_values.bandwidthChoice, (choice + 2) % 5);
    }
    CSpectrumDlg none;
    none.m_values = {1000, -1};
    none.show();
    for (int id : ids) EXPECT_FALSE(Radio(none, id)->isChecked());
    Button(none, 1)->click();
    EXPECT_EQ(none.m_values.bandwidthChoice, -1);
    EXPECT_EQ(none.windowTitle(), "Spectrum limits");
    EXPECT_EQ(Radio(none, 1014)->text(), "1.5 Hz (187.5 Hz total)");
}

TEST(ParameterDialogs, CarrierDialogShowsNoModeWhenNoneIsChosen) {
    CCarrierDlg dlg;
    dlg.m_values = {0.0, -1};
    dlg.show();
    EXPECT_FALSE(Radio(dlg, 1010)->isChecked());
    EXPECT_FALSE(Radio(dlg, 1011)->isChecked());
    EXPECT_EQ(Edit(dlg, 1009)->text(), "0");
    Button(dlg, 1)->click();
    EXPECT_EQ(dlg.m_values.rxMode, -1);

    CCarrierDlg lsb;
    lsb.m_values = {404.0, 0};
    lsb.show();
    EXPECT_TRUE(Radio(lsb, 1010)->isChecked());
    Radio(lsb, 1011)->click();
    Button(lsb, 1)->click();
    EXPECT_EQ(lsb.m_values.rxMode, 1);
    EXPECT_EQ(lsb.m_values.carrierKHz, 404.0);
}

TEST(ParameterDialogs, ScaleWpmAndAutoSearchDialogsExchangeTheirValues) {
    CPerScaleDlg scale;
    scale.m_values.scaleChoice = 3;
    scale.show();
    EXPECT_TRUE(Radio(scale, 1014)->isChecked());
    Radio(scale, 1012)->click();
    Button(scale, 1)->click();
    EXPECT_EQ(scale.m_values.scaleChoice, 0);

    CWpmDlg wpm;
    wpm.m_values = {1, 6};
    wpm.show();
    auto* autoBox = wpm.findChild<QCheckBox*>("1016");
    EXPECT_TRUE(autoBox->isChecked());
    EXPECT_EQ(autoBox->text(), "Determine automatically");
    autoBox->click();
    EXPECT_EQ(TypeAndOk(wpm, Edit(wpm, 1015), "12.9"), "");
    EXPECT_EQ(wpm.m_values.autoWpm, 0);
    EXPECT_EQ(wpm.m_values.wpm, 12);

    CAutoParmDlg search;
    search.m_values = {900, 1100, 6, 15};
    search.show();
    EXPECT_EQ(Edit(search, 1021)->text(), "900");
    EXPECT_EQ(Edit(search, 1018)->text(), "1100");
    EXPECT_EQ(Edit(search, 1019)->text(), "6");
    EXPECT_EQ(Edit(search, 1020)->text(), "15");
    Edit(search, 1021)->setText("950.5");
    Edit(search, 1020)->setText("20");
    Button(search, 1)->click();
    EXPECT_EQ(search.m_values.toneMin, 950.5);
    EXPECT_EQ(search.m_values.toneMax, 1100);
    EXPECT_EQ(search.m_values.periodMin, 6);
    EXPECT_EQ(search.m_values.periodMax, 20);
}

TEST(ParameterDialogs, GriDialogRefusesIntervalsThatDoNotFitASlot) {
    for (const char* typed : {"0", "-6731", "34132.5", "99999"}) {
        CGriDlg dlg;
        dlg.m_values.gri = 6731;
        ExpectRefused(dlg, Edit(dlg, 1022), typed, CGriDlg::kGriOutOfRange);
        EXPECT_EQ(dlg.m_values.gri, 6731);
    }
    CGriDlg text;
    text.m_values.gri = 6731;
    ExpectRefused(text, Edit(text, 1022), "abc", "Enter a number.");

    for (const char* typed : {"34132", "0.5", "9960"}) {
        CGriDlg dlg;
        dlg.m_values.gri = 6731;
        dlg.show();
        EXPECT_EQ(TypeAndOk(dlg, Edit(dlg, 1022), typed), "") << typed;
        EXPECT_EQ(dlg.result(), QDialog::Accepted);
    }
}

TEST(ParameterDialogs, SpectrumDialogRefusesBandEdgesBeyondTenMegahertz) {
    // Choice 0 is 1500 Hz either side of the centre, choice 4 94 Hz.
    struct Case {
        int choice;
        const char* typed;
    };
    for (const Case& c : {Case{0, "9998501"}, Case{0, "-9998501"}, Case{4, "9999907"}, Case{1, "2147483000"}}) {
        CSpectrumDlg dlg;
        dlg.m_values = {1000, c.choice};
        ExpectRefused(dlg, Edit(dlg, 1001), c.typed, CSpectrumDlg::kBandOutOfRange);
        EXPECT_EQ(dlg.m_values.centreHz, 1000) << c.typed;
    }
    // The edges themselves are allowed.
    for (const Case& c : {Case{0, "9998500"}, Case{0, "-9998500"}, Case{4, "9999906"}}) {
        CSpectrumDlg dlg;
        dlg.m_values = {1000, c.choice};
        dlg.show();
        EXPECT_EQ(TypeAndOk(dlg, Edit(dlg, 1001), c.typed), "") << c.typed;
        EXPECT_EQ(dlg.result(), QDialog::Accepted) << c.typed;
        EXPECT_EQ(dlg.m_values.centreHz, QString(c.typed).toInt());
    }
}

TEST(ParameterDialogs, TabOrderFollowsTheTemplateAndStartsAtTheFirstStop) {
    CCarrierDlg dlg;
    dlg.m_values = {404.0, 0};
    dlg.show();
    EXPECT_EQ(dlg.focusWidget(), Button(dlg, 1));
    QWidget* expected[] = {Radio(dlg, 1010), Radio(dlg, 1011), Edit(dlg, 1009), Button(dlg, 2)};
    QWidget* w = Button(dlg, 1);
    for (QWidget* next : expected) {
        w = w->nextInFocusChain();
        EXPECT_EQ(w, next) << (w ? w->objectName().toStdString() : "null");
    }

    CSpectrumDlg spectrum;
    spectrum.m_values = {1000, 1};
    spectrum.show();
    EXPECT_EQ(spectrum.focusWidget(), Edit(spectrum, 1001));
    EXPECT_TRUE(Button(spectrum, 1)->isDefault());
    EXPECT_FALSE(Button(spectrum, 2)->isDefault());
}

// Through the platform: the caller's values change only on OK.
TEST(ParameterDialogs, PlatformHandsValuesBackOnlyOnOk) {
    QtPlatform platform;
    PeriodDlgValues v{10.0, 9.0};
    auto ran = ModalAnswer::On<QDialog>([](QDialog* d) {
        Edit(*d, 1002)->setText("30");
        Button(*d, 2)->click();
    });
    EXPECT_FALSE(platform.RunPeriodDialog(v));
    EXPECT_TRUE(ran->Ran());
    EXPECT_EQ(v.maxPeriod, 10.0);

    // A refused field, then Cancel: still nothing changes.
    SpectrumDlgValues s{1000, 1};
    QString refusal;
    ran = ModalAnswer::On<QDialog>([&refusal](QDialog* d) {
        Edit(*d, 1001)->setText("abc");
        auto shown = AnswerMessageBox(refusal);
        Button(*d, 1)->click();
        d->reject();
    });
    EXPECT_FALSE(platform.RunSpectrumDialog(s));
    EXPECT_EQ(refusal, "Enter an integer.");
    EXPECT_EQ(s.centreHz, 1000);

    GriDlgValues g{6731};
    ran = ModalAnswer::On<QDialog>([](QDialog* d) {
        EXPECT_EQ(d->windowTitle(), "Loran-C Group Repetition Interval");
        Edit(*d, 1022)->setText("9960");
        Button(*d, 1)->click();
    });
    EXPECT_TRUE(platform.RunGriDialog(g));
    EXPECT_EQ(g.gri, 9960);
}

}  // namespace
}  // namespace sorv::test
