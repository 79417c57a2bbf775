#include "audio/synth/synth_random.h"

#include <cmath>

namespace sorv {

namespace {
constexpr double kTwoPi = 6.283185307179586;
}

SynthRandom::SynthRandom(uint32_t seed, uint32_t stream) {
    std::seed_seq seq{seed, stream, 0x5eedu};
    rng_.seed(seq);
}

double SynthRandom::Uniform() { return (static_cast<double>(rng_() >> 8) + 0.5) / 16777216.0; }

double SynthRandom::Gaussian() {
    if (haveSpare_) {
        haveSpare_ = false;
        return spare_;
    }
    const double r = std::sqrt(-2.0 * std::log(Uniform()));
    const double a = kTwoPi * Uniform();
    spare_ = r * std::sin(a);
    haveSpare_ = true;
    return r * std::cos(a);
}

double SynthRandom::Exponential() { return -std::log(Uniform()); }

}  // namespace sorv
