// Runs sorvantel-cli in the test process (its library entry point) and keeps what it printed;
// writes synthetic recordings for it to read.
#pragma once

#include <sstream>
#include <string>
#include <vector>

#include "audio/synth/receiver_audio.h"
#include "audio/synth/wav_file_writer.h"
#include "cli/cli_commands.h"
#include "support/flat_json.h"

namespace sorv::test {

struct CliResult {
    int status = -1;
    std::string out, err;
    std::vector<std::string> OutLines() const {
        std::vector<std::string> lines;
        std::istringstream in(out);
        for (std::string line; std::getline(in, line);) lines.push_back(line);
        return lines;
    }
    // Every stdout line as a JSON object; a line that does not parse fails the test.
    std::vector<std::map<std::string, JsonValue>> Json() const {
        std::vector<std::map<std::string, JsonValue>> objects;
        for (const std::string& line : OutLines()) {
            auto o = FlatJson::Parse(line);
            EXPECT_TRUE(o.has_value()) << "not JSON: " << line;
            if (o) objects.push_back(*o);
        }
        return objects;
    }
};

inline CliResult RunCliArgs(const std::vector<std::string>& args) {
    std::ostringstream out, err;
    CliStreams streams{out, err, false};
    CliResult r;
    r.status = RunCli(args, streams);
    r.out = out.str();
    r.err = err.str();
    return r;
}

inline SynthSpec IdentSpec(const std::string& ident, double toneHz, double period, double wpm, double snrDb,
                           double minutes, uint32_t seed = 1) {
    SynthSpec spec;
    SynthIdent id;
    id.ident = ident;
    id.toneHz = toneHz;
    id.periodSeconds = period;
    id.wpm = wpm;
    spec.idents.push_back(id);
    spec.withNoise = true;
    spec.snrDb = snrDb;
    spec.seconds = minutes * 60.0;
    spec.seed = seed;
    return spec;
}

inline bool WriteSynthWav(const std::string& path, const SynthSpec& spec) {
    ReceiverAudio audio(spec);
    WavFileWriter w;
    std::string error;
    if (!w.Open(path, error)) return false;
    std::vector<uint8_t> block(48000);
    while (size_t n = audio.Fill(block.data(), block.size()))
        if (!w.Write(block.data(), n, error)) return false;
    return w.Close(error);
}

}  // namespace sorv::test
