// A document on the fake platform driven the way the running program drives it: Start opens
// the fake capture device, the test completes buffers and delivers 250 ms ticks.
#pragma once

#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "engine/sorvantel_doc.h"
#include "support/fake_platform.h"

namespace sorv::test {

class LiveDoc {
public:
    FakePlatform platform;
    std::unique_ptr<CSorvantelDoc> doc;

    // Devices must be listed before the document builds its card table.
    CSorvantelDoc& Make(std::vector<std::string> devices = {"Line In"}) {
        platform.captureDevices = std::move(devices);
        doc = std::make_unique<CSorvantelDoc>(platform);
        return *doc;
    }
    void Tick() { doc->OnViewTimer(doc->m_nPollTimer); }
    // Completes the oldest queued capture buffer and delivers one tick.
    bool Second(const std::vector<uint8_t>& bytes) {
        if (!platform.lastWaveIn || !platform.lastWaveIn->FillNext(bytes)) return false;
        Tick();
        return true;
    }
    bool Second(uint8_t value) { return Second(std::vector<uint8_t>(kBufferBytes, value)); }
};

inline std::vector<uint8_t> ReadFileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline uint32_t Le32(const std::vector<uint8_t>& b, size_t at) {
    return static_cast<uint32_t>(b.at(at)) | (static_cast<uint32_t>(b.at(at + 1)) << 8) |
           (static_cast<uint32_t>(b.at(at + 2)) << 16) | (static_cast<uint32_t>(b.at(at + 3)) << 24);
}

inline uint16_t Le16(const std::vector<uint8_t>& b, size_t at) {
    return static_cast<uint16_t>(b.at(at) | (b.at(at + 1) << 8));
}

}  // namespace sorv::test
