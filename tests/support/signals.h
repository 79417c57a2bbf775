// Synthetic receiver audio for tests: tones, keyed Morse idents and white noise, as unsigned
// 8-bit samples at 48000 per second, reproducible from a seed.
#pragma once

#include <cmath>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "engine/sorvantel_doc.h"

namespace sorv::test {

inline std::vector<uint8_t> Tone(double hz, double amplitude, size_t samples, double phase = 0.0) {
    std::vector<uint8_t> out(samples);
    for (size_t i = 0; i < samples; ++i) {
        double v = 128.0 + amplitude * std::cos(2 * M_PI * hz * static_cast<double>(i) / 48000.0 + phase);
        long r = std::lround(v);
        out[i] = static_cast<uint8_t>(r < 0 ? 0 : r > 255 ? 255 : r);
    }
    return out;
}

// Feeds bytes one by one through the producer, as the capture handler would.
inline void Feed(CSorvantelDoc& doc, const std::vector<uint8_t>& bytes) {
    for (uint8_t b : bytes) doc.ProcessSample(b);
}

// Puts a fresh document into the state that Start leaves, without a capture device.
inline void PrepareProducer(CSorvantelDoc& doc) {
    doc.BuildFftTables();
    doc.m_dPhase = 0;
    doc.m_nRingPos = 0;
    doc.m_nDecimCount = 0;
    doc.m_nRawPos = 0;
    doc.m_nRows = 0;
    doc.m_bProcessing = 1;
}

}  // namespace sorv::test
