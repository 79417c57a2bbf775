#include "audio/synth/slow_wander.h"

#include <algorithm>
#include <cmath>

namespace sorv {

SlowWander::SlowWander(double deviationDb, double correlationSeconds, double stepSeconds, SynthRandom random)
    : deviation_(deviationDb), random_(random) {
    keep_ = std::exp(-stepSeconds / correlationSeconds);
    fresh_ = deviation_ * std::sqrt(1.0 - keep_ * keep_);
    x_ = deviation_ * random_.Gaussian();  // already in its steady state at the start
}

double SlowWander::Db() const { return std::clamp(x_, -3.0 * deviation_, 3.0 * deviation_); }

void SlowWander::Step() { x_ = keep_ * x_ + fresh_ * random_.Gaussian(); }

double SlowWander::Gain() const { return std::pow(10.0, Db() / 20.0); }

}  // namespace sorv
