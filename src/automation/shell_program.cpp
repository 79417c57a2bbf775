#include "automation/shell_program.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>

namespace sorv {

namespace {

bool IsExecutableFile(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && ::access(path.c_str(), X_OK) == 0;
}

}  // namespace

std::string ProgramForShellText(const std::string& text, const std::string& searchPath) {
    if (text.empty()) return {};
    if (text.find('/') != std::string::npos) return IsExecutableFile(text) ? text : std::string();
    // Each PATH entry in turn; an empty entry is the working directory, as POSIX has it.
    for (size_t from = 0; from <= searchPath.size();) {
        size_t colon = searchPath.find(':', from);
        if (colon == std::string::npos) colon = searchPath.size();
        const std::string dir = searchPath.substr(from, colon - from);
        const std::string candidate = (dir.empty() ? std::string(".") : dir) + "/" + text;
        if (IsExecutableFile(candidate)) return candidate;
        from = colon + 1;
    }
    return {};
}

std::string ProgramForShellText(const std::string& text) {
    const char* path = std::getenv("PATH");
    return ProgramForShellText(text, path ? path : "/usr/local/bin:/usr/bin:/bin");
}

}  // namespace sorv
