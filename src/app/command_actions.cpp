#include "app/command_actions.h"

#include <QAction>
#include <QIcon>

namespace sorv {

CommandActions::CommandActions(CommandTable& table, std::function<void(int)> execute, QObject* parent)
    : QObject(parent), table_(table), execute_(std::move(execute)) {}

QAction* CommandActions::Make(int id, const QString& text) {
    const Command* c = table_.Find(id);
    auto* action = new QAction(this);
    action->setData(id);
    if (c) {
        action->setText(text.isEmpty() ? c->text : text);
        action->setStatusTip(c->prompt);
        action->setToolTip(c->toolTip);
        if (!c->icon.isEmpty()) {
            action->setIcon(QIcon(c->icon));
            action->setIconVisibleInMenu(false);
        }
        action->setCheckable(c->IsCheckItem());
    } else {
        action->setText(text);
    }
    connect(action, &QAction::triggered, this, [this, id] { execute_(id); });
    actions_.push_back(action);
    return action;
}

void CommandActions::Refresh() {
    for (QAction* action : actions_) {
        const Command* c = table_.Find(action->data().toInt());
        if (!c) {
            action->setEnabled(false);
            continue;
        }
        if (c->refresh) {
            c->refresh(*action);
            continue;
        }
        action->setEnabled(c->IsEnabled());
        if (c->checked) action->setChecked(c->checked());
    }
}

std::vector<QAction*> CommandActions::ActionsFor(int id) const {
    std::vector<QAction*> found;
    for (QAction* a : actions_) {
        if (a->data().toInt() == id) found.push_back(a);
    }
    return found;
}

}  // namespace sorv
