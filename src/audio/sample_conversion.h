// Conversion of whatever a sound device delivers into what the engine always sees: unsigned
// 8-bit mono samples at 48000 per second. Used by the platform layer when a device refuses
// that format; plain C++ so it can be tested without a sound server.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace sorv {

enum class SampleFormat { UInt8, Int16, Int32, Float };

struct DeviceFormat {
    SampleFormat sample = SampleFormat::UInt8;
    int channels = 1;
    int rate = 48000;
};

// Size of one sample of the format in bytes.
int SampleBytes(SampleFormat f);

class CaptureConverter {
public:
    explicit CaptureConverter(const DeviceFormat& format);
    // False for formats that cannot be converted (no channels, a rate of 0 or below).
    bool IsValid() const { return valid_; }
    // Appends the converted samples of these bytes (little-endian, interleaved) to out. A frame
    // split between two calls is kept until the rest arrives. Channels are averaged; other rates
    // are resampled by linear interpolation.
    void Convert(const uint8_t* bytes, size_t count, std::vector<uint8_t>& out);

private:
    double FrameValue(const uint8_t* frame) const;  // mono value in -1 .. 1
    void Emit(double value, std::vector<uint8_t>& out);

    DeviceFormat format_;
    bool valid_ = false;
    size_t frameBytes_ = 0;
    double step_ = 1.0;   // source frames per output sample
    double next_ = 0.0;   // position of the next output sample after the previous frame
    double previous_ = 0.0;
    bool havePrevious_ = false;
    std::vector<uint8_t> partial_;  // bytes of an unfinished frame
};

}  // namespace sorv
