#include "survey/channel_source.h"

#include <algorithm>

#include "survey/channel_audio.h"

namespace sorv {

ChannelSource::ChannelSource(std::unique_ptr<IqSource> source, double carrierOffsetHz, double gain)
    : source_(std::move(source)), bank_(static_cast<int>(source_->Info().sampleRate)), tap_(bank_, carrierOffsetHz),
      scratch_(bank_.Geometry()), gain_(static_cast<float>(gain)) {
    const ChannelGeometry& g = bank_.Geometry();
    const int half = (g.filterLength - 1) / 2;
    // Before the recording's start, silence: the first block reaches back half a filter.
    buffer_.assign(static_cast<size_t>(half), std::complex<float>(0.0f, 0.0f));
    in_ = ComplexBuffer(static_cast<size_t>(g.blockSize));
    spectrum_ = ComplexBuffer(static_cast<size_t>(g.blockSize));
    audio_.resize(static_cast<size_t>(g.audioHop));
    baseband_.resize(static_cast<size_t>(g.basebandHop));
}

double ChannelSource::DurationSeconds() const {
    return static_cast<double>(source_->Info().totalSamples) / source_->Info().sampleRate;
}

bool ChannelSource::NextBlock() {
    const ChannelGeometry& g = bank_.Geometry();
    const size_t need = static_cast<size_t>(g.blockSize);
    while (!ended_ && buffer_.size() < need) {
        const size_t at = buffer_.size();
        buffer_.resize(need);
        const size_t n = source_->Read(buffer_.data() + at, need - at);
        read_ += n;
        if (n < need - at) {
            ended_ = true;
            std::fill(buffer_.begin() + static_cast<long>(at + n), buffer_.end(), std::complex<float>(0.0f, 0.0f));
        }
    }
    // A block's new samples must hold some of the recording.
    if (static_cast<uint64_t>(block_) * static_cast<uint64_t>(g.hop) >= read_) return false;
    std::copy(buffer_.begin(), buffer_.begin() + g.blockSize, in_.data());
    bank_.Transform(in_.data(), spectrum_.data());
    tap_.Render(spectrum_.data(), block_, scratch_, audio_.data(), baseband_.data());
    ++block_;
    buffer_.erase(buffer_.begin(), buffer_.begin() + g.hop);
    // Only the recording's own length: the last block's tail is silence.
    const uint64_t total = read_ * 48000 / static_cast<uint64_t>(g.sampleRate);
    const uint64_t room = total > delivered_ ? total - delivered_ : 0;
    const size_t count = static_cast<size_t>(std::min<uint64_t>(audio_.size(), room));
    ready_.resize(count);
    readyAt_ = 0;
    clipped_ += ToEngineSamples(audio_.data(), count, gain_, ready_.data());
    return count > 0;
}

size_t ChannelSource::Read(uint8_t* out, size_t count) {
    size_t done = 0;
    while (done < count) {
        if (readyAt_ >= ready_.size() && !NextBlock()) break;
        const size_t n = std::min(count - done, ready_.size() - readyAt_);
        std::copy(ready_.begin() + static_cast<long>(readyAt_), ready_.begin() + static_cast<long>(readyAt_ + n), out + done);
        readyAt_ += n;
        done += n;
        delivered_ += n;
    }
    return done;
}

}  // namespace sorv
