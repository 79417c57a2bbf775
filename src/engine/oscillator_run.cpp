#include "engine/oscillator_run.h"

#include <bit>

#include "engine/quadrature_mixer.h"

namespace sorv {

void OscillatorRun::Compute(double phase, double increment, size_t n) {
    if (phases_.size() < n + 1) {
        phases_.resize(n + 1);
        sines_.resize(n);
        cosines_.resize(n);
    }
    increment_ = increment;
    size_ = n;
    OscillatorValues(phase, increment, n, phases_.data(), sines_.data(), cosines_.data());
}

bool OscillatorRun::Holds(size_t at, size_t n, double phase, double increment) const {
    return !phases_.empty() && at <= size_ && n <= size_ - at && std::bit_cast<uint64_t>(increment) == std::bit_cast<uint64_t>(increment_) &&
           std::bit_cast<uint64_t>(phase) == std::bit_cast<uint64_t>(phases_[at]);
}

double OscillatorRun::MixIntoSlot(size_t at, const uint8_t* bytes, size_t n, double& sumI, double& sumQ) const {
    const double* c = cosines_.data() + at;
    const double* s = sines_.data() + at;
    double si = sumI, sq = sumQ;
    for (size_t j = 0; j < n; ++j) {
        const double x = static_cast<int>(bytes[j]) - 128;
        si += c[j] * x;
        sq += s[j] * x;
    }
    sumI = si;
    sumQ = sq;
    return phases_[at + n];
}

}  // namespace sorv
