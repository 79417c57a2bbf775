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

double OscillatorRun::MixSlots(size_t at, const uint8_t* bytes, int slots, int decimation, double* sumsI,
                               double* sumsQ) const {
    const size_t d = static_cast<size_t>(decimation);
    int k = 0;
    for (; k + 4 <= slots; k += 4) {
        const size_t first = static_cast<size_t>(k) * d;
        const double* c = cosines_.data() + at + first;
        const double* s = sines_.data() + at + first;
        const uint8_t* b = bytes + first;
        double i0 = -0.0, i1 = -0.0, i2 = -0.0, i3 = -0.0, q0 = -0.0, q1 = -0.0, q2 = -0.0, q3 = -0.0;
        for (size_t j = 0; j < d; ++j) {
            const double x0 = static_cast<int>(b[j]) - 128, x1 = static_cast<int>(b[d + j]) - 128;
            const double x2 = static_cast<int>(b[2 * d + j]) - 128, x3 = static_cast<int>(b[3 * d + j]) - 128;
            i0 += c[j] * x0;
            i1 += c[d + j] * x1;
            i2 += c[2 * d + j] * x2;
            i3 += c[3 * d + j] * x3;
            q0 += s[j] * x0;
            q1 += s[d + j] * x1;
            q2 += s[2 * d + j] * x2;
            q3 += s[3 * d + j] * x3;
        }
        sumsI[k] = i0, sumsI[k + 1] = i1, sumsI[k + 2] = i2, sumsI[k + 3] = i3;
        sumsQ[k] = q0, sumsQ[k + 1] = q1, sumsQ[k + 2] = q2, sumsQ[k + 3] = q3;
    }
    for (; k < slots; ++k) {
        sumsI[k] = -0.0;
        sumsQ[k] = -0.0;
        const size_t first = static_cast<size_t>(k) * d;
        MixIntoSlot(at + first, bytes + first, d, sumsI[k], sumsQ[k]);
    }
    return phases_[at + static_cast<size_t>(slots) * d];
}

}  // namespace sorv
