#include "engine/quadrature_mixer.h"

#include <cstring>

#include "engine/cpu_features.h"
#include "engine/sin_cos.h"

#if defined(__x86_64__)
#include <immintrin.h>
#endif

namespace sorv {

namespace {

using namespace sin_cos_detail;

// One sample the plain way: the lanes below must give exactly this. Samples whose phase lies
// outside the polynomial's range are always mixed here (SinCos takes the library then). Out of
// line, so that the kernels' loops keep their registers for the lanes.
__attribute__((noinline)) void MixOne(double phase, uint8_t b, double& mixedI, double& mixedQ) {
    const int x = static_cast<int>(b) - 128;
    double s, c;
    SinCos(phase, s, c);
    mixedI = c * x;
    mixedQ = s * x;
}

// Whether every phase of a run stays within the polynomial's range, so that the kernel need
// not check: from a phase in [0, 8], an increment in [0, 6] gives at most 14 before the wrap
// and at most 7.72 after it.
bool PhasesStayInRange(double phase, double increment) {
    return phase >= 0.0 && phase <= kMaxPolynomialPhase && increment >= 0.0 && increment <= 6.0;
}

// The loop shared by every kernel. Each group of four samples takes its phases one after the
// other (a running sum of doubles cannot be computed out of order without changing its
// rounding), is mixed by the kernel, and is added to the sums in sample order. The two chains
// of additions and the phase's chain run beside the kernel's arithmetic.
template <class Kernel, bool kChecked>
inline double MixGroups(double phase, double increment, const uint8_t* bytes, size_t n, double& sumI,
                        double& sumQ) {
    double si = sumI, sq = sumQ;
    size_t j = 0;
    for (; j + 4 <= n; j += 4) {
        double p[4], mixedI[4], mixedQ[4];
        for (double& v : p) {
            v = phase;
            phase = AdvancePhase(phase, increment);
        }
        if (!Kernel::template Mix<kChecked>(p, bytes + j, mixedI, mixedQ)) {
            for (int l = 0; l < 4; ++l) MixOne(p[l], bytes[j + l], mixedI[l], mixedQ[l]);
        }
        for (int l = 0; l < 4; ++l) {
            si += mixedI[l];
            sq += mixedQ[l];
        }
    }
    for (; j < n; ++j) {
        double mixedI, mixedQ;
        MixOne(phase, bytes[j], mixedI, mixedQ);
        si += mixedI;
        sq += mixedQ;
        phase = AdvancePhase(phase, increment);
    }
    sumI = si;
    sumQ = sq;
    return phase;
}

// Each entry point below is flattened: the loop, the kernel and SinCos all compile into it,
// with its instruction set.
template <class Kernel>
inline double MixWithKernel(double phase, double increment, const uint8_t* bytes, size_t n, double& sumI,
                            double& sumQ) {
    return PhasesStayInRange(phase, increment) ? MixGroups<Kernel, false>(phase, increment, bytes, n, sumI, sumQ)
                                               : MixGroups<Kernel, true>(phase, increment, bytes, n, sumI, sumQ);
}

// The oscillator alone for a run of samples: each phase, then its sine and cosine, four at a
// time where the kernel can, exactly as the mixing loop above takes them.
template <class Kernel>
inline void OscillatorGroups(double phase, double increment, size_t n, double* phases, double* sines,
                             double* cosines) {
    size_t j = 0;
    for (; j + 4 <= n; j += 4) {
        double p[4], s[4], c[4];
        for (int l = 0; l < 4; ++l) {
            p[l] = phase;
            phases[j + l] = phase;
            phase = AdvancePhase(phase, increment);
        }
        if (!Kernel::template SinCos<true>(p, s, c)) {
            for (int l = 0; l < 4; ++l) SinCos(p[l], s[l], c[l]);
        }
        for (int l = 0; l < 4; ++l) {
            sines[j + l] = s[l];
            cosines[j + l] = c[l];
        }
    }
    for (; j < n; ++j) {
        phases[j] = phase;
        SinCos(phase, sines[j], cosines[j]);
        phase = AdvancePhase(phase, increment);
    }
    phases[n] = phase;
}

#if defined(__x86_64__)

// The quadrant k & 3 chooses and negates as in SinCos: bit 0 swaps sine and cosine, bit 1 of k
// negates the sine and bit 1 of k + 1 the cosine. A negation is a flip of the sign bit.

// SSE2, the baseline of every x86-64 processor: two pairs of lanes.
struct Sse2Kernel {
    template <bool kChecked>
    static bool SinCosPair(const double* p, __m128d& s, __m128d& c) {
        const __m128d ph = _mm_set_pd(p[1], p[0]);
        if constexpr (kChecked) {
            const __m128d inRange = _mm_and_pd(_mm_cmpge_pd(ph, _mm_setzero_pd()),
                                               _mm_cmple_pd(ph, _mm_set1_pd(kMaxPolynomialPhase)));
            if (_mm_movemask_pd(inRange) != 3) return false;
        }
        const __m128i k = _mm_cvttpd_epi32(ph * kTwoOverPi + 0.5);
        const __m128d kd = _mm_cvtepi32_pd(k);
        __m128d r, sr, cr;
        ReducePhase(ph, kd, r);
        SinCosPolynomials(r, sr, cr);

        const __m128i q = _mm_unpacklo_epi32(k, k);  // k in both halves of each lane
        const __m128i one = _mm_set1_epi32(1);
        const __m128d odd = _mm_castsi128_pd(_mm_cmpeq_epi32(_mm_and_si128(q, one), one));
        const __m128d sign = _mm_set1_pd(-0.0);
        const __m128d flipS = _mm_and_pd(_mm_castsi128_pd(_mm_slli_epi64(q, 62)), sign);
        const __m128d flipC = _mm_and_pd(_mm_castsi128_pd(_mm_slli_epi64(_mm_add_epi64(q, _mm_set1_epi64x(1)), 62)), sign);
        s = _mm_xor_pd(_mm_or_pd(_mm_and_pd(odd, cr), _mm_andnot_pd(odd, sr)), flipS);
        c = _mm_xor_pd(_mm_or_pd(_mm_and_pd(odd, sr), _mm_andnot_pd(odd, cr)), flipC);
        return true;
    }
    template <bool kChecked>
    static bool MixPair(const double* p, const uint8_t* bytes, double* mixedI, double* mixedQ) {
        __m128d s, c;
        if (!SinCosPair<kChecked>(p, s, c)) return false;
        const __m128d x = _mm_set_pd(static_cast<int>(bytes[1]) - 128, static_cast<int>(bytes[0]) - 128);
        _mm_storeu_pd(mixedI, c * x);
        _mm_storeu_pd(mixedQ, s * x);
        return true;
    }
    template <bool kChecked>
    static bool Mix(const double (&p)[4], const uint8_t* bytes, double (&mixedI)[4], double (&mixedQ)[4]) {
        return MixPair<kChecked>(p, bytes, mixedI, mixedQ) && MixPair<kChecked>(p + 2, bytes + 2, mixedI + 2, mixedQ + 2);
    }
    template <bool kChecked>
    static bool SinCos(const double (&p)[4], double (&s)[4], double (&c)[4]) {
        __m128d s0, c0, s1, c1;
        if (!SinCosPair<kChecked>(p, s0, c0) || !SinCosPair<kChecked>(p + 2, s1, c1)) return false;
        _mm_storeu_pd(s, s0);
        _mm_storeu_pd(s + 2, s1);
        _mm_storeu_pd(c, c0);
        _mm_storeu_pd(c + 2, c1);
        return true;
    }
};

// AVX2: four lanes. No "fma" in the target: a fused multiply-add rounds once where SinCos
// rounds twice, and the results would no longer be the scalar ones.
struct Avx2Kernel {
    template <bool kChecked>
    __attribute__((target("avx2"))) static bool SinCos4(const double (&p)[4], __m256d& s, __m256d& c) {
        const __m256d ph = _mm256_set_pd(p[3], p[2], p[1], p[0]);
        if constexpr (kChecked) {
            const __m256d inRange = _mm256_and_pd(_mm256_cmp_pd(ph, _mm256_setzero_pd(), _CMP_GE_OQ),
                                                  _mm256_cmp_pd(ph, _mm256_set1_pd(kMaxPolynomialPhase), _CMP_LE_OQ));
            if (_mm256_movemask_pd(inRange) != 15) return false;
        }
        const __m128i k = _mm256_cvttpd_epi32(ph * kTwoOverPi + 0.5);
        const __m256d kd = _mm256_cvtepi32_pd(k);
        __m256d r, sr, cr;
        ReducePhase(ph, kd, r);
        SinCosPolynomials(r, sr, cr);

        const __m256i q = _mm256_cvtepi32_epi64(k);
        const __m256d odd = _mm256_castsi256_pd(_mm256_slli_epi64(q, 63));  // blendv reads the sign bit only
        const __m256d sign = _mm256_set1_pd(-0.0);
        const __m256d flipS = _mm256_and_pd(_mm256_castsi256_pd(_mm256_slli_epi64(q, 62)), sign);
        const __m256d flipC =
            _mm256_and_pd(_mm256_castsi256_pd(_mm256_slli_epi64(_mm256_add_epi64(q, _mm256_set1_epi64x(1)), 62)), sign);
        s = _mm256_xor_pd(_mm256_blendv_pd(sr, cr, odd), flipS);
        c = _mm256_xor_pd(_mm256_blendv_pd(cr, sr, odd), flipC);
        return true;
    }
    template <bool kChecked>
    __attribute__((target("avx2"))) static bool Mix(const double (&p)[4], const uint8_t* bytes, double (&mixedI)[4],
                                                    double (&mixedQ)[4]) {
        __m256d s, c;
        if (!SinCos4<kChecked>(p, s, c)) return false;
        int32_t four;
        std::memcpy(&four, bytes, sizeof four);
        const __m128i xi = _mm_sub_epi32(_mm_cvtepu8_epi32(_mm_cvtsi32_si128(four)), _mm_set1_epi32(128));
        const __m256d x = _mm256_cvtepi32_pd(xi);
        _mm256_storeu_pd(mixedI, c * x);
        _mm256_storeu_pd(mixedQ, s * x);
        return true;
    }
    template <bool kChecked>
    __attribute__((target("avx2"))) static bool SinCos(const double (&p)[4], double (&s)[4], double (&c)[4]) {
        __m256d sv, cv;
        if (!SinCos4<kChecked>(p, sv, cv)) return false;
        _mm256_storeu_pd(s, sv);
        _mm256_storeu_pd(c, cv);
        return true;
    }
};

__attribute__((flatten)) double MixSse2(double phase, double increment, const uint8_t* bytes, size_t n, double& sumI,
                                        double& sumQ) {
    return MixWithKernel<Sse2Kernel>(phase, increment, bytes, n, sumI, sumQ);
}

__attribute__((target("avx2"), flatten)) double MixAvx2(double phase, double increment, const uint8_t* bytes, size_t n,
                                               double& sumI, double& sumQ) {
    return MixWithKernel<Avx2Kernel>(phase, increment, bytes, n, sumI, sumQ);
}

__attribute__((flatten)) void OscillatorSse2(double phase, double increment, size_t n, double* phases, double* sines,
                                             double* cosines) {
    OscillatorGroups<Sse2Kernel>(phase, increment, n, phases, sines, cosines);
}

__attribute__((target("avx2"), flatten)) void OscillatorAvx2(double phase, double increment, size_t n, double* phases,
                                                             double* sines, double* cosines) {
    OscillatorGroups<Avx2Kernel>(phase, increment, n, phases, sines, cosines);
}

#else

// Elsewhere every sample is mixed the plain way.
struct ScalarKernel {
    template <bool>
    static bool Mix(const double (&)[4], const uint8_t*, double (&)[4], double (&)[4]) { return false; }
    template <bool>
    static bool SinCos(const double (&)[4], double (&)[4], double (&)[4]) { return false; }
};

void OscillatorSse2(double phase, double increment, size_t n, double* phases, double* sines, double* cosines) {
    OscillatorGroups<ScalarKernel>(phase, increment, n, phases, sines, cosines);
}
void OscillatorAvx2(double phase, double increment, size_t n, double* phases, double* sines, double* cosines) {
    OscillatorSse2(phase, increment, n, phases, sines, cosines);
}

double MixSse2(double phase, double increment, const uint8_t* bytes, size_t n, double& sumI, double& sumQ) {
    return MixWithKernel<ScalarKernel>(phase, increment, bytes, n, sumI, sumQ);
}
double MixAvx2(double phase, double increment, const uint8_t* bytes, size_t n, double& sumI, double& sumQ) {
    return MixSse2(phase, increment, bytes, n, sumI, sumQ);
}

#endif

}  // namespace

bool MixerKernelAvailable(MixerKernel kernel) { return kernel == MixerKernel::kSse2 || CpuHasAvx2(); }

double MixIntoSlotWith(MixerKernel kernel, double phase, double increment, const uint8_t* bytes, size_t n,
                       double& sumI, double& sumQ) {
    if (kernel == MixerKernel::kAvx2 && CpuHasAvx2()) return MixAvx2(phase, increment, bytes, n, sumI, sumQ);
    return MixSse2(phase, increment, bytes, n, sumI, sumQ);
}

double MixIntoSlot(double phase, double increment, const uint8_t* bytes, size_t n, double& sumI, double& sumQ) {
    static const auto mix = CpuHasAvx2() ? MixAvx2 : MixSse2;
    return mix(phase, increment, bytes, n, sumI, sumQ);
}

void OscillatorValuesWith(MixerKernel kernel, double phase, double increment, size_t n, double* phases, double* sines,
                          double* cosines) {
    if (kernel == MixerKernel::kAvx2 && CpuHasAvx2()) return OscillatorAvx2(phase, increment, n, phases, sines, cosines);
    OscillatorSse2(phase, increment, n, phases, sines, cosines);
}

void OscillatorValues(double phase, double increment, size_t n, double* phases, double* sines, double* cosines) {
    static const auto values = CpuHasAvx2() ? OscillatorAvx2 : OscillatorSse2;
    values(phase, increment, n, phases, sines, cosines);
}

}  // namespace sorv
