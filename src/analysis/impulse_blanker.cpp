#include "analysis/impulse_blanker.h"

#include <algorithm>
#include <cmath>

namespace sorv {

namespace {

constexpr uint32_t kMeasureSamples = 4096;
constexpr float kTriggerRms = 6.0f;
constexpr float kRingingRms = 3.0f;
constexpr float kLeastTrigger = 8.0f;  // counts: silence with its rounding blanks nothing
constexpr int kHoldSamples = 96;       // 2 ms at 48000 a second
constexpr int kLongestClick = 576;     // 12 ms
constexpr double kMedianOverRms = 0.6744897501960817;  // of a Gaussian's magnitude

}  // namespace

void ImpulseBlanker::Reset() { *this = ImpulseBlanker{}; }

void ImpulseBlanker::Run(float* samples, size_t count) {
    size_t i = 0;
    while (i < count) {
        if (!steady_ && hold_ == 0) {
            // Nothing to blank until a sample crosses the trigger: only count the magnitudes.
            const size_t end = std::min<size_t>(count, i + (kMeasureSamples - counted_));
            size_t j = i;
            for (; j < end; ++j) {
                const float magnitude = std::fabs(samples[j]);
                if (magnitude >= trigger_) break;
                Count(magnitude);
            }
            counted_ += static_cast<uint32_t>(j - i);
            if (counted_ >= kMeasureSamples) Measure();
            i = j;
            if (j == end) continue;
            run_ = 0;
        }
        Blank(samples[i]);
        ++i;
    }
}

// One sample while a click is being blanked, or a steady sound waited out, or at a trigger.
void ImpulseBlanker::Blank(float& sample) {
    const float magnitude = std::fabs(sample);
    Count(magnitude);
    if (++counted_ >= kMeasureSamples) Measure();
    if (steady_) {
        quiet_ = magnitude < ringing_ ? quiet_ + 1 : 0;
        if (quiet_ >= kHoldSamples) steady_ = false;
        return;
    }
    if (magnitude >= trigger_ || (hold_ > 0 && magnitude >= ringing_)) hold_ = kHoldSamples;
    if (hold_ == 0) return;
    --hold_;
    sample = 0.0f;
    ++blanked_;
    if (++run_ > kLongestClick) {
        steady_ = true;
        hold_ = run_ = quiet_ = 0;
    }
}

// Every kMeasureSamples samples the trigger follows the noise: the median magnitude over its
// share of a Gaussian's rms, interpolated within the count it falls in.
void ImpulseBlanker::Measure() {
    const double half = counted_ / 2.0;
    double below = 0.0, median = 0.0;
    for (size_t k = 0; k < histogram_.size(); ++k) {
        if (below + histogram_[k] >= half) {
            const double start = k == 0 ? 0.0 : k - 0.5;
            const double width = k == 0 ? 0.5 : 1.0;
            median = start + width * (half - below) / std::max(1u, histogram_[k]);
            break;
        }
        below += histogram_[k];
    }
    const float rms = static_cast<float>(median / kMedianOverRms);
    trigger_ = std::max(kTriggerRms * rms, kLeastTrigger);
    ringing_ = trigger_ * (kRingingRms / kTriggerRms);
    histogram_.fill(0);
    counted_ = 0;
}

}  // namespace sorv
