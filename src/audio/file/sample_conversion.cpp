#include "audio/file/sample_conversion.h"

#include <algorithm>
#include <cmath>

namespace sorv {

namespace {
constexpr size_t kBlockSamples = 4800;  // 100 ms at 48 kHz
}

void NoiseLevelMeter::Add(const double* x, size_t n) {
    for (size_t i = 0; i < n; ++i) {
        if (std::isfinite(x[i])) sum2_ += x[i] * x[i];
        if (++inBlock_ == kBlockSamples) {
            blocks_.push_back(std::sqrt(sum2_ / kBlockSamples));
            sum2_ = 0.0;
            inBlock_ = 0;
        }
    }
}

double NoiseLevelMeter::Rms() const {
    if (blocks_.empty()) return 0.0;
    std::vector<double> sorted = blocks_;
    const size_t mid = sorted.size() / 2;
    std::nth_element(sorted.begin(), sorted.begin() + static_cast<long>(mid), sorted.end());
    return sorted[mid];
}

double AutoGainDb(double noiseRms) {
    if (!std::isfinite(noiseRms) || noiseRms <= 0.0) return 0.0;
    return 20.0 * std::log10(kAutoGainNoiseCounts / 128.0 / noiseRms);
}

}  // namespace sorv
