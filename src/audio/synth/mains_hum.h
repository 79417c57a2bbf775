// Mains hum in the audio: 50 or 60 Hz and its harmonics up to 3 kHz, each harmonic k at 1/k
// of the fundamental's amplitude with a phase of its own, as a rectifier's buzz leaks into a
// receiver's audio. One period is a whole number of samples at 48000 and 44100 Hz, so the hum
// is played from a table of one period.
#pragma once

#include <cstddef>
#include <vector>

#include "audio/synth/synth_random.h"

namespace sorv {

class MainsHum {
public:
    static constexpr double kTopHz = 3000.0;

    MainsHum() = default;
    // fundamentalAmplitude: the 50 or 60 Hz component's peak, in output units.
    MainsHum(double hz, double fundamentalAmplitude, double sampleRate, SynthRandom random);

    double Next() {
        const double v = table_[at_];
        if (++at_ == table_.size()) at_ = 0;
        return v;
    }
    double Peak() const { return peak_; }
    void Scale(double k);

private:
    std::vector<double> table_{0.0};
    size_t at_ = 0;
    double peak_ = 0.0;
};

// Whether mains hum at hz can be made: 50 or 60.
bool IsMainsFrequency(double hz);

}  // namespace sorv
