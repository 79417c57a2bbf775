#include "survey/channel_audio.h"

namespace sorv {

size_t ToEngineSamples(const float* x, size_t count, float gain, uint8_t* out) {
    size_t clipped = 0;
    for (size_t i = 0; i < count; ++i) {
        // Shifted by 128.5 the value is never negative where it counts, so truncation rounds.
        float v = x[i] * gain + 128.5f;
        clipped += (v < 0.5f) | (v >= 255.5f) | (v != v);
        v = v != v ? 0.0f : v;
        v = v < 0.0f ? 0.0f : v;
        v = v > 255.0f ? 255.0f : v;
        out[i] = static_cast<uint8_t>(static_cast<int>(v));
    }
    return clipped;
}

}  // namespace sorv
