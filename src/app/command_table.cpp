#include "app/command_table.h"

namespace sorv {

Command& CommandTable::Add(Command c) {
    commands_.push_back(std::move(c));
    return commands_.back();
}

Command* CommandTable::Find(int id) {
    for (Command& c : commands_) {
        if (c.id == id) return &c;
    }
    return nullptr;
}

bool CommandTable::Execute(int id) {
    Command* c = Find(id);
    // A shortcut or a stale menu may ask for a command whose rule forbids it now.
    if (!c || !c->run || !c->IsEnabled()) return false;
    c->run();
    return true;
}

}  // namespace sorv
