// What a script may ask of the system when no desktop is there: starting a program, and a
// serial port driven through termios.
#pragma once

#include <memory>
#include <string>

#include "engine/platform_services.h"

namespace sorv {

// Starts the text as a program when it names an executable file (a path, or a name found in
// PATH, as ProgramForShellText has it; no shell), otherwise hands it to xdg-open. Never waits.
void StartProgramDetached(const std::string& text);

// Opens a tty at 8N1 with DTR and RTS on and no flow control.
SerialOpenResult OpenPosixSerialPort(const std::string& device, int baud, std::unique_ptr<ISerialPort>& out);

}  // namespace sorv
