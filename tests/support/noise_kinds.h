// Receiver audio in the kinds of noise real receivers deliver, for the sensitive detector's
// tests and its calibration: white noise; impulsive static (crashes of a few milliseconds,
// 20 to 30 dB above the noise, three a second); noise whose level drifts by 10 dB over the
// recording; coloured noise (a receiver's sloping passband, with hum); and strong steady
// carriers 30 dB above the noise. Idents are keyed into it at an SNR measured as the
// synthesiser measures it: the key-down tone's power over the noise power in 2500 Hz around
// the tone (the average over the recording, for the drifting kind). An ident may fade:
// regularly (a raised cosine in dB over a period) or randomly (a slow Gaussian process in dB).
//
// Unsigned 8-bit samples at 48000 per second, reproducible from the seed on every machine (our
// own Box-Muller over mt19937).
//
//   NoiseRecording spec;
//   spec.kind = NoiseKind::Impulsive;
//   spec.seconds = 600;
//   spec.idents.push_back({"DGU", 1015.0, 8.0, 8.0, -20.0});
//   NoiseKindAudio audio(spec);
//   audio.Fill(block.data(), block.size());
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "audio/synth/morse_code.h"

namespace sorv::test {

enum class NoiseKind { White, Impulsive, Drifting, Coloured, Carriers };

inline const char* NoiseKindName(NoiseKind k) {
    switch (k) {
        case NoiseKind::White: return "white";
        case NoiseKind::Impulsive: return "impulsive";
        case NoiseKind::Drifting: return "drifting";
        case NoiseKind::Coloured: return "coloured";
        case NoiseKind::Carriers: return "carriers";
    }
    return "?";
}

struct NoiseIdent {
    std::string ident = "DGU";
    double toneHz = 1015.0;
    double periodSeconds = 8.0;
    double wpm = 8.0;           // dot 1.2 / wpm seconds
    double snrDb = 0.0;         // key-down tone over the noise in 2500 Hz around it
    double offsetSeconds = 0.5;
    double fadeDepthDb = 0.0;   // regular fading: dips by this much once per fadePeriodSeconds
    double fadePeriodSeconds = 600.0;
    double randomFadeDb = 0.0;  // random fading: standard deviation in dB, minutes-slow
};

struct NoiseRecording {
    NoiseKind kind = NoiseKind::White;
    double seconds = 600.0;
    std::vector<NoiseIdent> idents;
    // For Carriers: steady carriers 30 dB above the noise at these audio frequencies.
    std::vector<double> carrierHz = {955.0, 1055.0};
    uint32_t seed = 1;
};

class NoiseKindAudio {
public:
    explicit NoiseKindAudio(const NoiseRecording& spec) : spec_(spec), rng_(spec.seed) {
        total_ = static_cast<uint64_t>(std::llround(spec.seconds * 48000.0));
        // The white part's rms: lower where crashes and carriers need the 8-bit headroom.
        sigma_ = spec.kind == NoiseKind::White || spec.kind == NoiseKind::Drifting ? 12.0
                 : spec.kind == NoiseKind::Coloured                                 ? 16.0
                                                                                    : 4.0;
        // Slow random fading: a sum of slow sinusoids, scaled to the standard deviation asked.
        for (size_t i = 0; i < spec.idents.size(); ++i) {
            std::vector<Wave> waves;
            for (int k = 0; k < 8; ++k) {
                const double minutes = 2.0 + 13.0 * Uniform();
                waves.push_back({6.283185307179586 / (minutes * 60.0), 6.283185307179586 * Uniform()});
            }
            fades_.push_back(waves);
            keying_.push_back(MorseKeying(spec.idents[i].ident, spec.idents[i].wpm));
            phase_.push_back(0.0);
        }
        for (size_t c = 0; c < spec.carrierHz.size(); ++c) carrierPhase_.push_back(6.283185307179586 * Uniform());
        // The levels once: the drifting kind's mean noise power takes a thousand powers.
        for (double hz : spec.carrierHz) carrierAmplitude_.push_back(std::sqrt(2.0 * 1000.0 * NoiseIn2500Hz(hz)));
        for (const NoiseIdent& id : spec.idents)
            identAmplitude_.push_back(std::sqrt(2.0 * std::pow(10.0, id.snrDb / 10.0) * NoiseIn2500Hz(id.toneHz)));
        nextCrash_ = NextCrashGap();
    }

    size_t Fill(uint8_t* out, size_t count) {
        const size_t n = static_cast<size_t>(std::min<uint64_t>(count, total_ - n_));
        for (size_t s = 0; s < n; ++s) out[s] = Next();
        return n;
    }
    uint64_t TotalSamples() const { return total_; }

    // The noise power in 2500 Hz around a tone (counts squared), as the SNR is measured.
    double NoiseIn2500Hz(double toneHz) const {
        const double quantisation = 1.0 / 12.0;
        double density = (sigma_ * sigma_) / 24000.0;
        if (spec_.kind == NoiseKind::Coloured) density *= ColouredGain(toneHz);
        if (spec_.kind == NoiseKind::Drifting) density *= MeanDriftPower();
        return (density + quantisation / 24000.0) * 2500.0;
    }

private:
    struct Wave {
        double omega, phase;
    };

    double Uniform() { return (static_cast<double>(rng_() >> 8) + 0.5) / 16777216.0; }
    double Gaussian() {
        if (haveSpare_) {
            haveSpare_ = false;
            return spare_;
        }
        const double r = std::sqrt(-2.0 * std::log(Uniform()));
        const double a = 6.283185307179586 * Uniform();
        spare_ = r * std::sin(a);
        haveSpare_ = true;
        return r * std::cos(a);
    }

    // Drifting: the level rises by 10 dB over the recording, with a slow wobble of 2 dB.
    double DriftDb(double t) const {
        return 10.0 * (t / spec_.seconds - 0.5) + 2.0 * std::sin(6.283185307179586 * t / 437.0);
    }
    double MeanDriftPower() const {
        double sum = 0.0;
        const int steps = 1000;
        for (int k = 0; k < steps; ++k) sum += std::pow(10.0, DriftDb((k + 0.5) / steps * spec_.seconds) / 10.0);
        return sum / steps;
    }
    // Coloured: one pole at 600 Hz (power falling 6 dB an octave above), over a floor of a
    // quarter; the gain in power at a frequency.
    static double ColouredGain(double hz) {
        const double x = hz / 600.0;
        return 0.25 + 1.0 / (1.0 + x * x);
    }

    double Fade(size_t i, double t) const {
        const NoiseIdent& id = spec_.idents[i];
        double db = 0.0;
        if (id.fadeDepthDb > 0.0)
            db -= id.fadeDepthDb * (0.5 - 0.5 * std::cos(6.283185307179586 * t / id.fadePeriodSeconds));
        if (id.randomFadeDb > 0.0) {
            double sum = 0.0;
            for (const Wave& w : fades_[i]) sum += std::sin(w.omega * t + w.phase);
            db += id.randomFadeDb * sum / std::sqrt(0.5 * fades_[i].size());
        }
        return std::pow(10.0, db / 20.0);
    }

    double KeyAt(size_t i, double t) const {
        const NoiseIdent& id = spec_.idents[i];
        const double since = t - id.offsetSeconds;
        if (since < 0.0) return 0.0;
        const double p = std::fmod(since, id.periodSeconds);
        for (const KeyMark& m : keying_[i]) {
            if (p < m.on) break;
            if (p >= m.off) continue;
            const double edge = std::min(p - m.on, m.off - p);
            return edge >= 0.004 ? 1.0 : 0.5 - 0.5 * std::cos(M_PI * edge / 0.004);
        }
        return 0.0;
    }

    double NextCrashGap() { return -std::log(Uniform()) / 3.0 * 48000.0; }

    uint8_t Next() {
        const double t = static_cast<double>(n_) / 48000.0;
        double noise = 0.0;
        switch (spec_.kind) {
            case NoiseKind::Coloured: {
                // Half the white noise's amplitude beside white noise through one pole at about
                // 600 Hz (unit gain at 0 Hz): a density of a quarter plus the pole's response.
                const double white = Gaussian();
                const double a = std::exp(-6.283185307179586 * 600.0 / 48000.0);
                pole_ = a * pole_ + (1.0 - a) * Gaussian();
                noise = sigma_ * (0.5 * white + pole_);
                // Hum: the mains' harmonics up to 1 kHz, weak.
                noise += 1.5 * std::sin(6.283185307179586 * 50.0 * t) + 0.8 * std::sin(6.283185307179586 * 150.0 * t) +
                         0.4 * std::sin(6.283185307179586 * 950.0 * t);
                break;
            }
            case NoiseKind::Drifting:
                noise = sigma_ * std::pow(10.0, DriftDb(t) / 20.0) * Gaussian();
                break;
            default:
                noise = sigma_ * Gaussian();
        }
        if (spec_.kind == NoiseKind::Impulsive) {
            if (crashLeft_ <= 0 && --nextCrash_ <= 0.0) {
                crashLeft_ = static_cast<int>(48000.0 * (0.002 + 0.004 * Uniform()));
                crashAmplitude_ = sigma_ * std::pow(10.0, (20.0 + 10.0 * Uniform()) / 20.0);
                crashHz_ = 300.0 + 2500.0 * Uniform();
                nextCrash_ = NextCrashGap();
            }
            if (crashLeft_ > 0) {
                --crashLeft_;
                noise += crashAmplitude_ * std::sin(6.283185307179586 * crashHz_ * t) * (0.6 + 0.4 * Gaussian());
            }
        }
        double v = noise;
        for (size_t c = 0; spec_.kind == NoiseKind::Carriers && c < spec_.carrierHz.size(); ++c) {
            v += carrierAmplitude_[c] * std::sin(carrierPhase_[c] + 6.283185307179586 * spec_.carrierHz[c] * t);
        }
        for (size_t i = 0; i < spec_.idents.size(); ++i) {
            const NoiseIdent& id = spec_.idents[i];
            const double key = KeyAt(i, t);
            if (key > 0.0) {
                v += identAmplitude_[i] * Fade(i, t) * key * std::sin(phase_[i]);
            }
            phase_[i] += 6.283185307179586 * id.toneHz / 48000.0;
            if (phase_[i] >= 6.283185307179586) phase_[i] -= 6.283185307179586;
        }
        ++n_;
        const double r = std::nearbyint(128.0 + v);
        return static_cast<uint8_t>(r < 0.0 ? 0.0 : r > 255.0 ? 255.0 : r);
    }

    NoiseRecording spec_;
    std::mt19937 rng_;
    bool haveSpare_ = false;
    double spare_ = 0.0;
    double sigma_ = 12.0;
    double pole_ = 0.0;
    std::vector<std::vector<Wave>> fades_;
    std::vector<std::vector<KeyMark>> keying_;
    std::vector<double> phase_;
    std::vector<double> carrierPhase_;
    std::vector<double> carrierAmplitude_, identAmplitude_;
    double nextCrash_ = 0.0;
    int crashLeft_ = 0;
    double crashAmplitude_ = 0.0;
    double crashHz_ = 0.0;
    uint64_t total_ = 0;
    uint64_t n_ = 0;
};

}  // namespace sorv::test
