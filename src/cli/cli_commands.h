// The subcommands of sorvantel-cli. Each returns its exit status: 0 when every file was
// analysed, 1 when some file could not be read (the others are still analysed).
#pragma once

#include <cstdint>
#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "cli/cli_options.h"

namespace sorv {

struct CliStreams {
    std::ostream& out;
    std::ostream& err;
    bool errIsTerminal = false;
    // The wall clock in milliseconds that bounds a run's --timeout; empty for the steady clock.
    std::function<int64_t()> wallClockMs = {};
};

int RunAnalyse(const AnalyseCommand& command, CliStreams& streams);
int RunSearch(const SearchCommand& command, CliStreams& streams);
int RunScript(const RunCommand& command, CliStreams& streams);
int RunSynth(const SynthCommand& command, CliStreams& streams);
int RunSurvey(const SurveyCommand& command, CliStreams& streams);
int RunIqSynth(const IqSynthCommand& command, CliStreams& streams);

// The whole tool: parses args (without the program name), runs the command, returns the exit
// status (2 for a usage error, after the message and a pointer to --help).
int RunCli(const std::vector<std::string>& args, CliStreams& streams);

// Why a spectrum data file cannot be searched (empty when it can); a file shorter than its
// row count can, but sets truncated to say so.
std::string CheckSpectrumFile(const std::string& path, std::string& truncated);

}  // namespace sorv
