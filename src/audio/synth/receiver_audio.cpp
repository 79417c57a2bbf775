#include "audio/synth/receiver_audio.h"

#include <algorithm>
#include <cmath>

#include "engine/text_format.h"

namespace sorv {

namespace {

constexpr double kTwoPi = 6.283185307179586;
constexpr double kRampSeconds = 0.004;
constexpr double kMaxLevelDb = 100.0;

bool Finite(double v) { return std::isfinite(v); }

double Amplitude(double reference, double levelDb) { return reference * std::pow(10.0, levelDb / 20.0); }

bool InRange(double v, double lo, double hi) { return Finite(v) && v >= lo && v <= hi; }

// The parts of the check that concern the noise kinds beyond white noise.
std::string CheckNoiseKinds(const SynthSpec& spec) {
    const bool coloured = spec.noiseTiltDbPerOctave != 0.0 || spec.noiseDriftDb != 0.0 || spec.noiseWanderDb != 0.0 ||
                          spec.crashes.perSecond != 0.0 || spec.humHz != 0.0;
    if (coloured && !spec.withNoise) return "crashes, hum, tilt, drift and wander of the noise need noise: give --snr";
    if (!InRange(spec.noiseTiltDbPerOctave, -NoiseTilt::kMaxDbPerOctave, NoiseTilt::kMaxDbPerOctave))
        return "the noise tilt must be -6 to 6 dB per octave";
    if (!InRange(spec.noiseDriftDb, -40.0, 40.0)) return "the noise drift must be -40 to 40 dB";
    if (!InRange(spec.noiseWanderDb, 0.0, 20.0)) return "the noise wander must be 0 to 20 dB";
    if (!InRange(spec.noiseWanderSeconds, 1.0, 1e6)) return "the noise wander's time must be 1 s or more";
    const CrashSettings& c = spec.crashes;
    if (!InRange(c.perSecond, 0.0, 100.0)) return "crashes must come 0 to 100 times a second";
    if (!InRange(c.levelDb, -20.0, 60.0)) return "the crash level must be -20 to 60 dB";
    if (!InRange(c.spreadDb, 0.0, 40.0)) return "the crash level's spread must be 0 to 40 dB";
    if (!InRange(c.milliseconds, 0.1, 100.0)) return "a crash must last 0.1 to 100 ms";
    if (spec.humHz != 0.0 && !IsMainsFrequency(spec.humHz)) return "the hum must be 50 or 60 Hz";
    if (!InRange(spec.humLevelDb, -40.0, 60.0)) return "the hum level must be -40 to 60 dB";
    if (!InRange(spec.qsbDb, 0.0, 20.0)) return "the random fading must be 0 to 20 dB";
    if (!InRange(spec.qsbSeconds, 1.0, 1e6)) return "the random fading's time must be 1 s or more";
    const AgcSettings& a = spec.agc;
    if (!InRange(a.attackMs, 0.05, 10000.0)) return "the AGC attack must be 0.05 to 10000 ms";
    if (!InRange(a.decayMs, 0.05, 100000.0)) return "the AGC decay must be 0.05 to 100000 ms";
    if (!InRange(a.thresholdDb, -40.0, 60.0)) return "the AGC threshold must be -40 to 60 dB";
    return {};
}

}  // namespace

double SynthSampleRate(SynthFormat format) { return format == SynthFormat::Stereo16Bit44k ? 44100.0 : 48000.0; }

std::string CheckSynthSpec(const SynthSpec& spec) {
    if (spec.idents.empty() && spec.carriers.empty() && !spec.withNoise)
        return "nothing to synthesise: give an ident, a carrier tone or an SNR";
    if (!Finite(spec.seconds) || spec.seconds <= 0.0 || spec.seconds > kSynthMaxSeconds)
        return "the length must be above 0 and at most 24 hours";
    if (spec.format == SynthFormat::Stereo16Bit44k && spec.seconds > kSynthMaxSeconds16)
        return "a 16-bit stereo WAV holds at most 6.75 hours";
    const double nyquist = SynthSampleRate(spec.format) / 2.0;
    const std::string toneRange = FormatC("a tone must lie between 0 and %g Hz", nyquist);
    for (const SynthIdent& id : spec.idents) {
        if (MorseKeying(id.ident, 1.0).empty()) return "the ident \"" + id.ident + "\" has no Morse letters or digits";
        if (!Finite(id.toneHz) || id.toneHz <= 0.0 || id.toneHz >= nyquist) return toneRange;
        if (!Finite(id.wpm) || id.wpm < 1.0 || id.wpm > 60.0) return "the speed must be 1 to 60 wpm";
        if (!Finite(id.periodSeconds) || id.periodSeconds <= 0.0) return "the period must be above 0 s";
        if (MorseIdentSeconds(id.ident, id.wpm) >= id.periodSeconds)
            return FormatC("the ident \"%s\" lasts %.1f s at %g wpm, longer than its %g s period", id.ident.c_str(),
                           MorseIdentSeconds(id.ident, id.wpm), id.wpm, id.periodSeconds);
        if (!Finite(id.offsetSeconds) || id.offsetSeconds < 0.0) return "the offset must be 0 s or more";
        if (!InRange(id.levelDb, -kMaxLevelDb, kMaxLevelDb)) return "a level must be -100 to 100 dB";
    }
    for (const SynthCarrier& c : spec.carriers) {
        if (!Finite(c.toneHz) || c.toneHz <= 0.0 || c.toneHz >= nyquist) return toneRange;
        if (!InRange(c.levelDb, -kMaxLevelDb, kMaxLevelDb)) return "a level must be -100 to 100 dB";
    }
    if (spec.withNoise && (!Finite(spec.snrDb) || spec.snrDb < -60.0 || spec.snrDb > 60.0))
        return "the SNR must be -60 to 60 dB";
    if (!InRange(spec.noiseRmsCounts, 0.5, 31.0)) return "the noise rms must be 0.5 to 31 counts";
    if (!Finite(spec.fadeDepthDb) || spec.fadeDepthDb < 0.0 || spec.fadeDepthDb > 60.0)
        return "the fading depth must be 0 to 60 dB";
    if (!Finite(spec.fadePeriodSeconds) || spec.fadePeriodSeconds <= 0.0) return "the fading period must be above 0 s";
    if (!Finite(spec.driftHzPerMinute) || std::fabs(spec.driftHzPerMinute) > 100.0)
        return "the drift must be -100 to 100 Hz per minute";
    return CheckNoiseKinds(spec);
}

ReceiverAudio::ReceiverAudio(const SynthSpec& spec) : spec_(spec), rng_(spec.seed) {
    rate_ = SynthSampleRate(spec.format);
    blockSize_ = static_cast<size_t>(rate_ / 100.0);
    block_.resize(blockSize_);
    total_ = static_cast<uint64_t>(std::llround(spec.seconds * rate_));
    noiseRms_ = spec.withNoise ? spec.noiseRmsCounts : 0.0;
    reference_ = spec.withNoise
                     ? noiseRms_ * std::sqrt(2.0 * std::pow(10.0, spec.snrDb / 10.0) * 2500.0 / (rate_ / 2.0))
                     : kSynthCleanAmplitude;
    if (spec.noiseTiltDbPerOctave != 0.0) {
        tilt_ = NoiseTilt(spec.noiseTiltDbPerOctave, rate_);
        tilted_ = true;
    }
    if (spec.noiseWanderDb > 0.0)
        floorWander_ = SlowWander(spec.noiseWanderDb, spec.noiseWanderSeconds, blockSize_ / rate_,
                                  SynthRandom(spec.seed, kStreamNoiseWander));
    if (spec.qsbDb > 0.0)
        for (size_t i = 0; i < spec.idents.size(); ++i)
            fading_.emplace_back(spec.qsbDb, spec.qsbSeconds, blockSize_ / rate_,
                                 SynthRandom(spec.seed, kStreamFadingFirst + static_cast<uint32_t>(i)));
    if (spec.humHz > 0.0) {
        const double fundamental =
            noiseRms_ * std::sqrt(2.0 * std::pow(10.0, spec.humLevelDb / 10.0) * 2500.0 / (rate_ / 2.0));
        hum_ = MainsHum(spec.humHz, fundamental, rate_, SynthRandom(spec.seed, kStreamHum));
    }
    ScaleToFit();
    if (spec.crashes.perSecond > 0.0)
        crashes_ = StaticCrashes(spec.crashes, noiseRms_, rate_, SynthRandom(spec.seed, kStreamCrashes));
    for (size_t i = 0; i < spec.idents.size(); ++i) {
        keying_.push_back(MorseKeying(spec.idents[i].ident, spec.idents[i].wpm));
        voices_.push_back({spec.idents[i].toneHz, Amplitude(reference_, spec.idents[i].levelDb), 0.0, static_cast<int>(i)});
    }
    for (const SynthCarrier& c : spec.carriers) voices_.push_back({c.toneHz, Amplitude(reference_, c.levelDb), 0.0, -1});
}

// The peaks: four noise rms at the noise's loudest, every signal at its loudest, the hum; an
// AGC holds the level to its threshold. Static crashes are left out: they clip.
void ReceiverAudio::ScaleToFit() {
    double noiseSpread = 1.0;
    if (tilted_) noiseSpread *= std::sqrt(tilt_.PowerGain());
    if (spec_.noiseDriftDb != 0.0 || spec_.noiseWanderDb > 0.0)
        noiseSpread *= std::pow(10.0, (std::fabs(spec_.noiseDriftDb) / 2.0 + 3.0 * spec_.noiseWanderDb) / 20.0);
    const double fadingHeadroom = spec_.qsbDb > 0.0 ? std::pow(10.0, 3.0 * spec_.qsbDb / 20.0) : 1.0;
    double peak = 4.0 * noiseRms_ * noiseSpread;
    for (const SynthIdent& id : spec_.idents) peak += Amplitude(reference_, id.levelDb) * fadingHeadroom;
    for (const SynthCarrier& c : spec_.carriers) peak += Amplitude(reference_, c.levelDb);
    const double agcThreshold = spec_.noiseRmsCounts * std::pow(10.0, spec_.agc.thresholdDb / 20.0);
    if (spec_.agc.on) peak = std::min(peak, 4.0 * agcThreshold);
    peak += hum_.Peak();
    double k = 1.0;
    if (peak > kSynthPeakLimit) {
        k = kSynthPeakLimit / peak;
        noiseRms_ *= k;
        reference_ *= k;
        hum_.Scale(k);
    }
    if (spec_.agc.on) agc_ = ReceiverAgc(spec_.agc, agcThreshold * k, rate_);
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

template <class Emit>
size_t ReceiverAudio::Produce(size_t count, Emit emit) {
    const size_t n = static_cast<size_t>(std::min<uint64_t>(count, total_ - n_));
    for (size_t done = 0; done < n;) {
        // Blocks start at whole multiples of the block size whatever the pieces asked for,
        // so that the block's fading and drift do not depend on them.
        const size_t block = std::min(blockSize_ - static_cast<size_t>(n_ % blockSize_), n - done);
        FillBlock(block_.data(), block);
        emit(block_.data(), done, block);
        done += block;
        if (n_ % blockSize_ == 0) EndBlock();
    }
    return n;
}

size_t ReceiverAudio::Fill(uint8_t* out, size_t count) {
    return Produce(count, [this, out](const double* v, size_t at, size_t block) {
        for (size_t s = 0; s < block; ++s) {
            const double r = std::nearbyint(128.0 + v[s]);
            if (r < 0.0 || r > 255.0) ++clipped_;
            out[at + s] = static_cast<uint8_t>(r < 0.0 ? 0.0 : r > 255.0 ? 255.0 : r);
        }
    });
}

size_t ReceiverAudio::Fill(int16_t* out, size_t count) {
    return Produce(count, [this, out](const double* v, size_t at, size_t block) {
        for (size_t s = 0; s < block; ++s) {
            const double r = std::nearbyint(v[s] * 256.0);
            if (r < -32768.0 || r > 32767.0) ++clipped_;
            out[at + s] = static_cast<int16_t>(std::clamp(r, -32768.0, 32767.0));
        }
    });
}

void ReceiverAudio::FillBlock(double* out, size_t count) {
    const uint64_t blockStart = n_ - n_ % blockSize_;
    const double t0 = static_cast<double>(blockStart) / rate_;
    double fade = 1.0;
    if (spec_.fadeDepthDb > 0.0) {
        const double dipDb = spec_.fadeDepthDb * (0.5 - 0.5 * std::cos(kTwoPi * t0 / spec_.fadePeriodSeconds));
        fade = std::pow(10.0, -dipDb / 20.0);
    }
    double noiseLevel = 1.0;
    if (spec_.noiseDriftDb != 0.0 || spec_.noiseWanderDb > 0.0) {
        const double rampDb = spec_.noiseDriftDb * (t0 / spec_.seconds - 0.5);
        noiseLevel = std::pow(10.0, (rampDb + floorWander_.Db()) / 20.0);
    }
    const double driftHz = spec_.driftHzPerMinute * t0 / 60.0;
    for (size_t s = 0; s < count; ++s) {
        const double t = static_cast<double>(n_ + s) / rate_;
        double v = 0.0;
        for (Voice& voice : voices_) {
            const double key = voice.ident >= 0 ? KeyAt(static_cast<size_t>(voice.ident), t) : 1.0;
            if (key > 0.0) {
                const double gain = voice.ident >= 0 && !fading_.empty()
                                        ? fade * fading_[static_cast<size_t>(voice.ident)].Gain()
                                        : fade;
                v += voice.amplitude * gain * key * std::sin(voice.phase);
            }
            voice.phase += kTwoPi * (voice.toneHz + driftHz) / rate_;
            if (voice.phase >= kTwoPi) voice.phase -= kTwoPi;
            if (voice.phase < 0.0) voice.phase += kTwoPi;
        }
        if (noiseRms_ > 0.0) {
            const double white = rng_.Gaussian();
            v += noiseRms_ * noiseLevel * (tilted_ ? tilt_.Filter(white) : white);
        }
        if (spec_.crashes.perSecond > 0.0) v += crashes_.Next();
        if (spec_.agc.on) v = agc_.Apply(v);
        if (spec_.humHz > 0.0) v += hum_.Next();
        out[s] = v;
    }
    n_ += count;
}

void ReceiverAudio::EndBlock() {
    if (spec_.noiseWanderDb > 0.0) floorWander_.Step();
    for (SlowWander& f : fading_) f.Step();
}

}  // namespace sorv
