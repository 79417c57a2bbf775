// Opening a file for reading only when it is a regular file. A FIFO that nothing writes to
// would block the open (or the first read) for ever, and a device or a folder is no recording,
// spectrum, script or settings file: each is refused at once with a reason a listener can act on.
#pragma once

#include <cstdio>
#include <string>

namespace sorv {

// A read-only descriptor of path, or -1 with why set: "No such file", "is a directory",
// "is not a regular file (a FIFO)", "... (a device)", "... (a socket)", or the system's text.
// The open itself never blocks; the descriptor returned blocks as an ordinary file does.
// notRegular, when given, tells a refusal for the file's type from a failure to open it.
int OpenRegularFileDescriptor(const std::string& path, std::string& why, bool* notRegular = nullptr);

// The same as a stdio stream opened "rb"; null with why set.
std::FILE* OpenRegularFile(const std::string& path, std::string& why, bool* notRegular = nullptr);

}  // namespace sorv
