// A recording fed into the document a slice at a time, so that the window can take a whole
// night's file without freezing: between slices it redraws, shows the growing row count in the
// title and lets the listener press Stop. The samples go through the same step as live capture.
// The rows keep the recording's start, so that identifications made in them are logged at the
// time the beacon was heard.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "audio/file/audio_file_reader.h"
#include "audio/file/recording_start.h"

namespace sorv {

class CSorvantelDoc;

class RecordingFeed {
public:
    explicit RecordingFeed(CSorvantelDoc& doc);

    // Opens the file and starts the engine on it as Start would. False, with a message naming
    // the file and the reason, when the file cannot be read; the document is left untouched.
    bool Begin(const std::string& path, const AudioImportOptions& options, std::string& message);

    // Feeds up to the given number of one-second blocks. False once the feed has ended: the
    // file is used up, the store is full, a read failed or processing was stopped.
    bool Feed(int seconds);

    bool Active() const { return active_; }
    double SecondsFed() const { return static_cast<double>(fed_) / 48000.0; }

    // Once the feed has ended: what the listener must be told, or empty when the whole file
    // was taken (or the listener stopped it).
    const std::string& Outcome() const { return outcome_; }
    // When the recording began and where that was read; empty when nothing could tell.
    const std::optional<RecordingStart>& Start() const { return start_; }

private:
    void End(std::string outcome);

    CSorvantelDoc& doc_;
    AudioFileReader reader_;
    std::vector<uint8_t> block_;
    std::string path_;
    std::optional<RecordingStart> start_;
    uint64_t fed_ = 0;
    bool active_ = false;
    std::string outcome_;
};

}  // namespace sorv
