// A level that wanders slowly at random, in dB: a Gauss-Markov (Ornstein-Uhlenbeck) process
// with a standard deviation and a correlation time, stepped at a fixed interval. The value
// is Gaussian around 0 dB at every moment, so the power is log-normal, as slow fading (QSB) and
// the noise floor of a band are; it is held within three deviations so that the synthesiser
// can leave room for its peaks.
#pragma once

#include "audio/synth/synth_random.h"

namespace sorv {

class SlowWander {
public:
    SlowWander() = default;
    SlowWander(double deviationDb, double correlationSeconds, double stepSeconds, SynthRandom random);

    double Db() const;  // the level now
    void Step();        // one step interval later
    double Gain() const;  // the level as an amplitude factor
    double Deviation() const { return deviation_; }

private:
    double deviation_ = 0.0;
    double keep_ = 0.0;  // how much of the last value survives one step
    double fresh_ = 0.0;
    double x_ = 0.0;
    SynthRandom random_{0};
};

}  // namespace sorv
