// A channel's audio as the engine takes it: unsigned 8-bit samples, 128 for silence, rounded
// to the nearest count and clipped to 0..255, as the audio import converts a recording.
#pragma once

#include <cstddef>
#include <cstdint>

namespace sorv {

// x in full-scale units times gain (counts per unit); returns how many samples were clipped.
// Written so that the compiler can convert several samples at a time.
size_t ToEngineSamples(const float* x, size_t count, float gain, uint8_t* out);

// The same, a sample at a time on any processor: what the wide conversion must match.
size_t ToEngineSamplesOneByOne(const float* x, size_t count, float gain, uint8_t* out);

}  // namespace sorv
