#include "audio/synth/mains_hum.h"

#include <algorithm>
#include <cmath>

namespace sorv {

bool IsMainsFrequency(double hz) { return hz == 50.0 || hz == 60.0; }

MainsHum::MainsHum(double hz, double fundamentalAmplitude, double sampleRate, SynthRandom random) {
    const size_t period = static_cast<size_t>(std::lround(sampleRate / hz));
    table_.assign(period, 0.0);
    for (int k = 1; k * hz <= kTopHz && k * hz < sampleRate / 2.0; ++k) {
        const double phase = 2.0 * M_PI * random.Uniform();
        const double a = fundamentalAmplitude / k;
        for (size_t i = 0; i < period; ++i)
            table_[i] += a * std::sin(2.0 * M_PI * k * static_cast<double>(i) / static_cast<double>(period) + phase);
    }
    for (double v : table_) peak_ = std::max(peak_, std::fabs(v));
}

void MainsHum::Scale(double k) {
    for (double& v : table_) v *= k;
    peak_ *= k;
}

}  // namespace sorv
