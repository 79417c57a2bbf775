// Synthetic I/Q recordings for the band survey's tests and benchmarks: beacons around a
// centre frequency, each a carrier with its Morse ident keyed on a tone in one or both
// sidebands (amplitude modulation, in phase with the carrier) or on the carrier itself,
// steady carriers without ident, and complex white Gaussian noise. Reproducible from the
// seed (our own Box-Muller over mt19937).
//
// Levels are in dB over the noise in 2500 Hz: a keyed sideband of level L has the power
// 10^(L/10) * noise * 2500 / rate, where noise is the total noise power of the recording.
#pragma once

#include <algorithm>
#include <cmath>
#include <complex>
#include <cstdint>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include <sndfile.h>

#include "audio/file/iq_source.h"
#include "audio/synth/morse_code.h"

namespace sorv::test {

enum class IqKeying { Upper, Lower, Both, Carrier };

struct IqBeacon {
    double offsetHz = 0.0;      // the carrier, from the centre
    std::string ident = "DGU";
    double toneHz = 1020.0;
    double wpm = 8.0;
    double periodSeconds = 8.0;
    double firstSeconds = 0.5;
    IqKeying keying = IqKeying::Both;
    double toneDb = 0.0;        // each keyed sideband (or the keyed carrier)
    double carrierDb = 6.0;     // the steady carrier (unused when the carrier is keyed)
};

struct IqSteadyCarrier {
    double offsetHz = 0.0;
    double levelDb = 0.0;
};

struct IqScene {
    double rate = 48000.0;
    double centreHz = 400000.0;
    double seconds = 60.0;
    double noisePower = 1e-4;   // full scale squared, over the whole recording's band
    std::vector<IqBeacon> beacons;
    std::vector<IqSteadyCarrier> carriers;
    uint32_t seed = 1;
};

class IqBeaconSource : public IqSource {
public:
    explicit IqBeaconSource(const IqScene& scene) : scene_(scene), rng_(scene.seed) {
        info_.sampleRate = scene.rate;
        info_.centreHz = scene.centreHz;
        info_.centreSource = "test";
        info_.totalSamples = static_cast<uint64_t>(scene.seconds * scene.rate);
        info_.description = "synthetic I/Q";
        const double noiseIn2500 = scene.noisePower * 2500.0 / scene.rate;
        for (const IqBeacon& b : scene_.beacons) {
            Voice v;
            v.beacon = &b;
            v.marks = MorseKeying(b.ident, b.wpm);
            v.sideband = std::sqrt(std::pow(10.0, b.toneDb / 10.0) * noiseIn2500);
            v.carrier = b.keying == IqKeying::Carrier ? v.sideband : std::sqrt(std::pow(10.0, b.carrierDb / 10.0) * noiseIn2500);
            v.carrierStep = std::polar(1.0, 2.0 * M_PI * b.offsetHz / scene.rate);
            v.toneStep = std::polar(1.0, 2.0 * M_PI * b.toneHz / scene.rate);
            voices_.push_back(v);
        }
        for (const IqSteadyCarrier& c : scene.carriers) {
            Voice v;
            v.carrier = std::sqrt(std::pow(10.0, c.levelDb / 10.0) * noiseIn2500);
            v.carrierStep = std::polar(1.0, 2.0 * M_PI * c.offsetHz / scene.rate);
            voices_.push_back(v);
        }
        noiseSigma_ = std::sqrt(scene.noisePower / 2.0);
    }

    const IqStreamInfo& Info() const override { return info_; }
    const std::string& Error() const override { return error_; }

    size_t Read(std::complex<float>* out, size_t count) override {
        size_t i = 0;
        while (i < count && n_ < info_.totalSamples) {
            // The keying changes slowly: it is taken once per 32 samples, at their middle.
            const size_t piece = static_cast<size_t>(std::min<uint64_t>({32, count - i, info_.totalSamples - n_}));
            const double t = (static_cast<double>(n_) + piece / 2.0) / scene_.rate;
            for (Voice& v : voices_) {
                v.key = v.beacon ? KeyAt(v, t) : 0.0;
                const bool keyedCarrier = v.beacon && v.beacon->keying == IqKeying::Carrier;
                v.carrierNow = keyedCarrier ? v.key * v.carrier : v.carrier;
                const bool tone = v.beacon && !keyedCarrier && v.key > 0.0;
                v.upperNow = tone && v.beacon->keying != IqKeying::Lower ? v.key * v.sideband : 0.0;
                v.lowerNow = tone && v.beacon->keying != IqKeying::Upper ? v.key * v.sideband : 0.0;
            }
            for (size_t k = 0; k < piece; ++k, ++i, ++n_) {
                std::complex<double> z(noiseSigma_ * Gaussian(), noiseSigma_ * Gaussian());
                for (Voice& v : voices_) {
                    std::complex<double> s = v.carrierNow;
                    if (v.upperNow != 0.0) s += v.upperNow * v.tone;
                    if (v.lowerNow != 0.0) s += v.lowerNow * std::conj(v.tone);
                    z += s * v.phase;
                    v.phase *= v.carrierStep;
                    v.tone *= v.toneStep;
                }
                out[i] = std::complex<float>(static_cast<float>(z.real()), static_cast<float>(z.imag()));
            }
            if ((n_ & 8191) < piece)
                for (Voice& v : voices_) {
                    v.phase /= std::abs(v.phase);
                    v.tone /= std::abs(v.tone);
                }
        }
        return i;
    }

private:
    struct Voice {
        const IqBeacon* beacon = nullptr;  // null for a steady carrier
        std::vector<KeyMark> marks;
        double sideband = 0.0, carrier = 0.0;
        std::complex<double> carrierStep{1.0, 0.0}, toneStep{1.0, 0.0};
        std::complex<double> phase{1.0, 0.0}, tone{1.0, 0.0};
        double key = 0.0, carrierNow = 0.0, upperNow = 0.0, lowerNow = 0.0;
    };

    // The key-down envelope, with 4 ms raised-cosine edges against key clicks.
    static double KeyAt(const Voice& v, double t) {
        const IqBeacon& b = *v.beacon;
        const double since = t - b.firstSeconds;
        if (since < 0.0 || b.periodSeconds <= 0.0) return 0.0;
        const double at = std::fmod(since, b.periodSeconds);
        for (const KeyMark& m : v.marks) {
            if (at < m.on || at >= m.off) continue;
            const double edge = std::min(at - m.on, m.off - at);
            return edge >= 0.004 ? 1.0 : 0.5 - 0.5 * std::cos(M_PI * edge / 0.004);
        }
        return 0.0;
    }

    double Uniform() { return (static_cast<double>(rng_() >> 8) + 0.5) / 16777216.0; }
    double Gaussian() {
        if (haveSpare_) {
            haveSpare_ = false;
            return spare_;
        }
        const double r = std::sqrt(-2.0 * std::log(Uniform()));
        const double a = 2.0 * M_PI * Uniform();
        spare_ = r * std::sin(a);
        haveSpare_ = true;
        return r * std::cos(a);
    }

    IqScene scene_;
    IqStreamInfo info_;
    std::string error_;
    std::vector<Voice> voices_;
    std::mt19937 rng_;
    double noiseSigma_ = 0.0;
    bool haveSpare_ = false;
    double spare_ = 0.0;
    uint64_t n_ = 0;
};

// A scene synthesised once and kept in memory, for tests that read a recording more than once
// (the survey reads it twice): each source replays the same samples from the start.
class IqMemoryRecording {
public:
    explicit IqMemoryRecording(const IqScene& scene) : info_(IqBeaconSource(scene).Info()) {
        IqBeaconSource source(scene);
        samples_.resize(static_cast<size_t>(info_.totalSamples));
        samples_.resize(source.Read(samples_.data(), samples_.size()));
    }
    std::unique_ptr<IqSource> Open() const { return std::make_unique<Replay>(*this); }

private:
    class Replay : public IqSource {
    public:
        explicit Replay(const IqMemoryRecording& r) : r_(r) {}
        const IqStreamInfo& Info() const override { return r_.info_; }
        const std::string& Error() const override { return error_; }
        size_t Read(std::complex<float>* out, size_t count) override {
            const size_t n = std::min(count, r_.samples_.size() - at_);
            std::copy(r_.samples_.begin() + static_cast<std::ptrdiff_t>(at_),
                      r_.samples_.begin() + static_cast<std::ptrdiff_t>(at_ + n), out);
            at_ += n;
            return n;
        }

    private:
        const IqMemoryRecording& r_;
        std::string error_;
        size_t at_ = 0;
    };
    IqStreamInfo info_;
    std::vector<std::complex<float>> samples_;
};

// A beacon with its first key-down placed by its carrier, so that idents do not start together.
inline IqBeacon MakeIqBeacon(double offsetHz, const char* ident, double toneHz, IqKeying keying, double toneDb, double period,
                             double wpm) {
    IqBeacon b;
    b.offsetHz = offsetHz;
    b.ident = ident;
    b.toneHz = toneHz;
    b.keying = keying;
    b.toneDb = toneDb;
    b.periodSeconds = period;
    b.wpm = wpm;
    b.firstSeconds = 0.3 + std::fmod(offsetHz * 0.001, 3.0 + 0.5);
    if (b.firstSeconds < 0) b.firstSeconds += 3.0;
    return b;
}

// 42 seconds of 48 kHz around 400 kHz with DGU keyed on both sidebands of 399 kHz, every 6 s,
// 3 dB under the noise in 2500 Hz: found in a second or two, by any survey that works.
inline IqScene ShortDguBand() {
    IqScene scene;
    scene.rate = 48000.0;
    scene.centreHz = 400000.0;
    scene.seconds = 42.0;
    IqBeacon dgu;
    dgu.offsetHz = -1000.0;
    dgu.ident = "DGU";
    dgu.periodSeconds = 6.0;
    dgu.toneDb = -3.0;
    dgu.carrierDb = 3.0;
    scene.beacons = {dgu};
    return scene;
}

// Twelve beacons across 100 kHz of a 192 kHz recording around 400 kHz -- tones of 400 and
// 1020 Hz on one or both sidebands, one keyed carrier, one beacon 500 Hz from another, levels
// from +10 down to -18 dB in 2500 Hz -- and two carriers without an ident. raiseDb lifts every
// beacon, so that a short recording holds what the long one does.
inline IqScene TwelveBeaconBand(double seconds, double raiseDb = 0.0) {
    IqScene s;
    s.rate = 192000.0;
    s.centreHz = 400000.0;
    s.seconds = seconds;
    s.seed = 7;
    s.beacons = {
        MakeIqBeacon(-48000.0, "DGU", 1020.0, IqKeying::Both, 10.0, 8.0, 8.0),
        MakeIqBeacon(-39500.0, "KX", 400.0, IqKeying::Both, -6.0, 7.0, 7.0),
        MakeIqBeacon(-31000.0, "RAM", 1020.0, IqKeying::Both, -18.0, 9.0, 8.0),
        MakeIqBeacon(-22000.0, "SN", 400.0, IqKeying::Upper, -12.0, 6.5, 9.0),
        MakeIqBeacon(-13500.0, "OHM", 0.0, IqKeying::Carrier, -9.0, 10.0, 8.0),
        MakeIqBeacon(-4000.0, "TZ", 1020.0, IqKeying::Lower, -15.0, 8.5, 7.0),
        MakeIqBeacon(-3500.0, "YQ", 400.0, IqKeying::Both, -3.0, 11.0, 6.0),
        MakeIqBeacon(6000.0, "AB", 1020.0, IqKeying::Both, -18.0, 7.5, 8.0),
        MakeIqBeacon(15500.0, "LP", 400.0, IqKeying::Both, -15.0, 12.0, 7.0),
        MakeIqBeacon(24000.0, "NDB", 1020.0, IqKeying::Both, 0.0, 9.5, 10.0),
        MakeIqBeacon(37000.0, "WX", 400.0, IqKeying::Both, -9.0, 6.0, 8.0),
        MakeIqBeacon(49500.0, "FM", 1020.0, IqKeying::Upper, -18.0, 10.5, 7.0),
    };
    for (IqBeacon& b : s.beacons) b.toneDb += raiseDb, b.carrierDb += raiseDb;
    s.carriers = {{-27000.0, 6.0}, {31000.0, 0.0}};
    return s;
}

// The scene as a two-channel 32-bit float WAV file (I first, Q second); false when the file
// could not be written.
inline bool WriteIqWav(const std::string& path, const IqScene& scene) {
    SF_INFO sf{};
    sf.samplerate = static_cast<int>(scene.rate);
    sf.channels = 2;
    sf.format = SF_FORMAT_WAV | SF_FORMAT_FLOAT;
    SNDFILE* f = sf_open(path.c_str(), SFM_WRITE, &sf);
    if (!f) return false;
    IqBeaconSource source(scene);
    std::vector<std::complex<float>> block(65536);
    std::vector<float> frames(block.size() * 2);
    bool ok = true;
    for (;;) {
        const size_t n = source.Read(block.data(), block.size());
        for (size_t i = 0; i < n; ++i) {
            frames[2 * i] = block[i].real();
            frames[2 * i + 1] = block[i].imag();
        }
        ok = ok && sf_writef_float(f, frames.data(), static_cast<sf_count_t>(n)) == static_cast<sf_count_t>(n);
        if (n < block.size()) break;
    }
    return sf_close(f) == 0 && ok;
}

}  // namespace sorv::test
