// Writes PCM as a RIFF/WAVE file: unsigned 8-bit mono 48 kHz, the format the program records
// and captures in, or signed 16-bit at any rate and channel count, as other programs write.
// The header is completed when the file is closed.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace sorv {

struct WavFormat {
    uint16_t channels = 1;
    uint32_t rate = 48000;
    uint16_t bits = 8;  // 8 (unsigned) or 16 (signed, little-endian)
};

class WavFileWriter {
public:
    WavFileWriter() = default;
    ~WavFileWriter();
    WavFileWriter(const WavFileWriter&) = delete;
    WavFileWriter& operator=(const WavFileWriter&) = delete;

    // Creates or replaces the file; false with the reason in error.
    bool Open(const std::string& path, std::string& error) { return Open(path, WavFormat{}, error); }
    bool Open(const std::string& path, const WavFormat& format, std::string& error);
    // 8-bit samples, one per channel per frame (interleaved).
    bool Write(const uint8_t* samples, size_t count, std::string& error);
    // 16-bit: each sample goes to every channel of its frame.
    bool WriteEveryChannel(const int16_t* samples, size_t count, std::string& error);
    // Completes the header and closes; false (and the reason) when anything failed on the way.
    bool Close(std::string& error);

private:
    bool WriteBytes(const uint8_t* bytes, size_t count, std::string& error);

    std::FILE* file_ = nullptr;
    WavFormat format_;
    std::vector<uint8_t> frames_;
    std::string path_;
    uint64_t dataBytes_ = 0;
};

// The 44-byte header of a PCM file holding dataBytes of samples.
void FormatWavHeader(const WavFormat& format, uint32_t dataBytes, uint8_t header[44]);
// The same for 8-bit mono 48000 Hz.
void FormatWavHeader8(uint32_t dataBytes, uint8_t header[44]);

}  // namespace sorv
