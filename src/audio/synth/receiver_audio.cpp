#include "audio/synth/receiver_audio.h"

#include <algorithm>
#include <cmath>

#include "engine/text_format.h"

namespace sorv {

namespace {

constexpr double kTwoPi = 6.283185307179586;
constexpr double kRampSeconds = 0.004;
constexpr size_t kBlock = 480;  // fading and drift are updated every 10 ms

bool Finite(double v) { return std::isfinite(v); }

double Amplitude(double reference, double levelDb) { return reference * std::pow(10.0, levelDb / 20.0); }

}  // namespace

std::string CheckSynthSpec(const SynthSpec& spec) {
    if (spec.idents.empty() && spec.carriers.empty() && !spec.withNoise)
        return "nothing to synthesise: give an ident, a carrier tone or an SNR";
    if (!Finite(spec.seconds) || spec.seconds <= 0.0 || spec.seconds > kSynthMaxSeconds)
        return "the length must be above 0 and at most 24 hours";
    for (const SynthIdent& id : spec.idents) {
        if (MorseKeying(id.ident, 1.0).empty()) return "the ident \"" + id.ident + "\" has no Morse letters or digits";
        if (!Finite(id.toneHz) || id.toneHz <= 0.0 || id.toneHz >= 24000.0)
            return "a tone must lie between 0 and 24000 Hz";
        if (!Finite(id.wpm) || id.wpm < 1.0 || id.wpm > 60.0) return "the speed must be 1 to 60 wpm";
        if (!Finite(id.periodSeconds) || id.periodSeconds <= 0.0) return "the period must be above 0 s";
        if (MorseIdentSeconds(id.ident, id.wpm) >= id.periodSeconds)
            return FormatC("the ident \"%s\" lasts %.1f s at %g wpm, longer than its %g s period", id.ident.c_str(),
                           MorseIdentSeconds(id.ident, id.wpm), id.wpm, id.periodSeconds);
        if (!Finite(id.offsetSeconds) || id.offsetSeconds < 0.0) return "the offset must be 0 s or more";
        if (!Finite(id.levelDb) || id.levelDb < -100.0 || id.levelDb > 60.0) return "a level must be -100 to 60 dB";
    }
    for (const SynthCarrier& c : spec.carriers) {
        if (!Finite(c.toneHz) || c.toneHz <= 0.0 || c.toneHz >= 24000.0)
            return "a tone must lie between 0 and 24000 Hz";
        if (!Finite(c.levelDb) || c.levelDb < -100.0 || c.levelDb > 60.0) return "a level must be -100 to 60 dB";
    }
    if (spec.withNoise && (!Finite(spec.snrDb) || spec.snrDb < -60.0 || spec.snrDb > 60.0))
        return "the SNR must be -60 to 60 dB";
    if (!Finite(spec.fadeDepthDb) || spec.fadeDepthDb < 0.0 || spec.fadeDepthDb > 60.0)
        return "the fading depth must be 0 to 60 dB";
    if (!Finite(spec.fadePeriodSeconds) || spec.fadePeriodSeconds <= 0.0) return "the fading period must be above 0 s";
    if (!Finite(spec.driftHzPerMinute) || std::fabs(spec.driftHzPerMinute) > 100.0)
        return "the drift must be -100 to 100 Hz per minute";
    return {};
}

ReceiverAudio::ReceiverAudio(const SynthSpec& spec) : spec_(spec), rng_(spec.seed) {
    total_ = static_cast<uint64_t>(std::llround(spec.seconds * 48000.0));
    noiseRms_ = spec.withNoise ? kSynthNoiseRms : 0.0;
    reference_ = spec.withNoise ? noiseRms_ * std::sqrt(2.0 * std::pow(10.0, spec.snrDb / 10.0) * 2500.0 / 24000.0)
                                : kSynthCleanAmplitude;
    double peak = 4.0 * noiseRms_;
    for (const SynthIdent& id : spec.idents) peak += Amplitude(reference_, id.levelDb);
    for (const SynthCarrier& c : spec.carriers) peak += Amplitude(reference_, c.levelDb);
    if (peak > kSynthPeakLimit) {
        const double k = kSynthPeakLimit / peak;
        noiseRms_ *= k;
        reference_ *= k;
    }
    for (size_t i = 0; i < spec.idents.size(); ++i) {
        keying_.push_back(MorseKeying(spec.idents[i].ident, spec.idents[i].wpm));
        voices_.push_back({spec.idents[i].toneHz, Amplitude(reference_, spec.idents[i].levelDb), 0.0, static_cast<int>(i)});
    }
    for (const SynthCarrier& c : spec.carriers) voices_.push_back({c.toneHz, Amplitude(reference_, c.levelDb), 0.0, -1});
}

double ReceiverAudio::KeyAt(size_t i, double seconds) const {
    const SynthIdent& id = spec_.idents[i];
    const double since = seconds - id.offsetSeconds;
    if (since < 0.0) return 0.0;
    const double t = std::fmod(since, id.periodSeconds);
    for (const KeyMark& m : keying_[i]) {
        if (t < m.on) break;
        if (t >= m.off) continue;
        const double edge = std::min(t - m.on, m.off - t);
        return edge >= kRampSeconds ? 1.0 : 0.5 - 0.5 * std::cos(M_PI * edge / kRampSeconds);
    }
    return 0.0;
}

double ReceiverAudio::Gaussian() {
    if (haveSpare_) {
        haveSpare_ = false;
        return spare_;
    }
    auto uniform = [this] { return (static_cast<double>(rng_() >> 8) + 0.5) / 16777216.0; };  // (0, 1)
    const double r = std::sqrt(-2.0 * std::log(uniform()));
    const double a = kTwoPi * uniform();
    spare_ = r * std::sin(a);
    haveSpare_ = true;
    return r * std::cos(a);
}

size_t ReceiverAudio::Fill(uint8_t* out, size_t count) {
    const size_t n = static_cast<size_t>(std::min<uint64_t>(count, total_ - n_));
    for (size_t done = 0; done < n;) {
        const size_t block = std::min(kBlock, n - done);
        FillBlock(out + done, block);
        done += block;
    }
    return n;
}

void ReceiverAudio::FillBlock(uint8_t* out, size_t count) {
    const double t0 = static_cast<double>(n_) / 48000.0;
    double fade = 1.0;
    if (spec_.fadeDepthDb > 0.0) {
        const double dipDb = spec_.fadeDepthDb * (0.5 - 0.5 * std::cos(kTwoPi * t0 / spec_.fadePeriodSeconds));
        fade = std::pow(10.0, -dipDb / 20.0);
    }
    const double driftHz = spec_.driftHzPerMinute * t0 / 60.0;
    for (size_t s = 0; s < count; ++s) {
        const double t = static_cast<double>(n_ + s) / 48000.0;
        double v = 0.0;
        for (Voice& voice : voices_) {
            const double key = voice.ident >= 0 ? KeyAt(static_cast<size_t>(voice.ident), t) : 1.0;
            if (key > 0.0) v += voice.amplitude * fade * key * std::sin(voice.phase);
            voice.phase += kTwoPi * (voice.toneHz + driftHz) / 48000.0;
            if (voice.phase >= kTwoPi) voice.phase -= kTwoPi;
            if (voice.phase < 0.0) voice.phase += kTwoPi;
        }
        if (noiseRms_ > 0.0) v += noiseRms_ * Gaussian();
        const double r = std::nearbyint(128.0 + v);
        out[s] = static_cast<uint8_t>(r < 0.0 ? 0.0 : r > 255.0 ? 255.0 : r);
    }
    n_ += count;
}

}  // namespace sorv
