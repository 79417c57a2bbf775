// The channeliser: from one I/Q recording, the audio of a receiver tuned to each carrier, all
// at once. Overlap-save fast convolution over one shared forward transform per block of the
// recording: each channel takes the bins around its carrier, weights them with one lowpass
// filter's response, moves them so that the carrier lands at 1800 Hz and transforms them back
// at 48000 samples a second (a real, complex-to-real transform), so that a channel costs one
// small inverse transform per block whatever the recording's rate. The same bins, transformed
// back around the carrier at 4800 samples a second, give the channel's complex baseband, from
// which its two sidebands are combined.
//
// The transform sizes are chosen so that every rate conversion is an exact integer ratio of
// bins: the block length N is a multiple of rate / gcd(rate, 4800), so that N * 48000 / rate
// and N * 4800 / rate are whole numbers.
#pragma once

#include <complex>
#include <cstdint>
#include <string>
#include <vector>

#include "survey/fft_plans.h"

namespace sorv {

constexpr int kBasebandRate = 4800;         // complex samples a second of a channel's baseband
constexpr double kChannelPassHz = 1100.0;   // flat to here either side of the carrier
constexpr double kChannelStopHz = 1300.0;   // and 80 dB down from here

struct ChannelGeometry {
    int sampleRate = 0;   // of the recording
    int blockSize = 0;    // N, the forward transform
    int hop = 0;          // L, new recording samples per block
    int audioSize = 0;    // N * 48000 / rate, the audio transform
    int audioHop = 0;     // audio samples per block
    int basebandSize = 0; // N * 4800 / rate
    int basebandHop = 0;
    int filterLength = 0;
    double binHz = 0.0;   // rate / N
};

// Empty when a recording at this rate can be channelised, else why not.
std::string CheckChannelRate(double sampleRate);
ChannelGeometry ChooseChannelGeometry(int sampleRate);

// The forward transforms and the filter, shared by all channels; thread-safe once made.
class ChannelBank {
public:
    explicit ChannelBank(int sampleRate);
    const ChannelGeometry& Geometry() const { return g_; }
    // Block b covers recording samples b*L - (N - L) .. b*L + L - 1; in holds those N samples.
    void Transform(const std::complex<float>* in, std::complex<float>* out) const { forward_.Run(in, out); }
    // The filter's response at a bin distance from the carrier's bin (any sign).
    float Response(int binsFromCarrier) const;
    int ResponseHalfWidth() const { return halfWidth_; }
    const FftPlan& AudioPlan() const { return audio_; }
    const FftPlan& BasebandPlan() const { return baseband_; }

private:
    ChannelGeometry g_;
    FftPlan forward_, audio_, baseband_;
    std::vector<float> response_;  // bins 0 .. halfWidth_ from the carrier (the filter is even)
    int halfWidth_ = 0;
};

// Per worker: the buffers one channel's block is made in.
struct ChannelScratch {
    explicit ChannelScratch(const ChannelGeometry& g);
    ComplexBuffer audioBins, basebandBins, baseband;
    RealBuffer audio;
};

// One carrier's channel. Audio comes out in full-scale units: a carrier of amplitude A in the
// recording is a tone of amplitude A at 1800 Hz.
class ChannelTap {
public:
    ChannelTap(const ChannelBank& bank, double carrierOffsetHz);
    // Where the carrier really lands in the audio (1800 Hz within half a bin).
    double CarrierAudioHz() const { return carrierAudioHz_; }
    // Its offset from 0 Hz in the baseband (within half a bin).
    double BasebandCarrierHz() const { return basebandCarrierHz_; }
    // From the spectrum of block b: audioHop audio samples and basebandHop baseband samples.
    void Render(const std::complex<float>* spectrum, int64_t block, ChannelScratch& scratch, float* audio,
                std::complex<float>* baseband) const;

private:
    const ChannelBank& bank_;
    int carrierBin_ = 0;  // in the forward transform, from 0 Hz (any sign)
    int toneBin_ = 0;     // the carrier's bin in the audio transform
    double carrierAudioHz_ = 0.0;
    double basebandCarrierHz_ = 0.0;
};

}  // namespace sorv
