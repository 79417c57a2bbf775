// Mains hum taken out of the detector's own copy of the audio, before its lines are made.
//
// A receiver fed from the mains hums at 50 or 60 Hz and at every multiple of it. Near 1 kHz the
// harmonics are weak, but a line 11 Hz wide gathers all of one: a harmonic 4 dB over the line's
// noise, 3 Hz from an ident's tone, multiplies the noise of the line's power by six through its
// product with the noise, and no scaling of powers can undo that. So the harmonics are taken
// out as waves: the decimated audio is cut into blocks of 8 s, half overlapping under a Hann
// window; in each block every harmonic near the searched tones is sought within 1.2 Hz of its
// nominal frequency (the mains frequency wanders), its amplitude and phase are fitted, and the
// fitted wave is subtracted under the same window, so that the blocks' fits cross-fade. Blocks
// this long let little of an ident's keying a few hertz away into a harmonic's fit, and are
// still short enough for the wave to follow a mains frequency that moves 0.0005 Hz a second.
//
// Only hum is subtracted: a harmonic that stands steadily out of the noise (strong in five
// blocks running; its amplitude from block to block within what its noise explains and 10 %,
// its frequency within 0.3 Hz) while another harmonic of the same mains frequency does too. An
// ident keys, and a tone on one harmonic's frequency alone is no hum, so neither is taken out;
// a recording without hum leaves this stage exactly as it came.
//
// Samples leave in the order they came, one to two hops (4 to 8 s) later: a hop's samples
// leave once the block that ends a hop after them is fitted. Where no harmonic lies near the
// searched tones they pass at once.
//
//   HumCanceller hum;
//   hum.Configure(500.0, 1000.0, 880.0, 1120.0, 150.0);
//   hum.Push(re, im);                       // one decimated sample
//   while (hum.Pop(outRe, outIm)) ...       // the samples that are done
#pragma once

#include <complex>
#include <cstddef>
#include <vector>

#include "analysis/sensitive_spectrum.h"

namespace sorv {

class HumCanceller {
public:
    // rate: complex samples a second; mixHz: the audio frequency at 0 Hz of them; lowHz ..
    // highHz: the audio frequencies whose lines are searched; passHz: how far from 0 the
    // samples are flat.
    void Configure(double rate, double mixHz, double lowHz, double highHz, double passHz);

    void Push(float re, float im);
    bool Pop(float& re, float& im);

    // The harmonics sought, in Hz of audio; and how many blocks subtracted one so far.
    std::vector<double> HarmonicsHz() const;
    long long BlocksSubtracted() const { return subtracted_; }
    int HopSamples() const { return hop_; }

private:
    static constexpr int kHistory = 5;  // blocks a harmonic must be steady over
    struct Harmonic {
        double basebandHz = 0.0;  // nominal
        unsigned mains = 0;       // bit 0: a harmonic of 50 Hz, bit 1: of 60 Hz
        // The last blocks' fits, newest last.
        std::complex<double> amplitude[kHistory];
        double hz[kHistory] = {};
        double strength[kHistory] = {};  // |fit|^2 over its noise
        int seen = 0;
        bool steady = false;
    };
    struct Wave {
        std::complex<double> amplitude;  // at the block's first sample
        double hz = 0.0;                 // baseband
    };

    void FitBlock();
    double NoiseOfBlock();
    void FitHarmonic(Harmonic& h, double noise);
    static bool Steady(const Harmonic& h);
    void Release();

    double rate_ = 0.0;
    double mixHz_ = 0.0;
    int hop_ = 0;  // samples; a block is two hops
    std::vector<double> window_;
    double windowSum_ = 0.0;
    std::vector<Harmonic> harmonics_;
    int passBins_ = 0;

    ComplexFft fft_;
    std::vector<double> re_, im_, power_;

    // The block being filled (two hops, from its first sample) and the samples released.
    std::vector<std::complex<float>> block_;
    size_t blockUsed_ = 0;
    std::vector<std::complex<float>> out_;
    size_t outRead_ = 0, outUsed_ = 0;
    std::vector<Wave> previous_, current_;  // the waves of the block before and of this one
    std::vector<double> noiseWork_;
    long long subtracted_ = 0;
};

}  // namespace sorv
