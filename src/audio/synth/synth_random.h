// Random numbers for the synthesiser that are the same on every machine: mt19937 and seed_seq
// are defined by the language bit for bit, the standard distributions are not, so the
// transforms here are our own.
#pragma once

#include <cstdint>
#include <random>

namespace sorv {

class SynthRandom {
public:
    // The generator that the white noise has always been drawn from.
    explicit SynthRandom(uint32_t seed) : rng_(seed) {}
    // Another generator for the same seed, independent of the first and of other streams, so
    // that a new kind of noise never shifts the draws of the kinds that were there before it.
    SynthRandom(uint32_t seed, uint32_t stream);

    double Uniform();      // in (0, 1), 24 bits
    double Gaussian();     // mean 0, deviation 1 (Box-Muller, in pairs)
    double Exponential();  // mean 1

private:
    std::mt19937 rng_;
    bool haveSpare_ = false;
    double spare_ = 0.0;
};

// The streams that SynthRandom(seed, stream) hands out.
enum SynthStream : uint32_t {
    kStreamCrashes = 1,
    kStreamNoiseWander = 2,
    kStreamHum = 3,
    kStreamFadingFirst = 100,  // + the ident's index
};

}  // namespace sorv
