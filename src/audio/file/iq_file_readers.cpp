#include "audio/file/iq_file_readers.h"

#include <sndfile.h>
#include <sys/stat.h>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <vector>

#include "audio/file/wav_metadata.h"
#include "engine/text_format.h"

namespace sorv {

namespace {

constexpr size_t kChunkFrames = 8192;
constexpr size_t kAuxiBytes = 4096;

// A sample that is not a number would poison every average it enters; it is read as silence.
float Finite(float v) { return std::isfinite(v) ? v : 0.0f; }

std::string SampleKind(const WavFormat& f) {
    if (f.tag == 3) return FormatC("%d-bit float", f.bitsPerSample);
    return FormatC("%d-bit", f.bitsPerSample);
}

std::string Seconds(uint64_t frames, double rate) { return FormatC("%.1f s", static_cast<double>(frames) / rate); }

// Checks the format chunk against what an I/Q recording is; empty when it is one.
std::string FormatProblem(const WavFormat& f) {
    if (f.channels != 2)
        return FormatC("it has %d channel%s; an I/Q recording has two, I and Q", f.channels, f.channels == 1 ? "" : "s");
    const bool pcm = f.tag == 1 && (f.bitsPerSample == 8 || f.bitsPerSample == 16 || f.bitsPerSample == 24 ||
                                    f.bitsPerSample == 32);
    const bool flt = f.tag == 3 && (f.bitsPerSample == 32 || f.bitsPerSample == 64);
    if (!pcm && !flt)
        return FormatC("its samples are of format %d with %d bits; I/Q samples are 16-bit, 24-bit or 32-bit float", f.tag,
                       f.bitsPerSample);
    if (f.blockAlign != 2 * (f.bitsPerSample / 8))
        return FormatC("its format chunk is inconsistent: %d-byte frames for two %d-bit samples", f.blockAlign,
                       f.bitsPerSample);
    if (f.sampleRate < kMinIqRate || f.sampleRate > kMaxIqRate)
        return FormatC("its rate of %u Hz is outside the 48 kHz to 2.4 MHz of I/Q recordings", f.sampleRate);
    return {};
}

class IqWavSource : public IqFileSource {
public:
    ~IqWavSource() override {
        if (file_) sf_close(file_);
    }

    bool Open(const std::string& path, const RiffLayout& layout, IqOpenFailure& failure) {
        path_ = path;
        if (!layout.format) return Fail(failure, "reading the format chunk", "the file has no format chunk");
        const WavFormat& f = *layout.format;
        if (std::string p = FormatProblem(f); !p.empty()) return Fail(failure, "reading the format chunk", p);
        const RiffChunk* data = layout.Find("data");
        if (!data) return Fail(failure, "finding the samples", "the file has no data chunk");
        if (const RiffChunk* auxi = layout.Find("auxi")) {
            std::vector<uint8_t> body;
            if (!ReadChunkBody(path, *auxi, kAuxiBytes, body))
                return Fail(failure, "reading the auxi chunk", "read error");
            AuxiInfo a;
            if (std::string p = ParseAuxiChunk(body, auxi->size, auxi->present, a); !p.empty())
                return Fail(failure, "reading the auxi chunk", p);
            info_.centreHz = a.centreHz;
            info_.centreSource = "auxi chunk";
        }
        SF_INFO sf{};
        file_ = sf_open(path.c_str(), SFM_READ, &sf);
        if (!file_) return Fail(failure, "opening the samples", sf_strerror(nullptr));
        if (sf.channels != 2 || sf.samplerate != static_cast<int>(f.sampleRate) || sf.frames < 0)
            return Fail(failure, "opening the samples", "libsndfile reads the file differently from its header");
        frames_ = static_cast<uint64_t>(sf.frames);
        if (frames_ == 0) return Fail(failure, "finding the samples", "the data chunk holds no samples");
        // What the header promised against what is there: a recording cut short (a full disk,
        // a copy broken off) is read as far as it goes and then reported.
        const uint64_t declared = data->size / f.blockAlign;
        if (!layout.dataSizeUnknown && (declared > frames_ || data->present % f.blockAlign != 0))
            shortfall_ = FormatC("the file is truncated: its header announces %s of samples, it holds %s",
                                 Seconds(declared, f.sampleRate).c_str(), Seconds(frames_, f.sampleRate).c_str());
        info_.sampleRate = f.sampleRate;
        info_.totalSamples = frames_;
        info_.description = FormatC("%s, %s, %u Hz", layout.rf64 ? "RF64" : "WAV", SampleKind(f).c_str(), f.sampleRate);
        buffer_.resize(2 * kChunkFrames);
        return true;
    }

    size_t Read(std::complex<float>* out, size_t count) override {
        size_t done = 0;
        while (done < count && !ended_) {
            const size_t want = std::min(count - done, kChunkFrames);
            const sf_count_t got = sf_readf_float(file_, buffer_.data(), static_cast<sf_count_t>(want));
            const size_t n = got > 0 ? static_cast<size_t>(got) : 0;
            for (size_t i = 0; i < n; ++i) out[done + i] = {Finite(buffer_[2 * i]), Finite(buffer_[2 * i + 1])};
            done += n;
            delivered_ += n;
            if (n < want) End();
        }
        return done;
    }

private:
    bool Fail(IqOpenFailure& failure, const std::string& step, const std::string& reason) {
        failure = {step, reason};
        return false;
    }

    void End() {
        ended_ = true;
        if (sf_error(file_) != SF_ERR_NO_ERROR)
            SetError(path_ + ": read error after " + Seconds(delivered_, info_.sampleRate) + " (" + sf_strerror(file_) + ")");
        else if (delivered_ < frames_)
            SetError(path_ + ": the file ends early: " + Seconds(delivered_, info_.sampleRate) + " of the " +
                     Seconds(frames_, info_.sampleRate) + " it announces could be read");
        else if (!shortfall_.empty())
            SetError(path_ + ": " + shortfall_);
    }

    std::string path_;
    SNDFILE* file_ = nullptr;
    uint64_t frames_ = 0, delivered_ = 0;
    std::vector<float> buffer_;
    std::string shortfall_;
    bool ended_ = false;
};

size_t BytesPerFrame(RawIqFormat f) { return f == RawIqFormat::Cu8 ? 2 : f == RawIqFormat::Cs16 ? 4 : 8; }

const char* RawName(RawIqFormat f) {
    switch (f) {
        case RawIqFormat::Cu8: return "raw cu8 (unsigned 8-bit)";
        case RawIqFormat::Cs16: return "raw cs16 (signed 16-bit)";
        case RawIqFormat::Cf32: return "raw cf32 (32-bit float)";
    }
    return "raw";
}

class IqRawSource : public IqFileSource {
public:
    ~IqRawSource() override {
        if (file_) std::fclose(file_);
    }

    bool Open(const std::string& path, RawIqFormat format, double rateHz, IqOpenFailure& failure) {
        path_ = path;
        format_ = format;
        struct stat st {};
        if (stat(path.c_str(), &st) != 0) {
            failure = {"opening the file", std::strerror(errno)};
            return false;
        }
        file_ = std::fopen(path.c_str(), "rb");
        if (!file_) {
            failure = {"opening the file", std::strerror(errno)};
            return false;
        }
        const uint64_t size = static_cast<uint64_t>(st.st_size);
        const size_t frameBytes = BytesPerFrame(format);
        frames_ = size / frameBytes;
        if (frames_ == 0) {
            failure = {"finding the samples", FormatC("the file holds %llu bytes, not one whole I/Q sample",
                                                      static_cast<unsigned long long>(size))};
            return false;
        }
        // No header says how long a raw file should be; bytes that do not make a whole I/Q
        // pair are the one sign of a file cut short (or of the wrong format).
        if (const uint64_t stray = size % frameBytes; stray != 0)
            shortfall_ = FormatC("the file ends in the middle of an I/Q sample (%llu stray byte%s): cut short, or "
                                 "not %s samples",
                                 static_cast<unsigned long long>(stray), stray == 1 ? "" : "s", RawName(format));
        info_.sampleRate = rateHz;
        info_.totalSamples = frames_;
        info_.description = FormatC("%s, %.0f Hz", RawName(format), rateHz);
        bytes_.resize(kChunkFrames * frameBytes);
        return true;
    }

    size_t Read(std::complex<float>* out, size_t count) override {
        size_t done = 0;
        const size_t frameBytes = BytesPerFrame(format_);
        while (done < count && !ended_) {
            const size_t want = static_cast<size_t>(std::min<uint64_t>({count - done, kChunkFrames, frames_ - delivered_}));
            const size_t n = want == 0 ? 0 : std::fread(bytes_.data(), frameBytes, want, file_);
            Convert(bytes_.data(), n, out + done);
            done += n;
            delivered_ += n;
            if (n < want || delivered_ == frames_) End();
        }
        return done;
    }

private:
    void Convert(const uint8_t* b, size_t n, std::complex<float>* out) const {
        switch (format_) {
            case RawIqFormat::Cu8:
                for (size_t i = 0; i < n; ++i)
                    out[i] = {(b[2 * i] - 127.5f) / 127.5f, (b[2 * i + 1] - 127.5f) / 127.5f};
                break;
            case RawIqFormat::Cs16:
                for (size_t i = 0; i < n; ++i) {
                    const auto s = [&](size_t k) {
                        return static_cast<int16_t>(static_cast<uint16_t>(b[k] | (b[k + 1] << 8))) / 32768.0f;
                    };
                    out[i] = {s(4 * i), s(4 * i + 2)};
                }
                break;
            case RawIqFormat::Cf32:
                for (size_t i = 0; i < n; ++i) {
                    float v[2];
                    std::memcpy(v, b + 8 * i, sizeof v);  // little-endian, as the machine is
                    out[i] = {Finite(v[0]), Finite(v[1])};
                }
                break;
        }
    }

    void End() {
        ended_ = true;
        if (std::ferror(file_))
            SetError(path_ + ": read error after " + Seconds(delivered_, info_.sampleRate));
        else if (delivered_ < frames_)
            SetError(path_ + ": the file ends early: " + Seconds(delivered_, info_.sampleRate) + " of " +
                     Seconds(frames_, info_.sampleRate) + " could be read");
        else if (!shortfall_.empty())
            SetError(path_ + ": " + shortfall_);
    }

    std::string path_;
    RawIqFormat format_ = RawIqFormat::Cu8;
    std::FILE* file_ = nullptr;
    uint64_t frames_ = 0, delivered_ = 0;
    std::vector<uint8_t> bytes_;
    std::string shortfall_;
    bool ended_ = false;
};

}  // namespace

std::unique_ptr<IqFileSource> OpenIqWav(const std::string& path, const RiffLayout& layout, IqOpenFailure& failure) {
    auto source = std::make_unique<IqWavSource>();
    if (!source->Open(path, layout, failure)) return nullptr;
    return source;
}

std::unique_ptr<IqFileSource> OpenIqRaw(const std::string& path, RawIqFormat format, double rateHz,
                                        IqOpenFailure& failure) {
    auto source = std::make_unique<IqRawSource>();
    if (!source->Open(path, format, rateHz, failure)) return nullptr;
    return source;
}

}  // namespace sorv
