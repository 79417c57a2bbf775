// Impulsive static, as distant lightning puts it into a long-wave receiver: crashes at random
// moments (a Poisson process of a mean rate), each a burst of broadband noise that starts at
// its level and decays exponentially to 30 dB below it within its length. A crash's level is
// its rms at the start over the rms of the white noise; the levels are spread evenly over a
// range of dB.
#pragma once

#include <cstdint>

#include "audio/synth/synth_random.h"

namespace sorv {

struct CrashSettings {
    double perSecond = 0.0;
    double levelDb = 25.0;    // the middle of the levels...
    double spreadDb = 10.0;   // ...which lie evenly within +-spreadDb/2 of it
    double milliseconds = 5.0;
};

class StaticCrashes {
public:
    StaticCrashes() = default;
    // noiseRms: the white noise's rms in the units of the output.
    StaticCrashes(const CrashSettings& settings, double noiseRms, double sampleRate, SynthRandom random);

    // The static of the next sample.
    double Next();
    uint64_t Count() const { return count_; }

private:
    uint64_t After(uint64_t sample);  // the start of the crash after one at sample

    CrashSettings settings_;
    double noiseRms_ = 0.0;
    double sampleRate_ = 48000.0;
    double decay_ = 0.0;     // the envelope's factor per sample
    uint64_t length_ = 0;    // samples of one crash
    SynthRandom random_{0};
    uint64_t n_ = 0;         // the next sample's index
    uint64_t nextStart_ = 0;
    uint64_t left_ = 0;      // samples left of the crash under way
    double envelope_ = 0.0;  // its rms now
    uint64_t count_ = 0;
};

}  // namespace sorv
