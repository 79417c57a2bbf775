#include "audio/file/iq_recording.h"

#include <sys/stat.h>

#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstring>

#include "audio/file/iq_file_readers.h"
#include "audio/file/wav_metadata.h"
#include "engine/text_format.h"

namespace sorv {

namespace {

constexpr double kMaxAudioRate = 192000.0;

std::string FileNameOf(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string Lower(std::string s) {
    for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

bool IsLetter(char c) { return std::isalpha(static_cast<unsigned char>(c)) != 0; }
bool IsDigit(char c) { return std::isdigit(static_cast<unsigned char>(c)) != 0; }
bool IsSeparator(char c) { return c == '_' || c == '-' || c == '.' || c == ' '; }

// "IQ" standing as a word of the name: "SDRSharp_..._IQ.wav", "night-iq.wav".
bool NameSaysIq(const std::string& fileName) {
    const std::string n = Lower(fileName);
    for (size_t at = n.find("iq"); at != std::string::npos; at = n.find("iq", at + 1)) {
        const bool before = at == 0 || !std::isalnum(static_cast<unsigned char>(n[at - 1]));
        const bool after = at + 2 >= n.size() || !std::isalnum(static_cast<unsigned char>(n[at + 2]));
        if (before && after) return true;
    }
    return false;
}

std::string Refusal(const std::string& path, const std::string& step, const std::string& reason) {
    return path + ": " + step + ": " + reason;
}

bool CentreInRange(double hz) { return std::isfinite(hz) && hz >= kMinCentreHz && hz <= kMaxCentreHz; }

}  // namespace

std::optional<RawIqFormat> RawIqFormatOf(const std::string& path) {
    const std::string n = Lower(FileNameOf(path));
    const auto ends = [&n](const char* ext) {
        const size_t k = std::strlen(ext);
        return n.size() > k && n.compare(n.size() - k, k, ext) == 0;
    };
    if (ends(".cu8")) return RawIqFormat::Cu8;
    if (ends(".cs16")) return RawIqFormat::Cs16;
    if (ends(".cf32")) return RawIqFormat::Cf32;
    return std::nullopt;
}

std::optional<double> CentreFromFileName(const std::string& fileName) {
    const std::string n = Lower(fileName);
    for (size_t i = 1; i < n.size(); ++i) {
        if (!IsSeparator(n[i - 1]) || !IsDigit(n[i])) continue;
        size_t end = i;
        int points = 0;
        while (end < n.size() && (IsDigit(n[end]) || (n[end] == '.' && points++ == 0))) ++end;
        if (n[end - 1] == '.' || end - i > 16) continue;
        double scale = 0.0;
        size_t unit = 0;
        if (n.compare(end, 3, "khz") == 0) scale = 1e3, unit = 3;
        else if (n.compare(end, 3, "mhz") == 0) scale = 1e6, unit = 3;
        else if (n.compare(end, 2, "hz") == 0) scale = 1.0, unit = 2;
        if (unit == 0 || (end + unit < n.size() && IsLetter(n[end + unit]))) continue;
        double value = 0.0;
        size_t used = 0;
        if (!ScanDouble(n.substr(i, end - i).c_str(), value, &used) || used != end - i) continue;
        if (CentreInRange(value * scale)) return value * scale;
    }
    return std::nullopt;
}

IqClassification ClassifyRecording(const std::string& path, bool iqOption) {
    if (const auto raw = RawIqFormatOf(path)) {
        const char* ext = *raw == RawIqFormat::Cu8 ? ".cu8" : *raw == RawIqFormat::Cs16 ? ".cs16" : ".cf32";
        return {true, FormatC("raw %s samples", ext)};
    }
    if (iqOption) return {true, "--iq"};
    RiffLayout layout;
    std::string reason;
    if (ReadRiffLayout(path, layout, reason) != RiffStatus::Ok || !layout.format || layout.format->channels != 2)
        return {};
    if (layout.Find("auxi")) return {true, "an auxi chunk"};
    if (layout.format->sampleRate > kMaxAudioRate)
        return {true, FormatC("two channels at %u Hz", layout.format->sampleRate)};
    const std::string name = FileNameOf(path);
    if (CentreFromFileName(name)) return {true, "two channels and a radio frequency in the name"};
    if (NameSaysIq(name)) return {true, "two channels and \"IQ\" in the name"};
    return {};
}

std::unique_ptr<IqSource> OpenIqRecording(const std::string& path, const IqOpenOptions& options, std::string& message) {
    struct stat st {};
    if (stat(path.c_str(), &st) != 0) {
        message = Refusal(path, "opening the file", errno == ENOENT ? "No such file" : std::strerror(errno));
        return nullptr;
    }
    if (!S_ISREG(st.st_mode)) {
        message = Refusal(path, "opening the file", "not a regular file");
        return nullptr;
    }
    if (options.centreKHz && !CentreInRange(*options.centreKHz * 1000.0)) {
        message = Refusal(path, "taking --centre-khz", "the centre must lie from 1 kHz to 4 GHz");
        return nullptr;
    }

    std::unique_ptr<IqFileSource> source;
    IqOpenFailure failure;
    if (const auto raw = RawIqFormatOf(path)) {
        if (!options.rateHz) {
            message = Refusal(path, "reading raw samples", "a raw recording needs its rate: give --rate");
            return nullptr;
        }
        if (!std::isfinite(*options.rateHz) || *options.rateHz < kMinIqRate || *options.rateHz > kMaxIqRate) {
            message = Refusal(path, "taking --rate", FormatC("the rate of %g Hz is outside 48 kHz to 2.4 MHz", *options.rateHz));
            return nullptr;
        }
        source = OpenIqRaw(path, *raw, *options.rateHz, failure);
    } else {
        RiffLayout layout;
        std::string reason;
        switch (ReadRiffLayout(path, layout, reason)) {
            case RiffStatus::Ok:
                source = OpenIqWav(path, layout, failure);
                break;
            case RiffStatus::NotRiff:
                failure = {"reading the header",
                           "not a WAV or RF64 file (raw recordings need the extension .cu8, .cs16 or .cf32)"};
                break;
            case RiffStatus::Unreadable:
                failure = {"reading the header", reason};
                break;
        }
    }
    if (!source) {
        message = Refusal(path, failure.step, failure.reason);
        return nullptr;
    }

    IqStreamInfo& info = source->MutableInfo();
    if (info.centreSource.empty()) {
        if (options.centreKHz) {
            info.centreHz = *options.centreKHz * 1000.0;
            info.centreSource = "--centre-khz";
        } else if (const auto hz = CentreFromFileName(FileNameOf(path))) {
            info.centreHz = *hz;
            info.centreSource = "file name";
        } else {
            message = Refusal(path, "finding the centre frequency",
                              "the file has no auxi chunk and its name gives no frequency: give --centre-khz");
            return nullptr;
        }
    }
    const double seconds = static_cast<double>(info.totalSamples) / info.sampleRate;
    if (const auto start = FindRecordingStart(path, seconds, options.localToUtc ? options.localToUtc : SystemLocalToUtcFn())) {
        info.startUtc = start->utc;
        info.startSource = start->source;
    }
    return source;
}

}  // namespace sorv
