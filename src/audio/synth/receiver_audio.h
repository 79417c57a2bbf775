// Synthetic receiver audio, as a listener's receiver would hand it to the sound card: keyed
// Morse idents on their own tones and periods, optional steady carriers, slow fading, drift and
// white noise at a stated SNR, as unsigned 8-bit samples at 48000 per second.
//
// Levels. With noise, the noise has an rms of 16 counts and a signal of level 0 dB has the
// stated SNR in 2500 Hz: amplitude A with A^2 / 2 = SNR * noise power * 2500 / 24000. Without
// noise, a 0 dB signal has an amplitude of 40 counts. Other levels are relative to that. When
// the sum of all amplitudes and four noise rms would pass 124 counts, everything is scaled down
// together so that the ratios hold and nothing clips.
//
// The same spec and seed give the same bytes on every machine: the noise is our own Box-Muller
// transform over mt19937, whose output the language defines.
#pragma once

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "audio/synth/morse_code.h"

namespace sorv {

struct SynthIdent {
    std::string ident = "DGU";
    double toneHz = 1000.0;
    double periodSeconds = 9.0;   // the ident starts again every period
    double wpm = 8.0;             // dot 1.2 / wpm seconds
    double offsetSeconds = 0.5;   // start of the first ident
    double levelDb = 0.0;
};

struct SynthCarrier {
    double toneHz = 1000.0;
    double levelDb = 0.0;
};

struct SynthSpec {
    std::vector<SynthIdent> idents;
    std::vector<SynthCarrier> carriers;
    double seconds = 60.0;
    bool withNoise = false;
    double snrDb = 0.0;               // of a 0 dB signal, in 2500 Hz
    double fadeDepthDb = 0.0;         // slow fading: the signals dip by this much...
    double fadePeriodSeconds = 600.0; // ...once per this period (raised cosine in dB)
    double driftHzPerMinute = 0.0;    // every tone moves by this much per minute
    uint32_t seed = 1;
};

constexpr double kSynthNoiseRms = 16.0;
constexpr double kSynthCleanAmplitude = 40.0;
constexpr double kSynthPeakLimit = 124.0;
constexpr double kSynthMaxSeconds = 24.0 * 3600.0;  // an 8-bit WAV's 4 GiB holds 24.8 hours

// Empty when these settings can be synthesised, otherwise what is wrong with it.
std::string CheckSynthSpec(const SynthSpec& spec);

class ReceiverAudio {
public:
    explicit ReceiverAudio(const SynthSpec& spec);  // spec must pass CheckSynthSpec

    // The next samples of the recording; fewer (down to 0) at its end.
    size_t Fill(uint8_t* out, size_t count);
    uint64_t TotalSamples() const { return total_; }
    uint64_t SamplesSoFar() const { return n_; }
    double NoiseRms() const { return noiseRms_; }
    // Peak amplitude, in counts, of a 0 dB signal.
    double ReferenceAmplitude() const { return reference_; }
    // Key-down envelope (0..1) of ident i at a time, with the 4 ms raised-cosine edges.
    double KeyAt(size_t i, double seconds) const;

private:
    struct Voice {
        double toneHz;
        double amplitude;
        double phase = 0.0;
        int ident = -1;  // index into idents_, or -1 for a steady carrier
    };
    double Gaussian();
    void FillBlock(uint8_t* out, size_t count);

    SynthSpec spec_;
    std::vector<std::vector<KeyMark>> keying_;
    std::vector<Voice> voices_;
    std::mt19937 rng_;
    bool haveSpare_ = false;
    double spare_ = 0.0;
    double noiseRms_ = 0.0;
    double reference_ = 0.0;
    uint64_t total_ = 0;
    uint64_t n_ = 0;
};

}  // namespace sorv
