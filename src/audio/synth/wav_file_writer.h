// Writes unsigned 8-bit mono 48 kHz PCM as a RIFF/WAVE file, the format the program records
// and captures in. The header is completed when the file is closed.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

namespace sorv {

class WavFileWriter {
public:
    WavFileWriter() = default;
    ~WavFileWriter();
    WavFileWriter(const WavFileWriter&) = delete;
    WavFileWriter& operator=(const WavFileWriter&) = delete;

    // Creates or replaces the file; false with the reason in error.
    bool Open(const std::string& path, std::string& error);
    bool Write(const uint8_t* samples, size_t count, std::string& error);
    // Completes the header and closes; false (and the reason) when anything failed on the way.
    bool Close(std::string& error);

private:
    std::FILE* file_ = nullptr;
    std::string path_;
    uint64_t dataBytes_ = 0;
};

// The 44-byte header of an 8-bit mono 48000 Hz PCM file holding dataBytes of samples.
void FormatWavHeader8(uint32_t dataBytes, uint8_t header[44]);

}  // namespace sorv
