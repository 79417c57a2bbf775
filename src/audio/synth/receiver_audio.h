// Synthetic receiver audio, as a listener's receiver would hand it to the sound card: keyed
// Morse idents on their own tones and periods, optional steady carriers, slow fading, drift and
// white noise at a stated SNR, as unsigned 8-bit samples at 48000 per second (or 16-bit at
// 44100). Beyond white noise, the kinds of noise a real band and receiver add: static crashes,
// a drifting or wandering noise floor, a tilted spectrum, mains hum, random slow fading of each
// ident and the pumping of an AGC.
//
// Levels. With noise, the white noise has an rms of 16 counts (or as set) and a signal of
// level 0 dB has the stated SNR in 2500 Hz: amplitude A with A^2 / 2 = SNR * noise power *
// 2500 / (rate / 2). Without noise, a 0 dB signal has an amplitude of 40 counts. Other levels
// are relative to that. When the sum of all amplitudes and four noise rms would pass 124 counts, everything is
// scaled down together so that the ratios hold and nothing clips. The noise kinds' levels are
// relative to the white noise; static crashes do not count towards the peaks and clip, as
// they do in a real recording. A 16-bit sample is the 8-bit count times 256: the same level
// of full scale, so the import reads it at its default gain as it reads the 8-bit file.
//
// The same spec and seed give the same bytes on every machine: the noise is our own Box-Muller
// transform over mt19937, whose output the language defines. Every noise kind beyond the white
// noise draws from a stream of its own, so adding one leaves the white noise of a seed as it was.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "audio/synth/mains_hum.h"
#include "audio/synth/morse_code.h"
#include "audio/synth/noise_tilt.h"
#include "audio/synth/receiver_agc.h"
#include "audio/synth/slow_wander.h"
#include "audio/synth/static_crashes.h"
#include "audio/synth/synth_random.h"

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

enum class SynthFormat {
    Mono8Bit48k,     // unsigned 8-bit mono at 48000 Hz, as the program records
    Stereo16Bit44k,  // signed 16-bit stereo at 44100 Hz, as SDR programs write audio
};

struct SynthSpec {
    std::vector<SynthIdent> idents;
    std::vector<SynthCarrier> carriers;
    double seconds = 60.0;
    bool withNoise = false;
    double snrDb = 0.0;               // of a 0 dB signal, in 2500 Hz
    double noiseRmsCounts = 16.0;     // the white noise's rms before any scaling down
    double fadeDepthDb = 0.0;         // slow fading: the signals dip by this much...
    double fadePeriodSeconds = 600.0; // ...once per this period (raised cosine in dB)
    double driftHzPerMinute = 0.0;    // every tone moves by this much per minute
    uint32_t seed = 1;

    // Receiver noise beyond white; tilt, drift, wander, crashes and hum need the noise.
    double noiseTiltDbPerOctave = 0.0;   // coloured noise, the same density at 1000 Hz
    double noiseDriftDb = 0.0;           // the noise level ramps from -drift/2 to +drift/2 dB
    double noiseWanderDb = 0.0;          // the noise level wanders: deviation in dB...
    double noiseWanderSeconds = 300.0;   // ...and correlation time
    CrashSettings crashes;               // static crashes (perSecond 0: none)
    double humHz = 0.0;                  // mains hum, 50 or 60 Hz (0: none)...
    double humLevelDb = 10.0;            // ...its fundamental's level over the noise in 2500 Hz
    double qsbDb = 0.0;                  // each ident fades at random on its own: deviation...
    double qsbSeconds = 180.0;           // ...and correlation time
    AgcSettings agc;
    SynthFormat format = SynthFormat::Mono8Bit48k;
};

double SynthSampleRate(SynthFormat format);

constexpr double kSynthNoiseRms = 16.0;
constexpr double kSynthCleanAmplitude = 40.0;
constexpr double kSynthPeakLimit = 124.0;
constexpr double kSynthMaxSeconds = 24.0 * 3600.0;  // an 8-bit WAV's 4 GiB holds 24.8 hours
constexpr double kSynthMaxSeconds16 = 6.75 * 3600.0;  // 16-bit stereo at 44100 Hz: 6.76 hours

// Empty when these settings can be synthesised, otherwise what is wrong with it.
std::string CheckSynthSpec(const SynthSpec& spec);

class ReceiverAudio {
public:
    explicit ReceiverAudio(const SynthSpec& spec);  // spec must pass CheckSynthSpec

    // The next samples of the recording; fewer (down to 0) at its end. Either width may be
    // asked for whatever the spec's format; the samples are the same, rounded to 8 or 16 bits.
    size_t Fill(uint8_t* out, size_t count);
    size_t Fill(int16_t* out, size_t count);
    uint64_t TotalSamples() const { return total_; }
    uint64_t SamplesSoFar() const { return n_; }
    double SampleRate() const { return rate_; }
    // The white noise's rms (the density that the SNR refers to), in 8-bit counts.
    double NoiseRms() const { return noiseRms_; }
    // Samples that passed the output's range and were clipped (crashes, mostly).
    uint64_t ClippedSamples() const { return clipped_; }
    uint64_t Crashes() const { return crashes_.Count(); }
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
    void ScaleToFit();
    // The samples from n_ on, in 8-bit counts around 0, within one block of blockSize_.
    void FillBlock(double* out, size_t count);
    void EndBlock();
    // Runs FillBlock over count samples in whole blocks and hands each piece to emit.
    template <class Emit>
    size_t Produce(size_t count, Emit emit);

    SynthSpec spec_;
    std::vector<std::vector<KeyMark>> keying_;
    std::vector<Voice> voices_;
    SynthRandom rng_;
    double rate_ = 48000.0;
    size_t blockSize_ = 480;  // fading, drift and the noise floor change every 10 ms
    std::vector<double> block_;
    double noiseRms_ = 0.0;
    double reference_ = 0.0;
    uint64_t total_ = 0;
    uint64_t n_ = 0;
    uint64_t clipped_ = 0;

    NoiseTilt tilt_;
    bool tilted_ = false;
    SlowWander floorWander_;
    std::vector<SlowWander> fading_;  // one per ident, with qsbDb
    StaticCrashes crashes_;
    ReceiverAgc agc_;
    MainsHum hum_;
};

}  // namespace sorv
