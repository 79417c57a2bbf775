#include "audio/synth/static_crashes.h"

#include <algorithm>
#include <cmath>

namespace sorv {

namespace {
constexpr double kDecayDb = 30.0;  // from a crash's start to its end
}

StaticCrashes::StaticCrashes(const CrashSettings& settings, double noiseRms, double sampleRate, SynthRandom random)
    : settings_(settings), noiseRms_(noiseRms), sampleRate_(sampleRate), random_(random) {
    length_ = static_cast<uint64_t>(std::max(1.0, std::round(settings.milliseconds * 1e-3 * sampleRate)));
    decay_ = std::pow(10.0, -kDecayDb / 20.0 / static_cast<double>(length_));
    nextStart_ = After(0);
}

uint64_t StaticCrashes::After(uint64_t sample) {
    const double wait = random_.Exponential() * sampleRate_ / settings_.perSecond;
    return sample + 1 + static_cast<uint64_t>(std::min(wait, 1e15));
}

double StaticCrashes::Next() {
    if (n_ == nextStart_) {
        // A crash that starts while another rings takes its place: at a few a second and a
        // few milliseconds each, that is rare, and lightning's strokes do run together.
        const double db = settings_.levelDb + settings_.spreadDb * (random_.Uniform() - 0.5);
        envelope_ = noiseRms_ * std::pow(10.0, db / 20.0);
        left_ = length_;
        ++count_;
        nextStart_ = After(n_);
    }
    ++n_;
    if (left_ == 0) return 0.0;
    const double v = envelope_ * random_.Gaussian();
    envelope_ *= decay_;
    --left_;
    return v;
}

}  // namespace sorv
