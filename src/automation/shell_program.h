// Which program the script's "shell" text names, the one rule of both front ends: a text with
// a '/' is a path (relative to the working directory), a bare name is looked up in PATH as a
// shell would, and in both cases it must be a regular file we may execute. The whole text is
// the name, spaces included: nothing in it is read as arguments.
#pragma once

#include <string>

namespace sorv {

// The path to start, or empty when the text names no executable (the desktop opener then
// opens it as a document).
std::string ProgramForShellText(const std::string& text);

// The same rule with the search path given (PATH's value), for callers and tests that must
// not depend on the environment.
std::string ProgramForShellText(const std::string& text, const std::string& searchPath);

}  // namespace sorv
