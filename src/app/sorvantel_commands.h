// Fills the command table: every command of the program with its texts, rules and handler.
#pragma once

#include <functional>

#include "app/command_table.h"

namespace sorv {

class CSorvantelDoc;

// The commands that belong to the main window rather than to the document.
struct FrameCommands {
    std::function<void()> exit;
    std::function<void()> toggleToolbar;
    std::function<bool()> toolbarVisible;
    std::function<void()> toggleStatusBar;
    std::function<bool()> statusBarVisible;
    std::function<void()> step;  // the view's Step (Enter, Tab)
    std::function<void()> about;
    std::function<void()> help;  // Help Topics, F1 and context help all open the user guide
    std::function<void()> analyseRecording;
    std::function<bool()> analysingRecording;  // a recording is being fed: no Record, no second one
};

void FillCommandTable(CommandTable& table, CSorvantelDoc& doc, const FrameCommands& frame);

// A device name as a menu text: '&' would otherwise become a mnemonic.
QString CardMenuText(const std::string& name);

}  // namespace sorv
