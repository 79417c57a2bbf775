// The five bandwidth choices of the spectral range dialog, widest first, and the limits on the
// band edges they give around a centre frequency.
#pragma once

#include <cstdint>

namespace sorv {

struct BandChoice {
    int halfWidth;
    int rowsPerFrame;
};

// The two narrowest keep whole-hertz half-widths, so they are 376 and 188 Hz wide.
inline constexpr BandChoice kBandChoices[5] = {{1500, 1}, {750, 2}, {375, 4}, {188, 8}, {94, 16}};

// No receiver's audio reaches further than this from zero beat; edges beyond it are typing
// errors, and far beyond it the band arithmetic would leave the integer range.
inline constexpr int kMaxBandEdgeHz = 10'000'000;

// Whether the band of this centre and choice (0..4) keeps both edges within +-10 MHz.
inline bool BandEdgesWithinLimits(int centreHz, int choice) {
    if (choice < 0 || choice >= 5) return true;  // no choice changes no band
    const int64_t half = kBandChoices[choice].halfWidth;
    return static_cast<int64_t>(centreHz) - half >= -kMaxBandEdgeHz &&
           static_cast<int64_t>(centreHz) + half <= kMaxBandEdgeHz;
}

}  // namespace sorv
