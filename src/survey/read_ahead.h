// A recording read ahead on a thread of its own. The survey's workers transform and analyse one
// chunk of the recording while the next is being read and converted, so that neither the file
// nor its conversion to complex samples stands between two chunks with the workers idle.
#pragma once

#include <complex>
#include <condition_variable>
#include <cstddef>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "audio/file/iq_source.h"

namespace sorv {

class ReadAheadSource : public IqSource {
public:
    // Reads `source` in blocks of blockSamples, at most kBlocks of them ahead of the consumer.
    // The source is read on the reader thread only, from here until this object is destroyed.
    ReadAheadSource(IqSource& source, size_t blockSamples);
    ~ReadAheadSource() override;
    ReadAheadSource(const ReadAheadSource&) = delete;
    ReadAheadSource& operator=(const ReadAheadSource&) = delete;

    const IqStreamInfo& Info() const override { return info_; }
    size_t Read(std::complex<float>* out, size_t count) override;
    // The source's error, once a Read has come up short.
    const std::string& Error() const override { return error_; }

private:
    static constexpr size_t kBlocks = 3;
    struct Block {
        std::vector<std::complex<float>> samples;
        size_t filled = 0;
        bool last = false;  // the source delivered no more after this block
    };
    void ReadLoop();

    IqSource& source_;
    const IqStreamInfo info_;
    std::vector<Block> blocks_;
    std::mutex mutex_;
    std::condition_variable changed_;
    size_t ready_ = 0;    // blocks filled and not yet consumed, from consumed_ on
    size_t consumed_ = 0; // the block the consumer reads from (mod kBlocks)
    size_t offset_ = 0;   // how far into it
    bool ended_ = false;  // the consumer has taken the last block's samples
    bool stop_ = false;
    std::string sourceError_;  // the reader's copy, handed over with the last block
    std::string error_;
    std::thread reader_;
};

}  // namespace sorv
