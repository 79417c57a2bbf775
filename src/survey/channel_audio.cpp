#include "survey/channel_audio.h"

#include "engine/cpu_features.h"

#if defined(__x86_64__)
#include <immintrin.h>
#endif

namespace sorv {

namespace {

// One sample; the wide version below must give exactly this.
inline uint8_t ToEngineSample(float x, float gain, size_t& clipped) {
    // Shifted by 128.5 the value is never negative where it counts, so truncation rounds.
    float v = x * gain + 128.5f;
    clipped += (v < 0.5f) | (v >= 255.5f) | (v != v);
    v = v != v ? 0.0f : v;
    v = v < 0.0f ? 0.0f : v;
    v = v > 255.0f ? 255.0f : v;
    return static_cast<uint8_t>(static_cast<int>(v));
}

size_t ToEngineSamplesPlain(const float* x, size_t count, float gain, uint8_t* out, size_t from) {
    size_t clipped = 0;
    for (size_t i = from; i < count; ++i) out[i] = ToEngineSample(x[i], gain, clipped);
    return clipped;
}

#if defined(__x86_64__)

// Eight samples at a time. The maximum with zero takes zero for a NaN (it returns its second
// operand when either is unordered), as the plain version does; the ordered comparisons are
// false for a NaN, which therefore counts as clipped.
__attribute__((target("avx2"))) size_t ToEngineSamplesAvx2(const float* x, size_t count, float gain, uint8_t* out) {
    const __m256 g = _mm256_set1_ps(gain);
    const __m256 shift = _mm256_set1_ps(128.5f);
    const __m256 low = _mm256_set1_ps(0.5f), high = _mm256_set1_ps(255.5f);
    const __m256 zero = _mm256_setzero_ps(), top = _mm256_set1_ps(255.0f);
    size_t clipped = 0;
    size_t i = 0;
    for (; i + 8 <= count; i += 8) {
        const __m256 v = _mm256_add_ps(_mm256_mul_ps(_mm256_loadu_ps(x + i), g), shift);
        const __m256 inRange = _mm256_and_ps(_mm256_cmp_ps(v, low, _CMP_GE_OQ), _mm256_cmp_ps(v, high, _CMP_LT_OQ));
        clipped += 8 - static_cast<size_t>(__builtin_popcount(static_cast<unsigned>(_mm256_movemask_ps(inRange))));
        const __m256i n = _mm256_cvttps_epi32(_mm256_min_ps(_mm256_max_ps(v, zero), top));
        const __m128i words = _mm_packus_epi32(_mm256_castsi256_si128(n), _mm256_extracti128_si256(n, 1));
        _mm_storel_epi64(reinterpret_cast<__m128i*>(out + i), _mm_packus_epi16(words, words));
    }
    return clipped + ToEngineSamplesPlain(x, count, gain, out, i);
}

#endif

}  // namespace

size_t ToEngineSamples(const float* x, size_t count, float gain, uint8_t* out) {
#if defined(__x86_64__)
    if (CpuHasAvx2()) return ToEngineSamplesAvx2(x, count, gain, out);
#endif
    return ToEngineSamplesPlain(x, count, gain, out, 0);
}

size_t ToEngineSamplesOneByOne(const float* x, size_t count, float gain, uint8_t* out) {
    return ToEngineSamplesPlain(x, count, gain, out, 0);
}

}  // namespace sorv
