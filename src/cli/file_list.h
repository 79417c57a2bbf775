// The files a command works on: each file named on the command line as it stands, and each
// directory as the files in it that the command reads, sorted by name.
#pragma once

#include <string>
#include <vector>

namespace sorv {

class CliSession;

enum class FileKind { Recording, Spectrum };

// A recording by its name: the extensions of the audio formats libsndfile reads.
bool IsRecordingFileName(const std::string& path);

// Expands directories (not their subdirectories) into their regular files of the kind, hidden
// ones left out; a directory without any is named as a failure in the session.
std::vector<std::string> ExpandFileArguments(const std::vector<std::string>& args, FileKind kind,
                                             CliSession& session);

}  // namespace sorv
