// A receiver's automatic gain control: the gain follows the total level, so that a static
// crash or a strong carrier turns everything else down with it and the noise "pumps". The
// level is the power smoothed over the attack time and held, decaying over the decay time,
// after every peak; while it lies above the threshold, the gain brings it down to the
// threshold, and below the threshold the gain is 1.
#pragma once

namespace sorv {

struct AgcSettings {
    bool on = false;
    double attackMs = 2.0;
    double decayMs = 500.0;
    double thresholdDb = 6.0;  // above the white noise's rms
};

class ReceiverAgc {
public:
    ReceiverAgc() = default;
    // thresholdRms: the level in output units above which the gain falls.
    ReceiverAgc(const AgcSettings& settings, double thresholdRms, double sampleRate);

    // The sample after the gain, the level measured up to and including it.
    double Apply(double x);
    double Gain() const { return gain_; }

private:
    double attack_ = 1.0;  // smoothing factors per sample
    double decay_ = 1.0;
    double threshold2_ = 0.0;
    double smoothed_ = 0.0;  // power
    double held_ = 0.0;
    double gain_ = 1.0;
};

}  // namespace sorv
