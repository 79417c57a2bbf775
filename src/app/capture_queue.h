// The queue of one-second buffers that a capture device fills, in the order they were queued,
// as the platform's capture devices (Qt's sources and the sound server's monitors) share it.
#pragma once

#include <algorithm>
#include <cstring>
#include <deque>

#include "engine/platform_services.h"

namespace sorv {

class CaptureQueue {
public:
    static int Prepare(WaveHeader& h) {
        h.flags |= WaveHeader::kPrepared;
        return MM_NOERROR;
    }
    // A buffer still queued cannot be unprepared, as with the original wave devices.
    static int Unprepare(WaveHeader& h) {
        if (h.flags & WaveHeader::kQueued) return MM_STILLPLAYING;
        h.flags &= ~WaveHeader::kPrepared;
        return MM_NOERROR;
    }
    int Add(WaveHeader& h) {
        if (!(h.flags & WaveHeader::kPrepared)) return MM_UNPREPARED;
        h.flags = (h.flags & ~WaveHeader::kDone) | WaveHeader::kQueued;
        h.bytesRecorded = 0;
        queue_.push_back(&h);
        return MM_NOERROR;
    }
    // Fills the queued buffers in order; audio with no buffer to take it is lost, as it is when
    // the program falls more than the queued seconds behind.
    void Deliver(const uint8_t* p, size_t n) {
        while (n > 0 && !queue_.empty()) {
            WaveHeader& h = *queue_.front();
            const size_t take = std::min<size_t>(n, h.length - h.bytesRecorded);
            std::memcpy(h.data + h.bytesRecorded, p, take);
            h.bytesRecorded += static_cast<uint32_t>(take);
            p += take;
            n -= take;
            if (h.bytesRecorded == h.length) {
                MarkDone(h);
                queue_.pop_front();
            }
        }
    }
    // Every queued buffer comes back done, a partly used one with what it holds.
    void ReturnAll() {
        for (WaveHeader* h : queue_) MarkDone(*h);
        queue_.clear();
    }

private:
    static void MarkDone(WaveHeader& h) { h.flags = (h.flags | WaveHeader::kDone) & ~WaveHeader::kQueued; }
    std::deque<WaveHeader*> queue_;
};

}  // namespace sorv
