// Reads a recording in any format libsndfile knows (WAV, FLAC, AIFF, Ogg, ...; integer or float
// samples; any channel count) and delivers it as the engine wants it: mono, 48000 samples per
// second, unsigned 8-bit. One channel is taken, or all are mixed; other rates are resampled
// with libsoxr at high quality; a gain in dB, or an automatic one that brings the noise to about
// 16 counts rms, scales the samples before they are rounded and clipped to 8 bits.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace sorv {

struct AudioImportOptions {
    int channel = 1;       // 1 is the first channel
    bool mix = false;      // average all channels instead
    bool autoGain = false;
    double gainDb = 0.0;   // used when autoGain is off
};

class AudioFileReader {
public:
    AudioFileReader();
    ~AudioFileReader();
    AudioFileReader(const AudioFileReader&) = delete;
    AudioFileReader& operator=(const AudioFileReader&) = delete;

    // Opens the file and, for the automatic gain, measures its noise. False with a reason
    // that a listener can act on ("not an audio file libsndfile knows: ...").
    bool Open(const std::string& path, const AudioImportOptions& options, std::string& error);

    // The next unsigned 8-bit 48 kHz samples; fewer than count only at the end or on a read
    // error (see Error()).
    size_t Read(uint8_t* out, size_t count);

    // A read error, or a file that ended before its header said it would; empty otherwise.
    // The samples before the fault were delivered.
    const std::string& Error() const { return error_; }
    // The length the header announces, in seconds of audio.
    double DurationSeconds() const;
    // "WAV, Signed 16 bit PCM, 2 channels, 44100 Hz"
    std::string Description() const;
    double GainDb() const { return gainDb_; }
    uint64_t ClippedSamples() const;
    uint64_t SamplesDelivered() const { return delivered_; }

    class Source;

private:
    std::unique_ptr<Source> source_;
    std::vector<double> buffer_;
    double gainDb_ = 0.0;
    double gain_ = 1.0;
    uint64_t clipped_ = 0;
    uint64_t delivered_ = 0;
    std::string error_;
};

}  // namespace sorv
