// Device samples to unsigned 8-bit mono at 48000 per second: average the channels, scale to
// -1 .. 1, resample by linear interpolation, and store as 128 + 128 x, rounded and limited.
#include "audio/sample_conversion.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace sorv {

namespace {

constexpr double kEngineRate = 48000.0;

int32_t Little32(const uint8_t* p) {
    return static_cast<int32_t>(static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
                                (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24));
}

double SampleValue(SampleFormat f, const uint8_t* p) {
    switch (f) {
        case SampleFormat::UInt8:
            return (p[0] - 128) / 128.0;
        case SampleFormat::Int16:
            return static_cast<int16_t>(static_cast<uint16_t>(p[0] | (p[1] << 8))) / 32768.0;
        case SampleFormat::Int32:
            return Little32(p) / 2147483648.0;
        case SampleFormat::Float: {
            const uint32_t bits = static_cast<uint32_t>(Little32(p));
            float v;
            std::memcpy(&v, &bits, sizeof v);
            return std::isfinite(v) ? v : 0.0;
        }
    }
    return 0.0;
}

}  // namespace

int SampleBytes(SampleFormat f) {
    switch (f) {
        case SampleFormat::UInt8: return 1;
        case SampleFormat::Int16: return 2;
        case SampleFormat::Int32:
        case SampleFormat::Float: return 4;
    }
    return 1;
}

CaptureConverter::CaptureConverter(const DeviceFormat& format) : format_(format) {
    valid_ = format.channels >= 1 && format.channels <= 64 && format.rate > 0;
    if (!valid_) return;
    frameBytes_ = static_cast<size_t>(SampleBytes(format.sample)) * static_cast<size_t>(format.channels);
    step_ = format.rate / kEngineRate;
    partial_.reserve(frameBytes_);
}

double CaptureConverter::FrameValue(const uint8_t* frame) const {
    const size_t bytes = static_cast<size_t>(SampleBytes(format_.sample));
    double sum = 0.0;
    for (int c = 0; c < format_.channels; ++c) sum += SampleValue(format_.sample, frame + static_cast<size_t>(c) * bytes);
    return sum / format_.channels;
}

void CaptureConverter::Emit(double value, std::vector<uint8_t>& out) {
    const double v = std::clamp(std::round(128.0 + 128.0 * value), 0.0, 255.0);
    out.push_back(static_cast<uint8_t>(v));
}

void CaptureConverter::Convert(const uint8_t* bytes, size_t count, std::vector<uint8_t>& out) {
    if (!valid_) return;
    size_t i = 0;
    while (i < count) {
        const uint8_t* frame = bytes + i;
        if (!partial_.empty() || count - i < frameBytes_) {
            const size_t take = std::min(frameBytes_ - partial_.size(), count - i);
            partial_.insert(partial_.end(), bytes + i, bytes + i + take);
            i += take;
            if (partial_.size() < frameBytes_) break;
            frame = partial_.data();
        } else {
            i += frameBytes_;
        }
        const double x = FrameValue(frame);
        partial_.clear();
        if (!havePrevious_) {
            // The first frame is the first output sample.
            Emit(x, out);
            previous_ = x;
            havePrevious_ = true;
            next_ = step_;
            continue;
        }
        for (; next_ <= 1.0; next_ += step_) Emit(previous_ + (x - previous_) * next_, out);
        next_ -= 1.0;
        previous_ = x;
    }
}

}  // namespace sorv
