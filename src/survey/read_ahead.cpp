#include "survey/read_ahead.h"

#include <algorithm>

namespace sorv {

ReadAheadSource::ReadAheadSource(IqSource& source, size_t blockSamples)
    : source_(source), info_(source.Info()), blocks_(kBlocks) {
    for (Block& b : blocks_) b.samples.resize(std::max<size_t>(1, blockSamples));
    reader_ = std::thread([this] { ReadLoop(); });
}

ReadAheadSource::~ReadAheadSource() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stop_ = true;
    }
    changed_.notify_all();
    reader_.join();
}

void ReadAheadSource::ReadLoop() {
    for (size_t next = 0;; next = (next + 1) % kBlocks) {
        {
            std::unique_lock<std::mutex> lock(mutex_);
            changed_.wait(lock, [&] { return stop_ || ready_ < kBlocks; });
            if (stop_) return;
        }
        // The block is the reader's alone until it is counted as ready.
        Block& b = blocks_[next];
        b.filled = source_.Read(b.samples.data(), b.samples.size());
        b.last = b.filled < b.samples.size();
        {
            std::lock_guard<std::mutex> lock(mutex_);
            if (b.last) sourceError_ = source_.Error();
            ++ready_;
        }
        changed_.notify_all();
        if (b.last) return;
    }
}

size_t ReadAheadSource::Read(std::complex<float>* out, size_t count) {
    size_t done = 0;
    while (done < count && !ended_) {
        {
            std::unique_lock<std::mutex> lock(mutex_);
            changed_.wait(lock, [&] { return ready_ > 0; });
        }
        // The block is the consumer's alone until it is handed back.
        Block& b = blocks_[consumed_];
        const size_t take = std::min(count - done, b.filled - offset_);
        std::copy(b.samples.begin() + static_cast<long>(offset_), b.samples.begin() + static_cast<long>(offset_ + take),
                  out + done);
        done += take;
        offset_ += take;
        if (offset_ < b.filled) continue;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            if (b.last) {
                ended_ = true;
                error_ = sourceError_;
                break;
            }
            consumed_ = (consumed_ + 1) % kBlocks;
            offset_ = 0;
            --ready_;
        }
        changed_.notify_all();  // the reader may be waiting for this block
    }
    return done;
}

}  // namespace sorv
