// One carrier's channel of an I/Q recording as a stream of the engine's samples (unsigned
// 8-bit, 48000 a second): what the window feeds when the listener picks a carrier. The same
// channeliser as the survey's, for one channel on the calling thread.
#pragma once

#include <complex>
#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "audio/file/iq_source.h"
#include "survey/channeliser.h"

namespace sorv {

class ChannelSource {
public:
    // source: the recording from its start (its rate already checked); gain: counts per
    // full-scale unit of the channel's audio.
    ChannelSource(std::unique_ptr<IqSource> source, double carrierOffsetHz, double gain);

    // The next samples; fewer than count only at the recording's end or on a read error.
    size_t Read(uint8_t* out, size_t count);
    const std::string& Error() const { return source_->Error(); }
    double DurationSeconds() const;
    double CarrierAudioHz() const { return tap_.CarrierAudioHz(); }
    uint64_t ClippedSamples() const { return clipped_; }

private:
    bool NextBlock();

    std::unique_ptr<IqSource> source_;
    ChannelBank bank_;
    ChannelTap tap_;
    ChannelScratch scratch_;
    float gain_;
    std::vector<std::complex<float>> buffer_;
    ComplexBuffer in_, spectrum_;
    std::vector<float> audio_;
    std::vector<std::complex<float>> baseband_;
    std::vector<uint8_t> ready_;
    size_t readyAt_ = 0;
    int64_t block_ = 0;
    uint64_t read_ = 0;
    uint64_t delivered_ = 0;
    bool ended_ = false;
    uint64_t clipped_ = 0;
};

}  // namespace sorv
