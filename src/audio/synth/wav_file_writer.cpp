#include "audio/synth/wav_file_writer.h"

#include <cerrno>
#include <cstring>

namespace sorv {

namespace {

constexpr uint64_t kMaxDataBytes = 0xFFFFFFFFull - 36;  // the RIFF size field is 32-bit

void Put32(uint8_t* p, uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}

void Put16(uint8_t* p, uint16_t v) {
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
}

std::string SystemReason() { return std::strerror(errno); }

}  // namespace

void FormatWavHeader(const WavFormat& f, uint32_t dataBytes, uint8_t h[44]) {
    const uint16_t frameBytes = static_cast<uint16_t>(f.channels * (f.bits / 8));
    std::memcpy(h, "RIFF", 4);
    Put32(h + 4, 36 + dataBytes);
    std::memcpy(h + 8, "WAVEfmt ", 8);
    Put32(h + 16, 16);  // format chunk size
    Put16(h + 20, 1);   // PCM
    Put16(h + 22, f.channels);
    Put32(h + 24, f.rate);
    Put32(h + 28, f.rate * frameBytes);  // bytes per second
    Put16(h + 32, frameBytes);           // block alignment
    Put16(h + 34, f.bits);
    std::memcpy(h + 36, "data", 4);
    Put32(h + 40, dataBytes);
}

void FormatWavHeader8(uint32_t dataBytes, uint8_t h[44]) { FormatWavHeader(WavFormat{}, dataBytes, h); }

WavFileWriter::~WavFileWriter() {
    if (file_) std::fclose(file_);
}

bool WavFileWriter::Open(const std::string& path, const WavFormat& format, std::string& error) {
    path_ = path;
    format_ = format;
    dataBytes_ = 0;
    file_ = std::fopen(path.c_str(), "wb");
    if (!file_) {
        error = "cannot create " + path + ": " + SystemReason();
        return false;
    }
    uint8_t header[44];
    FormatWavHeader(format_, 0, header);
    if (std::fwrite(header, 1, sizeof header, file_) != sizeof header) {
        error = "cannot write " + path + ": " + SystemReason();
        return false;
    }
    return true;
}

bool WavFileWriter::Write(const uint8_t* samples, size_t count, std::string& error) {
    if (format_.bits != 8) {
        error = "8-bit samples for a 16-bit file";
        return false;
    }
    return WriteBytes(samples, count, error);
}

bool WavFileWriter::WriteEveryChannel(const int16_t* samples, size_t count, std::string& error) {
    if (format_.bits != 16) {
        error = "16-bit samples for an 8-bit file";
        return false;
    }
    frames_.resize(count * format_.channels * 2);
    uint8_t* p = frames_.data();
    for (size_t i = 0; i < count; ++i)
        for (uint16_t c = 0; c < format_.channels; ++c, p += 2) Put16(p, static_cast<uint16_t>(samples[i]));
    return WriteBytes(frames_.data(), frames_.size(), error);
}

bool WavFileWriter::WriteBytes(const uint8_t* samples, size_t count, std::string& error) {
    if (!file_) {
        error = "no open file";
        return false;
    }
    if (dataBytes_ + count > kMaxDataBytes) {
        error = "a WAV file cannot hold more than 4 GiB of samples";
        return false;
    }
    if (std::fwrite(samples, 1, count, file_) != count) {
        error = "cannot write " + path_ + ": " + SystemReason();
        return false;
    }
    dataBytes_ += count;
    return true;
}

bool WavFileWriter::Close(std::string& error) {
    if (!file_) return false;
    uint8_t header[44];
    FormatWavHeader(format_, static_cast<uint32_t>(dataBytes_), header);
    bool ok = std::fflush(file_) == 0 && std::fseek(file_, 0, SEEK_SET) == 0 &&
              std::fwrite(header, 1, sizeof header, file_) == sizeof header;
    if (!ok) error = "cannot write " + path_ + ": " + SystemReason();
    if (std::fclose(file_) != 0 && ok) {
        error = "cannot write " + path_ + ": " + SystemReason();
        ok = false;
    }
    file_ = nullptr;
    return ok;
}

}  // namespace sorv
