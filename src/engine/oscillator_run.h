// The oscillator's phases, sines and cosines for a run of samples, worked out once. Channels
// that go through the per-sample step over the same stretch of time with the same band (the
// band survey's, some forty at a time) all mix with the very same values, so each multiplies
// by them instead of evaluating them again; its sums are those of MixIntoSlot bit for bit.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace sorv {

class OscillatorRun {
public:
    // n samples from this phase on, as the step advances it. Keeps its storage from one run to
    // the next, so that runs of the same length allocate nothing.
    void Compute(double phase, double increment, size_t n);
    size_t Size() const { return size_; }
    double PhaseAt(size_t at) const { return phases_[at]; }

    // Whether n samples that start at this phase, with this increment, are the run's samples
    // from `at` on. The phases that follow a phase are always the same ones, so the first
    // phase, compared bit for bit (a -0.0 has a sine of its own sign), settles it.
    bool Holds(size_t at, size_t n, double phase, double increment) const;
    // As MixIntoSlot, for the run's samples at .. at + n - 1; returns the phase after them.
    double MixIntoSlot(size_t at, const uint8_t* bytes, size_t n, double& sumI, double& sumQ) const;
    // `slots` whole slots of `decimation` samples each from `at` on, each summed from -0.0 as a
    // new slot is: sumsI[k] and sumsQ[k] are what MixIntoSlot gives slot k. Several slots are
    // summed side by side, each in its own sample order, so that no slot waits for another's
    // additions. Returns the phase after them.
    double MixSlots(size_t at, const uint8_t* bytes, int slots, int decimation, double* sumsI, double* sumsQ) const;

private:
    double increment_ = 0.0;
    size_t size_ = 0;
    std::vector<double> phases_, sines_, cosines_;  // phases_ holds one more: the phase after the run
};

}  // namespace sorv
