#include "audio/synth/iq_wav_writer.h"

#include <cerrno>
#include <cmath>
#include <algorithm>
#include <cstring>
#include <vector>

namespace sorv {

namespace {

constexpr uint64_t kRiffLimit = 0xFFFFFFFFull;
constexpr uint32_t kAuxiBytes = 68;  // two SYSTEMTIMEs and nine 32-bit fields

class Bytes {
public:
    void Tag(const char* t) { b_.insert(b_.end(), t, t + 4); }
    void U16(uint32_t v) {
        for (int i = 0; i < 2; ++i) b_.push_back(static_cast<uint8_t>(v >> (8 * i)));
    }
    void U32(uint64_t v) {
        for (int i = 0; i < 4; ++i) b_.push_back(static_cast<uint8_t>(v >> (8 * i)));
    }
    void U64(uint64_t v) {
        U32(v & 0xFFFFFFFFu);
        U32(v >> 32);
    }
    const std::vector<uint8_t>& Data() const { return b_; }

private:
    std::vector<uint8_t> b_;
};

// A SYSTEMTIME of a UTC second: year, month, day of week (Sunday 0), day, hour, minute,
// second, millisecond.
void SystemTime(Bytes& b, int64_t utc) {
    const int64_t days = (utc >= 0 ? utc : utc - 86399) / 86400;
    const int64_t secs = utc - days * 86400;
    // Civil date of a day count from 1970-01-01 (proleptic Gregorian, 400-year eras).
    const int64_t z = days + 719468;
    const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const int64_t doe = z - era * 146097;
    const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const int64_t mp = (5 * doy + 2) / 153;
    const int64_t day = doy - (153 * mp + 2) / 5 + 1;
    const int64_t month = mp < 10 ? mp + 3 : mp - 9;
    const int64_t year = yoe + era * 400 + (month <= 2 ? 1 : 0);
    const int64_t weekday = ((days % 7) + 7 + 4) % 7;  // 1970-01-01 was a Thursday
    for (int64_t v : {year, month, weekday, day, secs / 3600, secs / 60 % 60, secs % 60, int64_t{0}})
        b.U16(static_cast<uint32_t>(v));
}

uint32_t BytesPerFrame(IqSampleFormat f) { return f == IqSampleFormat::S16 ? 4 : 8; }

}  // namespace

IqWavWriter::~IqWavWriter() {
    if (file_) std::fclose(file_);
}

bool IqWavWriter::WriteHeader(uint64_t frames, std::string& error) {
    const bool flt = spec_.format == IqSampleFormat::F32;
    const uint32_t frameBytes = BytesPerFrame(spec_.format);
    const uint64_t dataBytes = frames * frameBytes;
    const uint32_t fmtBytes = flt ? 18 : 16;
    const bool fact = flt && !rf64_;
    const uint64_t headerBytes = 12 + (rf64_ ? 36 : 0) + 8 + fmtBytes + (fact ? 12 : 0) + 8 + kAuxiBytes + 8;
    const uint64_t riffSize = headerBytes + dataBytes - 8;

    Bytes h;
    h.Tag(rf64_ ? "RF64" : "RIFF");
    h.U32(rf64_ ? kRiffLimit : riffSize);
    h.Tag("WAVE");
    if (rf64_) {
        h.Tag("ds64");
        h.U32(28);
        h.U64(riffSize);
        h.U64(dataBytes);
        h.U64(frames);
        h.U32(0);  // no table of other chunk sizes
    }
    h.Tag("fmt ");
    h.U32(fmtBytes);
    h.U16(flt ? 3 : 1);
    h.U16(2);
    const uint32_t rate = static_cast<uint32_t>(std::llround(spec_.sampleRate));
    h.U32(rate);
    h.U32(static_cast<uint64_t>(rate) * frameBytes);
    h.U16(frameBytes);
    h.U16(flt ? 32 : 16);
    if (flt) h.U16(0);
    if (fact) {
        h.Tag("fact");
        h.U32(4);
        h.U32(frames > kRiffLimit ? kRiffLimit : frames);
    }
    h.Tag("auxi");
    h.U32(kAuxiBytes);
    SystemTime(h, spec_.startUtc);
    SystemTime(h, spec_.startUtc + static_cast<int64_t>(std::floor(static_cast<double>(frames) / spec_.sampleRate)));
    h.U32(static_cast<uint64_t>(std::llround(spec_.centreHz)));
    h.U32(rate);  // the converter's rate: as recorded, nothing decimated
    for (int i = 0; i < 7; ++i) h.U32(0);  // IF, bandwidth, I/Q offset and four unused fields
    h.Tag("data");
    h.U32(rf64_ ? kRiffLimit : dataBytes);

    const std::vector<uint8_t>& bytes = h.Data();
    if (std::fseek(file_, 0, SEEK_SET) != 0 || std::fwrite(bytes.data(), 1, bytes.size(), file_) != bytes.size()) {
        error = "cannot write " + path_ + ": " + std::strerror(errno);
        return false;
    }
    return true;
}

bool IqWavWriter::Open(const std::string& path, const IqWavSpec& spec, std::string& error) {
    path_ = path;
    spec_ = spec;
    frames_ = 0;
    clipped_ = 0;
    // 200 bytes is more than either header; beyond the 32-bit sizes only RF64 can count.
    rf64_ = spec.forceRf64 || spec.frames * BytesPerFrame(spec.format) + 200 > kRiffLimit;
    file_ = std::fopen(path.c_str(), "wb");
    if (!file_) {
        error = "cannot create " + path + ": " + std::strerror(errno);
        return false;
    }
    return WriteHeader(spec.frames, error) && std::fseek(file_, 0, SEEK_END) == 0;
}

bool IqWavWriter::Write(const std::complex<float>* samples, size_t count, std::string& error) {
    if (!file_) {
        error = "no open file";
        return false;
    }
    if (!rf64_ && (frames_ + count) * BytesPerFrame(spec_.format) + 200 > kRiffLimit) {
        error = "a WAV file cannot hold more than 4 GiB of samples";
        return false;
    }
    buffer_.resize(count * BytesPerFrame(spec_.format));
    char* p = buffer_.data();
    if (spec_.format == IqSampleFormat::F32) {
        std::memcpy(p, samples, count * 8);  // float pairs, little-endian as the machine is
    } else {
        // Rounded half away from zero and clipped without a branch or a library call, so that
        // the loop runs as vector code; a NaN becomes silence.
        const float* v = reinterpret_cast<const float*>(samples);
        uint64_t clipped = 0;
        for (size_t i = 0; i < 2 * count; ++i) {
            float x = v[i] * 32768.0f;
            x = x == x ? x : 0.0f;
            clipped += (x >= 32767.5f) | (x < -32768.5f);
            x = std::min(std::max(x, -32768.0f), 32767.0f);
            const int32_t q = static_cast<int32_t>(x + (x >= 0.0f ? 0.5f : -0.5f));
            const uint16_t u = static_cast<uint16_t>(q);
            p[2 * i] = static_cast<char>(u & 0xFF);
            p[2 * i + 1] = static_cast<char>(u >> 8);
        }
        clipped_ += clipped;
    }
    if (std::fwrite(buffer_.data(), 1, buffer_.size(), file_) != buffer_.size()) {
        error = "cannot write " + path_ + ": " + std::strerror(errno);
        return false;
    }
    frames_ += count;
    return true;
}

bool IqWavWriter::Close(std::string& error) {
    if (!file_) return false;
    bool ok = std::fflush(file_) == 0;
    if (!ok) error = "cannot write " + path_ + ": " + std::strerror(errno);
    if (ok) ok = WriteHeader(frames_, error);
    if (std::fclose(file_) != 0 && ok) {
        error = "cannot write " + path_ + ": " + std::strerror(errno);
        ok = false;
    }
    file_ = nullptr;
    return ok;
}

}  // namespace sorv
