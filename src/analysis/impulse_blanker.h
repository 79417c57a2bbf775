// Man-made clicks and static strokes blanked out of the detector's own copy of the audio.
//
// A stroke rings for a few milliseconds at some frequency with a bandwidth of a few hundred
// hertz, so it is not flat over the lines: dividing each row by its noise floor leaves the
// lines near its frequency raised, and twenty clicks a second spread that over every row (a
// row's window is 160 ms long). In the audio itself a stroke is short and stands far above the
// noise, so it is set to silence there, from the sample that crosses six times the noise's rms
// until the ringing has stayed under three times it for 2 ms. Gaussian noise crosses six
// times its rms about once in three hours of audio.
//
// A sound that keeps the blanking on for more than 12 ms is no click (a strong ident's
// key-down, a carrier): blanking stops until the audio has stayed under three times the noise's
// rms for 2 ms. The noise's rms
// is measured as the median magnitude of the samples of the last 4096 samples (85 ms), which a
// stroke barely moves.
#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>

namespace sorv {

class ImpulseBlanker {
public:
    void Reset();
    // Samples of 8-bit audio less 128 (-128 .. 127), blanked in place.
    void Run(float* samples, size_t count);
    uint64_t SamplesBlanked() const { return blanked_; }

private:
    void Count(float magnitude) {
        ++histogram_[std::min<size_t>(static_cast<size_t>(magnitude + 0.5f), histogram_.size() - 1)];
    }
    void Blank(float& sample);
    void Measure();

    std::array<uint32_t, 129> histogram_{};  // magnitudes of the samples since the last measure
    uint32_t counted_ = 0;
    float trigger_ = 1e30f;  // six times the noise's rms; none until it is measured
    float ringing_ = 1e30f;  // three times
    int hold_ = 0;           // samples still to blank
    int run_ = 0;            // samples blanked in this stroke
    bool steady_ = false;    // over the trigger for longer than a click: not blanking
    int quiet_ = 0;          // samples under the ringing level since, while steady
    uint64_t blanked_ = 0;
};

}  // namespace sorv
