// One table of every command: id → menu text, status prompt, tooltip, icon, handler, enable
// rule and check rule. Menus, the toolbar and the accelerators all go through it, so a command
// behaves the same however it is reached, and a disabled command never runs.
#pragma once

#include <QString>
#include <functional>
#include <vector>

class QAction;

namespace sorv {

struct Command {
    int id = 0;
    QString text;     // menu text, mnemonic as '&'
    QString prompt;   // status bar prompt while the item is hovered
    QString toolTip;  // toolbar tooltip; empty: the button has none
    QString icon;     // toolbar icon resource; empty: not on the toolbar
    std::function<void()> run;
    std::function<bool()> enabled;  // empty: always enabled
    std::function<bool()> checked;  // empty: not a check item
    // Replaces the plain enable/check update for items whose text also changes (the cards).
    std::function<void(QAction&)> refresh;

    bool IsEnabled() const { return !enabled || enabled(); }
    bool IsCheckItem() const { return static_cast<bool>(checked) || static_cast<bool>(refresh); }
};

class CommandTable {
public:
    Command& Add(Command c);
    // Null for an unknown id.
    Command* Find(int id);
    const std::vector<Command>& All() const { return commands_; }
    // Runs the command if it is known and its enable rule allows it; true when it ran.
    bool Execute(int id);

private:
    std::vector<Command> commands_;
};

}  // namespace sorv
