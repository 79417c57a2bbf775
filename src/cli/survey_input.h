// The I/Q recordings the survey reads, opened from the command line's options.
#pragma once

#include <memory>
#include <string>

#include "audio/file/iq_source.h"
#include "cli/cli_options.h"

namespace sorv {

// The recording at path from its start, or null with a message that names the file and
// the step that failed.
std::unique_ptr<IqSource> OpenSurveyRecording(const std::string& path, const SurveyCommand& command,
                                              std::string& message);

}  // namespace sorv
