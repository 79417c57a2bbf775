// The sound server's sources as its own client library lists them, monitors of outputs
// included. Qt Multimedia leaves the monitors out, yet the monitor of an output is how the
// audio of an SDR program on the same machine is captured without a virtual cable.
#pragma once

#include <string>
#include <vector>

namespace sorv {

struct PulseSource {
    std::string name;         // the server's name, by which a source is opened
    std::string description;  // what the user sees ("Monitor of Built-in Audio")
    bool monitor = false;     // the monitor of an output (sink)
};

// Every source, in the server's order except that the monitor of the default output comes
// first among the monitors. Empty when no server answers.
std::vector<PulseSource> ListPulseSources();

}  // namespace sorv
