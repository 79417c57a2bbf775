// The Qt actions that show the commands of the table in menus and on the toolbar. Several
// actions may show one command (the View and Tools menus name some commands differently);
// they all trigger the same command and all follow its rules when the states are refreshed.
#pragma once

#include <QObject>
#include <QString>
#include <functional>
#include <vector>

#include "app/command_table.h"

class QAction;

namespace sorv {

class CommandActions : public QObject {
    Q_OBJECT
public:
    // `execute` runs a command by id (and refreshes the states afterwards).
    CommandActions(CommandTable& table, std::function<void(int)> execute, QObject* parent);

    // A new action for command `id`, showing `text` or else the command's own text.
    QAction* Make(int id, const QString& text = QString());
    // Applies every enable and check rule to every action.
    void Refresh();
    std::vector<QAction*> ActionsFor(int id) const;

private:
    CommandTable& table_;
    std::function<void(int)> execute_;
    std::vector<QAction*> actions_;
};

}  // namespace sorv
