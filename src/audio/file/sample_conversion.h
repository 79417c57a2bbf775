// From full-scale samples (-1..+1, as audio libraries deliver them) to the engine's unsigned
// 8-bit samples, and the level measurement behind the automatic gain.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace sorv {

// Full scale maps to full scale: -1.0 gives 0, 0 gives 128, and +1.0 would give 256, so it
// clips to 255. Values are rounded to the nearest count (halves away from zero) and clipped;
// an 8-bit source therefore comes back byte for byte. A gain (linear) scales first.
class U8Converter {
public:
    explicit U8Converter(double gain = 1.0) : scale_(128.0 * gain) {}
    uint8_t Convert(double x) {
        const double v = x * scale_;
        if (!(v > -128.5)) {  // also catches NaN
            ++clipped_;
            return 0;
        }
        if (v >= 127.5) {
            ++clipped_;
            return 255;
        }
        const double r = v < 0.0 ? -static_cast<double>(static_cast<int>(0.5 - v)) : static_cast<double>(static_cast<int>(v + 0.5));
        return static_cast<uint8_t>(static_cast<int>(r) + 128);
    }
    uint64_t Clipped() const { return clipped_; }

private:
    double scale_;
    uint64_t clipped_ = 0;
};

// The noise level of a recording: the median rms of its 100 ms blocks, so that idents keyed
// for a part of the time and short bursts hardly move it. Full-scale units.
class NoiseLevelMeter {
public:
    void Add(const double* x, size_t n);
    double Rms() const;  // 0 when nothing or only silence was measured
    double SecondsMeasured() const { return static_cast<double>(blocks_.size()) * 0.1; }

private:
    std::vector<double> blocks_;
    double sum2_ = 0.0;
    size_t inBlock_ = 0;
};

// The gain in dB that brings a noise rms (full scale) to about 16 counts of 8 bits.
constexpr double kAutoGainNoiseCounts = 16.0;
double AutoGainDb(double noiseRms);

}  // namespace sorv
