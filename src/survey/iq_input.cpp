// Two-channel WAV files through libsndfile, I in the first channel and Q in the second; the
// centre frequency from the options or from the file name ("..._404kHz...").
#include "survey/iq_input.h"

#include <sndfile.h>

#include <regex>
#include <vector>

#include "engine/text_format.h"

namespace sorv {

namespace {

class WavIqSource : public IqSource {
public:
    WavIqSource(SNDFILE* file, const SF_INFO& sf, double centreHz, const std::string& centreSource) : file_(file) {
        info_.sampleRate = sf.samplerate;
        info_.centreHz = centreHz;
        info_.centreSource = centreSource;
        info_.totalSamples = static_cast<uint64_t>(sf.frames);
        info_.description = FormatC("WAV, %d Hz", sf.samplerate);
    }
    ~WavIqSource() override { sf_close(file_); }
    const IqStreamInfo& Info() const override { return info_; }
    const std::string& Error() const override { return error_; }
    size_t Read(std::complex<float>* out, size_t count) override {
        buffer_.resize(count * 2);
        const sf_count_t got = sf_readf_float(file_, buffer_.data(), static_cast<sf_count_t>(count));
        const size_t n = got > 0 ? static_cast<size_t>(got) : 0;
        for (size_t i = 0; i < n; ++i) out[i] = {buffer_[2 * i], buffer_[2 * i + 1]};
        delivered_ += n;
        if (n < count && delivered_ < info_.totalSamples && error_.empty())
            error_ = FormatC("the file ends after %llu of its %llu samples", static_cast<unsigned long long>(delivered_),
                             static_cast<unsigned long long>(info_.totalSamples));
        return n;
    }

private:
    SNDFILE* file_;
    IqStreamInfo info_;
    std::string error_;
    std::vector<float> buffer_;
    uint64_t delivered_ = 0;
};

std::optional<double> CentreFromName(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    std::smatch m;
    if (!std::regex_search(name, m, std::regex("[_. -]([0-9]+(\\.[0-9]+)?)[kK][hH][zZ]"))) return std::nullopt;
    double khz = 0.0;
    if (!ScanDouble(m[1].str().c_str(), khz) || !(khz > 0.0)) return std::nullopt;
    return khz;
}

}  // namespace

bool IsIqRecording(const std::string& path) {
    SF_INFO sf{};
    SNDFILE* file = sf_open(path.c_str(), SFM_READ, &sf);
    if (!file) return false;
    sf_close(file);
    return sf.channels == 2 && (sf.samplerate > 48000 || CentreFromName(path).has_value());
}

std::unique_ptr<IqSource> OpenIqInput(const std::string& path, const IqInputOptions& options, std::string& message) {
    SF_INFO sf{};
    SNDFILE* file = sf_open(path.c_str(), SFM_READ, &sf);
    if (!file) {
        message = path + ": opening the recording: " + sf_strerror(nullptr);
        return nullptr;
    }
    if (sf.channels != 2) {
        sf_close(file);
        message = path + ": not an I/Q recording (it has " + std::to_string(sf.channels) + " channels, not 2)";
        return nullptr;
    }
    std::optional<double> centre = options.centreKHz;
    std::string source = "--centre-khz";
    if (!centre) {
        centre = CentreFromName(path);
        source = "file name";
    }
    if (!centre) {
        sf_close(file);
        message = path + ": the recording does not give its centre frequency: give it with --centre-khz";
        return nullptr;
    }
    return std::make_unique<WavIqSource>(file, sf, *centre * 1000.0, source);
}

}  // namespace sorv
