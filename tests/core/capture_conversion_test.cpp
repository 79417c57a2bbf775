#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "audio/sample_conversion.h"

namespace sorv {
namespace {

// Interleaved little-endian frames of a tone in the given format.
std::vector<uint8_t> ToneBytes(const DeviceFormat& f, double hz, double amplitude, int frames) {
    std::vector<uint8_t> out;
    for (int i = 0; i < frames; ++i) {
        const double v = amplitude * std::sin(2 * M_PI * hz * i / f.rate);
        for (int c = 0; c < f.channels; ++c) {
            // With an even channel count the channels differ but average to v.
            const double cv = f.channels % 2 == 0 ? v + (c % 2 ? -0.2 : 0.2) : v;
            switch (f.sample) {
                case SampleFormat::UInt8: out.push_back(static_cast<uint8_t>(std::lround(128 + 127 * cv))); break;
                case SampleFormat::Int16: {
                    const auto s = static_cast<int16_t>(std::lround(32767 * cv));
                    out.push_back(static_cast<uint8_t>(s & 0xFF));
                    out.push_back(static_cast<uint8_t>((s >> 8) & 0xFF));
                    break;
                }
                case SampleFormat::Int32:
                case SampleFormat::Float: {
                    uint32_t bits;
                    if (f.sample == SampleFormat::Float) {
                        const float fv = static_cast<float>(cv);
                        std::memcpy(&bits, &fv, 4);
                    } else {
                        bits = static_cast<uint32_t>(static_cast<int32_t>(std::lround(2147483647.0 * cv)));
                    }
                    for (int b = 0; b < 4; ++b) out.push_back(static_cast<uint8_t>(bits >> (8 * b)));
                    break;
                }
            }
        }
    }
    return out;
}

double CrossingHz(const std::vector<uint8_t>& s) {
    size_t first = 0, last = 0, n = 0;
    for (size_t i = 1; i < s.size(); ++i)
        if (s[i - 1] < 128 && s[i] >= 128) {
            if (n++ == 0) first = i;
            last = i;
        }
    return n < 2 ? 0.0 : (n - 1) * 48000.0 / static_cast<double>(last - first);
}

TEST(CaptureConversion, EngineFormatPassesThroughUnchanged) {
    CaptureConverter c({SampleFormat::UInt8, 1, 48000});
    std::vector<uint8_t> in(1000), out;
    for (size_t i = 0; i < in.size(); ++i) in[i] = static_cast<uint8_t>(i * 7);
    c.Convert(in.data(), in.size(), out);
    EXPECT_EQ(out, in);
}

TEST(CaptureConversion, EveryFormatRateAndChannelCountGivesTheSameToneAt48k) {
    const DeviceFormat formats[] = {
        {SampleFormat::Int16, 2, 48000}, {SampleFormat::Float, 2, 44100}, {SampleFormat::Int32, 1, 96000},
        {SampleFormat::Int16, 1, 22050}, {SampleFormat::UInt8, 6, 8000},
    };
    for (const DeviceFormat& f : formats) {
        const double expectedHz = f.rate == 8000 ? 500.0 : 1500.0;
        const auto in = ToneBytes(f, expectedHz, 0.4, f.rate);  // one second
        CaptureConverter c(f);
        std::vector<uint8_t> out;
        // Delivered in odd-sized pieces, so frames are split between reads.
        for (size_t at = 0; at < in.size(); at += 1001) c.Convert(in.data() + at, std::min<size_t>(1001, in.size() - at), out);
        // Interpolation waits for the frame after each output: up to one source frame is pending.
        EXPECT_NEAR(static_cast<double>(out.size()), 48000.0, 48000.0 / f.rate + 1) << f.rate;
        EXPECT_NEAR(CrossingHz(out), expectedHz, 0.5) << f.rate << " Hz, " << f.channels << " channels";
        const auto [lo, hi] = std::minmax_element(out.begin(), out.end());
        EXPECT_NEAR(*hi - 128, 0.4 * 128, 4) << f.rate;
        EXPECT_NEAR(128 - *lo, 0.4 * 128, 4) << f.rate;
    }
}

TEST(CaptureConversion, FullScaleAndNonFiniteSamplesStayInsideTheByteRange) {
    CaptureConverter c({SampleFormat::Float, 1, 48000});
    const float values[] = {1.0f, -1.0f, 2.5f, -7.0f, NAN, INFINITY};
    std::vector<uint8_t> in(sizeof values);
    std::memcpy(in.data(), values, sizeof values);
    std::vector<uint8_t> out;
    c.Convert(in.data(), in.size(), out);
    EXPECT_EQ(out, (std::vector<uint8_t>{255, 0, 255, 0, 128, 128}));
}

TEST(CaptureConversion, AFormatWithoutChannelsOrRateIsRefused) {
    EXPECT_FALSE(CaptureConverter({SampleFormat::Int16, 0, 48000}).IsValid());
    EXPECT_FALSE(CaptureConverter({SampleFormat::Int16, 2, 0}).IsValid());
    EXPECT_TRUE(CaptureConverter({SampleFormat::Int16, 2, 44100}).IsValid());
}

}  // namespace
}  // namespace sorv
