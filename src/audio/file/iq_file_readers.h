// The readers behind OpenIqRecording: one for WAV and RF64 files (through libsndfile), one for
// raw interleaved files. Each fills in what its file says; the factory completes the centre
// and the start time and formats the messages.
#pragma once

#include <memory>
#include <string>

#include "audio/file/iq_recording.h"
#include "audio/file/riff_chunks.h"

namespace sorv {

class IqFileSource : public IqSource {
public:
    const IqStreamInfo& Info() const override { return info_; }
    const std::string& Error() const override { return error_; }
    IqStreamInfo& MutableInfo() { return info_; }

protected:
    void SetError(const std::string& e) {
        if (error_.empty()) error_ = e;
    }
    IqStreamInfo info_;
    std::string error_;
};

// A refusal: the step that failed ("reading the auxi chunk") and why.
struct IqOpenFailure {
    std::string step, reason;
};

// WAV or RF64 whose chunks have been walked. The centre is set when an auxi chunk gives it.
std::unique_ptr<IqFileSource> OpenIqWav(const std::string& path, const RiffLayout& layout, IqOpenFailure& failure);

// Raw samples at the given rate (already checked to be in range).
std::unique_ptr<IqFileSource> OpenIqRaw(const std::string& path, RawIqFormat format, double rateHz,
                                        IqOpenFailure& failure);

}  // namespace sorv
