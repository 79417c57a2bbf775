// The long-time average spectrum of an I/Q recording: Welch's method with Hann-windowed,
// non-overlapping segments long enough for bins of at most 1 Hz, their powers averaged over
// the whole recording. A steady carrier stands in one or two bins however weak it is, while
// the noise in each bin averages down to its mean; so a carrier far too weak to read by ear
// still rises clearly above the floor after a few minutes.
#pragma once

#include <complex>
#include <cstddef>
#include <memory>
#include <vector>

#include "survey/fft_plans.h"

namespace sorv {

struct AverageSpectrum {
    double sampleRate = 0.0;
    double binHz = 0.0;            // sampleRate / bins
    int segments = 0;              // how many segments were averaged (the floor's degrees of freedom / 2)
    // Mean power per bin, lowest frequency first: bin i is centred on (i - bins/2) * binHz from
    // the centre of the recording. Scaled so that the bins add up to the mean of |x|^2; a steady
    // tone of power p shows as p * 2/3 in its own bin when it sits on the bin's centre.
    std::vector<double> power;

    int Bins() const { return static_cast<int>(power.size()); }
    double OffsetOfBin(double bin) const { return (bin - Bins() / 2) * binHz; }
    double BinOfOffset(double offsetHz) const { return offsetHz / binHz + Bins() / 2; }
};

// The segment length for a rate: the smallest power of two whose bins are at most 1 Hz wide.
int AverageSpectrumBins(double sampleRate);

// Accumulates segments as the recording is read; the samples may come in pieces of any size.
class AverageSpectrumBuilder {
public:
    AverageSpectrumBuilder(double sampleRate, int bins, int workers);
    ~AverageSpectrumBuilder();
    AverageSpectrumBuilder(const AverageSpectrumBuilder&) = delete;
    AverageSpectrumBuilder& operator=(const AverageSpectrumBuilder&) = delete;

    void Add(const std::complex<float>* samples, size_t count);
    // The average. A recording shorter than one segment gives its one zero-padded segment.
    AverageSpectrum Finish();

private:
    void RunSegments(const std::complex<float>* samples, int count);

    struct Worker;
    double sampleRate_;
    int bins_;
    std::vector<float> window_;
    double windowPower_ = 0.0;  // sum of the squared window
    FftPlan plan_;
    std::vector<std::unique_ptr<Worker>> workers_;
    std::vector<std::complex<float>> pending_;  // the start of a segment not yet complete
    int segments_ = 0;
};

}  // namespace sorv
