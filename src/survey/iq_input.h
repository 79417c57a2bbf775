// The I/Q recordings the survey reads: which files are I/Q recordings, and opening them with
// the centre frequency they need.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "audio/file/iq_source.h"

namespace sorv {

struct IqInputOptions {
    std::optional<double> centreKHz;  // for a file that does not give its centre
    std::optional<double> rateHz;     // for raw files
};

// A recording that is an I/Q recording rather than receiver audio.
bool IsIqRecording(const std::string& path);

// The recording at path from its start, or null with a message that names the file and the
// step that failed.
std::unique_ptr<IqSource> OpenIqInput(const std::string& path, const IqInputOptions& options, std::string& message);

}  // namespace sorv
