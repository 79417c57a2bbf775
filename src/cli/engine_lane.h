// One thread's engine for the survey's channels. A document costs some 136 MB, so a band of
// forty carriers cannot have one each; instead each thread keeps one, and the channels take
// turns on it. What makes a channel's rows its own is the producer's running state (the
// oscillator's phase, the decimation count, the slot ring, the raw ring): each channel keeps
// a copy, put back before its audio goes through the per-sample step and taken again after,
// so that its rows are those of an engine that had heard only this channel, bit for bit.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <sstream>

#include "cli/headless_document.h"
#include "engine/oscillator_run.h"
#include "survey/keying_prescreen.h"

namespace sorv {

// The producer's state between two samples.
struct ProducerState {
    double phase = 0.0;
    int decimCount = 0;
    int ringPos = 0;
    double ringI[kLines] = {};
    double ringQ[kLines] = {};
    int rawRing[kRawRingSize] = {};
    int rawPos = 0;
};

class EngineLane {
public:
    // The band and rows of the survey's channels (600 to 3000 Hz, two rows a frame).
    EngineLane();
    EngineLane(const EngineLane&) = delete;
    EngineLane& operator=(const EngineLane&) = delete;

    // The audio of one channel through the per-sample step, continuing from state (which is
    // updated); each row it makes goes to onRow (128 powers, line 0 first). Returns whether
    // any sample of the audio was at the 8-bit limits. shared, when given, holds the
    // oscillator's values for these samples as every channel of this stretch of time has them;
    // where its phases are not this channel's, the step works them out itself.
    bool Run(ProducerState& state, const uint8_t* audio, size_t count,
             const std::function<void(const double* row)>& onRow, const OscillatorRun* shared = nullptr);

    CSorvantelDoc& Doc() { return *hd_.doc; }
    KeyingPrescreen& Prescreen() { return prescreen_; }
    std::vector<double>& Series() { return series_; }

private:
    std::ostringstream messages_;
    HeadlessDocument hd_;
    KeyingPrescreen prescreen_;
    std::vector<double> series_;
    std::vector<double> rows_;  // the rows of the block just processed
};

}  // namespace sorv
