#include "audio/synth/receiver_agc.h"

#include <cmath>

namespace sorv {

ReceiverAgc::ReceiverAgc(const AgcSettings& settings, double thresholdRms, double sampleRate)
    : threshold2_(thresholdRms * thresholdRms) {
    attack_ = 1.0 - std::exp(-1.0 / (settings.attackMs * 1e-3 * sampleRate));
    decay_ = 1.0 - std::exp(-1.0 / (settings.decayMs * 1e-3 * sampleRate));
    // Settled on noise at the threshold rather than at silence, so the recording does not
    // start with a surge.
    smoothed_ = held_ = threshold2_;
}

double ReceiverAgc::Apply(double x) {
    smoothed_ += (x * x - smoothed_) * attack_;
    if (smoothed_ > held_)
        held_ = smoothed_;
    else
        held_ += (smoothed_ - held_) * decay_;
    gain_ = held_ > threshold2_ ? std::sqrt(threshold2_ / held_) : 1.0;
    return x * gain_;
}

}  // namespace sorv
