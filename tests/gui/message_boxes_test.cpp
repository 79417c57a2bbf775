// Message boxes show their text as typed: a file name or script line holding '<' or '&' must
// not be taken for markup.
#include <gtest/gtest.h>

#include <QLabel>

#include "app/help_viewer.h"
#include "shell_fixture.h"

namespace sorv::test {
namespace {

struct Shown {
    QString text;
    Qt::TextFormat format = Qt::AutoText;
};

// Closes the next message box (with its first button) and keeps what its label shows.
std::unique_ptr<ModalAnswer> ReadNextBox(Shown& shown) {
    return ModalAnswer::On<QMessageBox>([&shown](QMessageBox* box) {
        if (const QLabel* label = box->findChild<QLabel*>("qt_msgbox_label")) {
            shown.text = label->text();
            shown.format = label->textFormat();
        }
        box->done(QMessageBox::No);
    });
}

using MessageBoxes = ShellTest;

TEST_F(MessageBoxes, ShowTheirTextAsPlainTextWhateverItHolds) {
    const QString typed = "Cannot analyse /tmp/<b>night</b> & day.wav: <i>not a recording</i>";
    Shown message, question, help;
    auto first = ReadNextBox(message);
    Frame().Platform().ShowMessage(typed.toStdString());
    ASSERT_TRUE(first->Ran());
    EXPECT_EQ(message.format, Qt::PlainText);
    EXPECT_EQ(message.text, typed);

    auto second = ReadNextBox(question);
    EXPECT_FALSE(Frame().Platform().AskYesNo("Overwrite <u>all</u> rows?"));
    ASSERT_TRUE(second->Ran());
    EXPECT_EQ(question.format, Qt::PlainText);
    EXPECT_EQ(question.text, "Overwrite <u>all</u> rows?");

    auto third = ReadNextBox(help);
    EXPECT_FALSE(OpenUserGuide(&Frame(), {"/nowhere/<b>help</b>/index.html"}));
    ASSERT_TRUE(third->Ran());
    EXPECT_EQ(help.format, Qt::PlainText);
    EXPECT_TRUE(help.text.contains("/nowhere/<b>help</b>/index.html")) << help.text.toStdString();
}

}  // namespace
}  // namespace sorv::test
