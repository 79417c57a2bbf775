// Where a save over an existing file really writes, and whether it may. A save goes through a
// temporary file beside the target and a rename, so that a failure leaves the old file whole;
// but a rename replaces whatever the name is, so the target is found first: a symbolic link
// is followed (the link stays, the file it points to is replaced), and a file the user may
// not write, or one that is no regular file, is refused as opening it for writing would be.
#pragma once

#include <string>
#include <sys/types.h>

namespace sorv {

struct SaveTarget {
    std::string path;     // the file the rename replaces (links followed)
    bool exists = false;  // there is a file there now
    mode_t mode = 0;      // its permission bits, which the new file keeps
};

// Follows the links of `path` (also a dangling one, whose target is then made) and checks the
// file found. False when the file exists but may not be written, or is a directory, a FIFO or
// another non-regular file, or the links loop.
bool FindSaveTarget(const std::string& path, SaveTarget& target);

}  // namespace sorv
