// The accelerators of the main window. They act in the main window only, so Enter and Tab
// keep their usual meaning in the dialogs, and every one goes through the command's rule.
#include <QKeyEvent>
#include <QShortcut>

#include "app/command_ids.h"
#include "app/main_frame.h"

namespace sorv {

void CMainFrame::CreateAccelerators() {
    const struct {
        QKeySequence keys;
        int id;
    } table[] = {
        {QKeySequence(Qt::Key_BracketRight), cmd::kSemiAutoBack},
        // Shift+] arrives as ']' with Shift or as '}' depending on the keyboard layer.
        {QKeySequence(Qt::SHIFT | Qt::Key_BracketRight), cmd::kSemiAutoFwd},
        {QKeySequence(Qt::SHIFT | Qt::Key_BraceRight), cmd::kSemiAutoFwd},
        {QKeySequence(Qt::Key_BraceRight), cmd::kSemiAutoFwd},
        {QKeySequence(Qt::Key_F1), cmd::kHelp},
        {QKeySequence(Qt::SHIFT | Qt::Key_F1), cmd::kContextHelp},
        {QKeySequence(Qt::Key_Return), cmd::kStep},
        {QKeySequence(Qt::Key_Enter), cmd::kStep},
        {QKeySequence(Qt::KeypadModifier | Qt::Key_Enter), cmd::kStep},
        {QKeySequence(Qt::Key_Tab), cmd::kStep},
    };
    for (const auto& entry : table) {
        auto* shortcut = new QShortcut(entry.keys, this);
        shortcut->setContext(Qt::WindowShortcut);
        const int id = entry.id;
        connect(shortcut, &QShortcut::activated, this, [this, id] { Execute(id); });
    }
}

// '>' and '<' are matched by the character typed, whatever keys produce it.
bool CMainFrame::HandleCharacterAccelerator(QObject*, QEvent* e) {
    const auto* key = static_cast<QKeyEvent*>(e);
    const QString text = key->text();
    if (text == ">") {
        Execute(cmd::kNextSpec);
        return true;
    }
    if (text == "<") {
        Execute(cmd::kPrevSpec);
        return true;
    }
    return false;
}

}  // namespace sorv
