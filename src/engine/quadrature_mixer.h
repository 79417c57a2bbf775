// The quadrature mixer of the spectrogram producer, for a run of samples that all go into one
// ring slot: the oscillator's phase for each sample, each signed sample times the cosine and
// the sine of its phase, and the products added to the slot's sums in sample order. The results
// are those of SinCos, two scalar products and two scalar additions per sample, bit for bit;
// only the sine and cosine are evaluated for four samples at a time (with SSE2, or with AVX2
// where the processor has it).
#pragma once

#include <cstddef>
#include <cstdint>

namespace sorv {

// The wrap of the oscillator's phase: this constant, not 2pi to full precision.
constexpr double kPhaseWrap = 6.2831853;

inline double AdvancePhase(double phase, double increment) {
    phase += increment;
    return phase > kPhaseWrap ? phase - kPhaseWrap : phase;
}

// For each of n samples, with x = bytes[j] - 128: sumI += cos(phase) * x, sumQ += sin(phase) * x,
// then phase = AdvancePhase(phase, increment). Returns the phase after the last sample.
double MixIntoSlot(double phase, double increment, const uint8_t* bytes, size_t n, double& sumI, double& sumQ);

// The oscillator alone for n samples from phase on: phases[j], sines[j] and cosines[j] are the
// phase of sample j and the sine and cosine MixIntoSlot multiplies it by; phases[n] is the
// phase after the last (phases holds n + 1).
void OscillatorValues(double phase, double increment, size_t n, double* phases, double* sines, double* cosines);

// The instruction sets MixIntoSlot chooses between, for tests that check each of them.
enum class MixerKernel { kSse2, kAvx2 };
bool MixerKernelAvailable(MixerKernel kernel);
double MixIntoSlotWith(MixerKernel kernel, double phase, double increment, const uint8_t* bytes, size_t n,
                       double& sumI, double& sumQ);
void OscillatorValuesWith(MixerKernel kernel, double phase, double increment, size_t n, double* phases, double* sines,
                          double* cosines);

}  // namespace sorv
