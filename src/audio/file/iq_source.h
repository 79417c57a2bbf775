// A stream of complex baseband samples from a software-defined receiver's recording: I in the
// real part, Q in the imaginary part, full scale 1.0, at the recording's own rate, centred on
// the frequency the receiver was tuned to. The readers of I/Q files and the synthesiser's
// in-memory recordings deliver it; the band survey consumes it without caring which.
#pragma once

#include <complex>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace sorv {

struct IqStreamInfo {
    double sampleRate = 0.0;            // complex samples per second
    double centreHz = 0.0;              // radio frequency of 0 Hz in the baseband
    std::string centreSource;           // where the centre came from: "auxi chunk", "--centre-khz", "file name"
    std::optional<int64_t> startUtc;    // seconds since 1970 of the first sample, when known
    std::string startSource;            // where the start came from, when known
    uint64_t totalSamples = 0;          // as the header announces, or what a truncated file holds; 0 when unknown
    std::string description;            // "WAV, 16-bit, 192000 Hz" and the like
};

class IqSource {
public:
    virtual ~IqSource() = default;
    virtual const IqStreamInfo& Info() const = 0;
    // The next samples; fewer than count only at the end or on a read error (see Error()).
    virtual size_t Read(std::complex<float>* out, size_t count) = 0;
    // A read error, or a file that ended before its header said it would; empty otherwise.
    // The samples before the fault were delivered.
    virtual const std::string& Error() const = 0;
};

}  // namespace sorv
