#include "audio/file/audio_file_reader.h"

#include <sndfile.h>
#include <soxr.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstring>

#include "audio/file/sample_conversion.h"
#include "engine/regular_file.h"
#include "engine/text_format.h"

namespace sorv {

namespace {

constexpr int kEngineRate = 48000;
constexpr size_t kChunkFrames = 4096;
constexpr double kAutoGainSeconds = 600.0;  // the automatic gain listens to the first 10 minutes

std::string FormatName(int format) {
    SF_FORMAT_INFO info{};
    info.format = format;
    if (sf_command(nullptr, SFC_GET_FORMAT_INFO, &info, sizeof info) != 0 || !info.name) return "?";
    return info.name;
}

// libsndfile reads a file whose data ends early for what it holds and notes the header's
// claim in its log, for example "data : 96000 (should be 49956)". A size of all ones is the
// placeholder of recorders that write the length at the end and never got there: no claim.
std::string HeaderShortfall(SNDFILE* file) {
    char log[8192] = {};
    sf_command(file, SFC_GET_LOG_INFO, log, sizeof log - 1);
    for (const char* line = log; *line;) {
        const char* end = std::strchr(line, '\n');
        const std::string text(line, end ? static_cast<size_t>(end - line) : std::strlen(line));
        line = end ? end + 1 : line + text.size();
        const size_t colon = text.find(':');
        const size_t should = text.find("(should be ");
        if (colon == std::string::npos || should == std::string::npos) continue;
        if (text.rfind("data", 0) != 0 && text.rfind("SSND", 0) != 0) continue;
        double claimed = 0.0, actual = 0.0;
        if (!ScanDouble(text.c_str() + colon + 1, claimed) || !ScanDouble(text.c_str() + should + 11, actual)) continue;
        if (claimed > actual && claimed != 4294967295.0 && claimed != 2147483647.0)
            return FormatC("the file is truncated: its header announces %.0f bytes of audio, it holds %.0f",
                           claimed, actual);
    }
    return {};
}

}  // namespace

// The file as mono samples at 48 kHz, full scale -1..+1.
class AudioFileReader::Source {
public:
    ~Source() {
        if (soxr_) soxr_delete(soxr_);
        if (file_) sf_close(file_);
        if (fd_ >= 0) ::close(fd_);
    }

    bool Open(const std::string& path, const AudioImportOptions& options, std::string& error) {
        // Opened here, not by libsndfile, so that a FIFO or a device is refused at once
        // instead of blocking the open for ever.
        fd_ = OpenRegularFileDescriptor(path, error);
        if (fd_ < 0) return false;
        file_ = sf_open_fd(fd_, SFM_READ, &info_, SF_FALSE);
        if (!file_) {
            error = "not an audio file that can be read (" + std::string(sf_strerror(nullptr)) + ")";
            return false;
        }
        if (info_.channels < 1 || info_.samplerate < 1 || info_.frames < 1) {
            error = "no audio in the file";
            return false;
        }
        if (!options.mix && (options.channel < 1 || options.channel > info_.channels)) {
            error = FormatC("the file has %d channel%s; there is no channel %d", info_.channels,
                            info_.channels == 1 ? "" : "s", options.channel);
            return false;
        }
        channel_ = options.mix ? -1 : options.channel - 1;
        shortfall_ = HeaderShortfall(file_);
        frames_.resize(kChunkFrames * static_cast<size_t>(info_.channels));
        mono_.resize(kChunkFrames);
        if (info_.samplerate != kEngineRate) {
            soxr_error_t soxrError = nullptr;
            const soxr_io_spec_t io = soxr_io_spec(SOXR_FLOAT64_I, SOXR_FLOAT64_I);
            const soxr_quality_spec_t quality = soxr_quality_spec(SOXR_HQ, 0);
            soxr_ = soxr_create(info_.samplerate, kEngineRate, 1, &soxrError, &io, &quality, nullptr);
            if (!soxr_ || soxrError) {
                error = "cannot resample from " + std::to_string(info_.samplerate) + " Hz (" +
                        (soxrError ? soxrError : "libsoxr") + ")";
                return false;
            }
        }
        return true;
    }

    // Fills up to n samples; fewer only at the end of the file or on an error.
    size_t Read(double* out, size_t n) {
        size_t produced = 0;
        while (produced < n && !finished_) {
            if (!soxr_) {
                const size_t got = ReadMono(n - produced);
                std::copy_n(mono_.data(), got, out + produced);
                produced += got;
                continue;
            }
            if (monoAvailable_ == 0 && !endOfInput_) {
                monoAvailable_ = ReadMono(kChunkFrames);
                monoUsed_ = 0;
            }
            size_t used = 0, made = 0;
            const double* in = monoAvailable_ > 0 ? mono_.data() + monoUsed_ : nullptr;  // null: flush
            soxr_error_t e = soxr_process(soxr_, in, monoAvailable_, &used, out + produced, n - produced, &made);
            if (e) {
                SetError(std::string("resampling failed (") + e + ")");
                break;
            }
            monoUsed_ += used;
            monoAvailable_ -= used;
            produced += made;
            if (!in && made == 0) finished_ = true;
        }
        return produced;
    }

    // An unsigned 8-bit mono file at 48 kHz holds the engine's samples as they are: its bytes
    // are read straight through, which is what the conversion would give, only faster.
    bool IsEngineFormat() const {
        return info_.channels == 1 && info_.samplerate == kEngineRate &&
               (info_.format & SF_FORMAT_SUBMASK) == SF_FORMAT_PCM_U8;
    }

    size_t ReadEngineBytes(uint8_t* out, size_t n) {
        if (finished_) return 0;
        const uint64_t left = static_cast<uint64_t>(info_.frames) - std::min<uint64_t>(framesRead_, info_.frames);
        const size_t want = static_cast<size_t>(std::min<uint64_t>(n, left));
        const sf_count_t got = want > 0 ? sf_read_raw(file_, out, static_cast<sf_count_t>(want)) : 0;
        const size_t k = got > 0 ? static_cast<size_t>(got) : 0;
        framesRead_ += k;
        if (k < n) EndOfInput();
        return k;
    }

    const std::string& Error() const { return error_; }
    const std::string& Shortfall() const { return shortfall_; }
    const SF_INFO& Info() const { return info_; }

private:
    // Up to `want` (at most a chunk) mono frames into mono_, at the file's own rate.
    size_t ReadMono(size_t want) {
        want = std::min(want, kChunkFrames);
        const sf_count_t got = sf_readf_double(file_, frames_.data(), static_cast<sf_count_t>(want));
        const size_t n = got > 0 ? static_cast<size_t>(got) : 0;
        const size_t ch = static_cast<size_t>(info_.channels);
        for (size_t i = 0; i < n; ++i) {
            if (channel_ >= 0) {
                mono_[i] = frames_[i * ch + static_cast<size_t>(channel_)];
            } else {
                double sum = 0.0;
                for (size_t c = 0; c < ch; ++c) sum += frames_[i * ch + c];
                mono_[i] = sum / static_cast<double>(ch);
            }
        }
        framesRead_ += n;
        if (n < want) EndOfInput();
        return n;
    }

    void EndOfInput() {
        endOfInput_ = true;
        if (!soxr_) finished_ = true;
        if (sf_error(file_) != SF_ERR_NO_ERROR) {
            SetError(std::string("read error (") + sf_strerror(file_) + ")");
        } else if (framesRead_ < static_cast<uint64_t>(info_.frames)) {
            SetError(FormatC("the file ends early: %.1f s of the %.1f s its header announces could be read",
                             static_cast<double>(framesRead_) / info_.samplerate,
                             static_cast<double>(info_.frames) / info_.samplerate));
        } else if (!shortfall_.empty()) {
            SetError(shortfall_);
        }
    }

    void SetError(const std::string& e) {
        if (error_.empty()) error_ = e;
    }

    int fd_ = -1;  // closed after file_, which reads through it
    SNDFILE* file_ = nullptr;
    SF_INFO info_{};
    soxr_t soxr_ = nullptr;
    int channel_ = 0;
    std::vector<double> frames_, mono_;
    size_t monoAvailable_ = 0, monoUsed_ = 0;
    uint64_t framesRead_ = 0;
    bool endOfInput_ = false, finished_ = false;
    std::string error_, shortfall_;
};

AudioFileReader::AudioFileReader() = default;
AudioFileReader::~AudioFileReader() = default;

bool AudioFileReader::Open(const std::string& path, const AudioImportOptions& options, std::string& error) {
    source_ = std::make_unique<Source>();
    if (!source_->Open(path, options, error)) {
        source_.reset();
        return false;
    }
    buffer_.resize(kEngineRate);
    gainDb_ = options.gainDb;
    if (options.autoGain) {
        // A second pass over the start of the file, so that the gain holds from the first sample.
        Source probe;
        if (!probe.Open(path, options, error)) return false;
        NoiseLevelMeter meter;
        while (meter.SecondsMeasured() < kAutoGainSeconds) {
            const size_t n = probe.Read(buffer_.data(), buffer_.size());
            meter.Add(buffer_.data(), n);
            if (n < buffer_.size()) break;
        }
        gainDb_ = AutoGainDb(meter.Rms());
    }
    if (!std::isfinite(gainDb_) || gainDb_ < -200.0 || gainDb_ > 200.0) {
        error = "the gain must be -200 to 200 dB";
        return false;
    }
    gain_ = std::pow(10.0, gainDb_ / 20.0);
    return true;
}

size_t AudioFileReader::Read(uint8_t* out, size_t count) {
    if (!source_) return 0;
    if (gain_ == 1.0 && source_->IsEngineFormat()) {
        const size_t n = source_->ReadEngineBytes(out, count);
        delivered_ += n;
        if (error_.empty() && !source_->Error().empty()) error_ = source_->Error();
        return n;
    }
    U8Converter convert(gain_);
    size_t done = 0;
    while (done < count) {
        const size_t want = std::min(count - done, buffer_.size());
        const size_t n = source_->Read(buffer_.data(), want);
        for (size_t i = 0; i < n; ++i) out[done + i] = convert.Convert(buffer_[i]);
        done += n;
        if (n < want) break;
    }
    clipped_ += convert.Clipped();
    delivered_ += done;
    if (error_.empty() && !source_->Error().empty()) error_ = source_->Error();
    return done;
}

double AudioFileReader::DurationSeconds() const {
    if (!source_) return 0.0;
    return static_cast<double>(source_->Info().frames) / source_->Info().samplerate;
}

std::string AudioFileReader::Description() const {
    if (!source_) return {};
    const SF_INFO& info = source_->Info();
    return FormatName(info.format & SF_FORMAT_TYPEMASK) + ", " +
           FormatName(info.format & SF_FORMAT_SUBMASK) + ", " +
           FormatC("%d channel%s, %d Hz", info.channels, info.channels == 1 ? "" : "s", info.samplerate);
}

uint64_t AudioFileReader::ClippedSamples() const { return clipped_; }

}  // namespace sorv
