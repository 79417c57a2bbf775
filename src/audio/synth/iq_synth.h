// Synthetic I/Q recordings of a band, as a software-defined receiver would record it: beacons
// on their carriers keying a tone on one or both sidebands over a steady carrier (A2A), or
// keying the carrier itself (A1A); steady carriers without an ident; white noise; slow fading
// and the drift of the receiver's oscillator. The same spec and seed give the same samples.
//
// Levels. The noise is complex white noise of total rms 0.01 (-40 dBFS) across the recorded
// band. A beacon of level 0 dB has, in each keyed tone (or in its keyed carrier), the stated
// SNR over the noise power in 2500 Hz around it: amplitude A with A^2 = SNR * 0.01^2 * 2500 /
// rate. This is the convention of the audio synthesiser's --snr, so a beacon made at -18 dB
// here and a receiver's audio made at -18 dB there hold the same ident as far above the same
// noise. Without noise, a 0 dB beacon has an amplitude of 0.05. Other levels are relative to
// that. When the sum of every amplitude and four noise rms would pass 0.95 of full scale,
// everything is scaled down together so that the ratios hold and nothing clips.
//
// Cost: each beacon's carrier and tone are a fixed table of one millisecond of phasors turned
// by one complex product per block, so a sample costs a few multiplications per beacon,
// vectorised across the block; the drift turns the whole sum at once.
#pragma once

#include <complex>
#include <cstdint>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "audio/file/iq_source.h"
#include "audio/synth/morse_code.h"

namespace sorv {

enum class IqKeying {
    Upper,    // steady carrier, the ident keyed as a tone above it
    Lower,    // steady carrier, the tone below it
    Both,     // steady carrier, the tone on both sides (amplitude modulation, as beacons send)
    Carrier,  // the carrier itself keyed, no tone (A1A)
};

struct IqBeacon {
    double carrierKHz = 0.0;
    std::string ident = "DGU";
    double toneHz = 1020.0;
    double periodSeconds = 8.0;
    double wpm = 7.0;
    double offsetSeconds = 0.5;  // start of the first ident
    double levelDb = 0.0;        // of each keyed tone, or of the keyed carrier
    IqKeying keying = IqKeying::Both;
    double carrierLevelDb = 6.0;  // the steady carrier over each tone (A2A); unused for Carrier
};

struct IqSteadyCarrier {
    double kHz = 0.0;
    double levelDb = 0.0;
};

struct IqSynthSpec {
    double sampleRate = 192000.0;
    double centreKHz = 0.0;
    double seconds = 60.0;
    int64_t startUtc = 1735689600;  // 2025-01-01 00:00:00 UTC, written into the auxi chunk
    std::vector<IqBeacon> beacons;
    std::vector<IqSteadyCarrier> carriers;
    bool withNoise = false;
    double snrDb = 0.0;                // of a 0 dB beacon, in 2500 Hz
    double fadeDepthDb = 0.0;          // every signal dips by up to this much...
    double fadePeriodSeconds = 600.0;  // ...once per period, each beacon at its own phase
    double driftHzPerMinute = 0.0;     // the receiver's oscillator: every signal moves by this
    uint32_t seed = 1;
};

constexpr double kIqNoiseRms = 0.01;
constexpr double kIqCleanAmplitude = 0.05;
constexpr double kIqPeakLimit = 0.95;
constexpr double kIqSynthMaxSeconds = 24.0 * 3600.0;
constexpr size_t kIqSynthMaxSignals = 1000;

// Empty when the spec can be synthesised, otherwise what is wrong with it.
std::string CheckIqSynthSpec(const IqSynthSpec& spec);

class IqSynthesiser {
public:
    explicit IqSynthesiser(const IqSynthSpec& spec);  // spec must pass CheckIqSynthSpec
    ~IqSynthesiser();

    // The next samples of the recording; fewer (down to 0) at its end.
    size_t Fill(std::complex<float>* out, size_t count);
    uint64_t TotalSamples() const { return total_; }
    uint64_t SamplesSoFar() const { return made_; }
    const IqSynthSpec& Spec() const { return spec_; }
    double NoiseRms() const { return noiseRms_; }
    // Peak amplitude of one keyed tone of a 0 dB beacon, full scale 1.
    double ReferenceAmplitude() const { return reference_; }
    // Key-down envelope (0..1) of beacon i at a time, with 4 ms raised-cosine edges.
    double KeyAt(size_t i, double seconds) const;

private:
    struct Signal;
    void MakeBlock();
    void AddSignal(Signal& s, double t0, double t1);
    void ApplyDrift(double t0);
    void AddNoise();
    float Gaussian();

    IqSynthSpec spec_;
    std::vector<std::vector<KeyMark>> keying_;
    std::vector<Signal> signals_;
    size_t block_ = 0;                 // samples per block, about one millisecond
    std::vector<float> re_, im_;       // the block being handed out
    std::vector<float> ramp_;          // 0, 1, 2, ... across a block
    size_t used_ = 0;                  // of it
    std::vector<float> driftRe_, driftIm_;
    std::complex<double> driftPhasor_ = 1.0;
    // xoshiro256+, seeded through splitmix64: defined here, so the same seed gives the same
    // noise with any standard library, and several times faster than the Mersenne twister.
    uint64_t rng_[4] = {};
    uint64_t NextRandom();
    double noiseRms_ = 0.0, reference_ = 0.0;
    uint64_t total_ = 0, made_ = 0, blocksMade_ = 0;
};

// The same recording as a stream, without a file: the samples a 32-bit float file of the
// spec holds. Its start is the spec's, its centre the spec's centre.
std::unique_ptr<IqSource> MakeIqSynthSource(const IqSynthSpec& spec);

}  // namespace sorv
