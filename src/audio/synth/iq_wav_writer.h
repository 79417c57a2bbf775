// Writes an I/Q recording as SDR programs do: a two-channel WAV (I first, Q second) of 16-bit
// integer or 32-bit float samples with an `auxi` chunk holding the start and stop time (UTC)
// and the centre frequency; RF64 with its ds64 chunk once the samples pass what the 32-bit
// sizes of WAV can count. The header is written at the start with the announced length and
// completed with the real one when the file is closed.
#pragma once

#include <complex>
#include <cstdint>
#include <cstdio>
#include <string>

namespace sorv {

enum class IqSampleFormat { S16, F32 };

struct IqWavSpec {
    double sampleRate = 192000.0;
    IqSampleFormat format = IqSampleFormat::S16;
    uint64_t frames = 0;    // the length announced until the file is closed
    double centreHz = 0.0;
    int64_t startUtc = 0;   // seconds since 1970 of the first sample
    bool forceRf64 = false; // RF64 whatever the length (the tests' small RF64 files)
};

class IqWavWriter {
public:
    IqWavWriter() = default;
    ~IqWavWriter();
    IqWavWriter(const IqWavWriter&) = delete;
    IqWavWriter& operator=(const IqWavWriter&) = delete;

    // Creates or replaces the file; false with the reason (naming the file) in error.
    bool Open(const std::string& path, const IqWavSpec& spec, std::string& error);
    // Samples of full scale 1.0; 16-bit samples are rounded and clipped.
    bool Write(const std::complex<float>* samples, size_t count, std::string& error);
    // Completes the header and closes; false (and the reason) when anything failed on the way.
    bool Close(std::string& error);

    bool Rf64() const { return rf64_; }
    uint64_t ClippedSamples() const { return clipped_; }

private:
    bool WriteHeader(uint64_t frames, std::string& error);

    std::FILE* file_ = nullptr;
    std::string path_;
    IqWavSpec spec_;
    bool rf64_ = false;
    uint64_t frames_ = 0;
    uint64_t clipped_ = 0;
    std::string buffer_;
};

}  // namespace sorv
