#include "audio/synth/iq_synth.h"

#include <algorithm>
#include <cmath>

#include "engine/text_format.h"

namespace sorv {

namespace {

constexpr double kTwoPi = 6.283185307179586;
constexpr double kRampSeconds = 0.004;
constexpr double kBandUse = 0.45;  // signals stay within 45 % of the rate either side of the centre
constexpr double kGolden = 0.6180339887498949;

bool Finite(double v) { return std::isfinite(v); }

double Amplitude(double reference, double levelDb) { return reference * std::pow(10.0, levelDb / 20.0); }

// The furthest a signal reaches from its carrier.
double ReachHz(const IqBeacon& b) { return b.keying == IqKeying::Carrier ? 0.0 : b.toneHz; }

std::string CheckInBand(const IqSynthSpec& spec, double kHz, double reachHz, const char* what) {
    const double half = kBandUse * spec.sampleRate;
    const double driftHz = std::fabs(spec.driftHzPerMinute) * spec.seconds / 60.0;
    const double offset = std::fabs(kHz * 1000.0 - spec.centreKHz * 1000.0) + reachHz + driftHz;
    if (!Finite(kHz) || offset > half)
        return FormatC("%s at %g kHz lies outside the recorded band, %.3f to %.3f kHz (centre %g kHz, rate %g Hz)", what,
                       kHz, spec.centreKHz - half / 1000.0, spec.centreKHz + half / 1000.0, spec.centreKHz,
                       spec.sampleRate);
    return {};
}

std::string CheckBeacon(const IqSynthSpec& spec, const IqBeacon& b) {
    if (MorseKeying(b.ident, 1.0).empty()) return "the ident \"" + b.ident + "\" has no Morse letters or digits";
    if (b.keying != IqKeying::Carrier && (!Finite(b.toneHz) || b.toneHz < 50.0 || b.toneHz > 5000.0))
        return "a tone must lie from 50 to 5000 Hz";
    if (!Finite(b.wpm) || b.wpm < 1.0 || b.wpm > 60.0) return "the speed must be 1 to 60 wpm";
    if (!Finite(b.periodSeconds) || b.periodSeconds <= 0.0) return "the period must be above 0 s";
    if (MorseIdentSeconds(b.ident, b.wpm) >= b.periodSeconds)
        return FormatC("the ident \"%s\" lasts %.1f s at %g wpm, longer than its %g s period", b.ident.c_str(),
                       MorseIdentSeconds(b.ident, b.wpm), b.wpm, b.periodSeconds);
    if (!Finite(b.offsetSeconds) || b.offsetSeconds < 0.0) return "the offset must be 0 s or more";
    if (!Finite(b.levelDb) || b.levelDb < -100.0 || b.levelDb > 60.0) return "a level must be -100 to 60 dB";
    if (!Finite(b.carrierLevelDb) || b.carrierLevelDb < -60.0 || b.carrierLevelDb > 60.0)
        return "a carrier level must be -60 to 60 dB";
    return CheckInBand(spec, b.carrierKHz, ReachHz(b), "a beacon");
}

}  // namespace

std::string CheckIqSynthSpec(const IqSynthSpec& s) {
    if (s.beacons.empty() && s.carriers.empty() && !s.withNoise)
        return "nothing to synthesise: give a beacon, a steady carrier or an SNR";
    if (s.beacons.size() + s.carriers.size() > kIqSynthMaxSignals) return "at most 1000 beacons and carriers";
    if (!Finite(s.sampleRate) || s.sampleRate < 48000.0 || s.sampleRate > 2400000.0)
        return "the rate must be 48000 to 2400000 Hz";
    if (!Finite(s.centreKHz) || s.centreKHz < 1.0 || s.centreKHz > 4.0e6) return "the centre must be 1 kHz to 4 GHz";
    if (!Finite(s.seconds) || s.seconds <= 0.0 || s.seconds > kIqSynthMaxSeconds)
        return "the length must be above 0 and at most 24 hours";
    if (s.startUtc < 315532800 || s.startUtc > 7258118399) return "the start must lie from 1980 to 2199";
    if (s.withNoise && (!Finite(s.snrDb) || s.snrDb < -60.0 || s.snrDb > 60.0)) return "the SNR must be -60 to 60 dB";
    if (!Finite(s.fadeDepthDb) || s.fadeDepthDb < 0.0 || s.fadeDepthDb > 60.0) return "the fading depth must be 0 to 60 dB";
    if (!Finite(s.fadePeriodSeconds) || s.fadePeriodSeconds <= 0.0) return "the fading period must be above 0 s";
    if (!Finite(s.driftHzPerMinute) || std::fabs(s.driftHzPerMinute) > 100.0)
        return "the drift must be -100 to 100 Hz per minute";
    for (const IqBeacon& b : s.beacons)
        if (std::string p = CheckBeacon(s, b); !p.empty()) return p;
    for (const IqSteadyCarrier& c : s.carriers) {
        if (!Finite(c.levelDb) || c.levelDb < -100.0 || c.levelDb > 60.0) return "a level must be -100 to 60 dB";
        if (std::string p = CheckInBand(s, c.kHz, 0.0, "a carrier"); !p.empty()) return p;
    }
    return {};
}

// One beacon or steady carrier: its phasors at the start of the next block, how far they
// turn in a block, and one block of their turning as a table.
struct IqSynthesiser::Signal {
    int beacon = -1;  // index into the beacons, -1 for a steady carrier
    IqKeying keying = IqKeying::Both;
    double carrierAmp = 0.0, toneAmp = 0.0;
    std::complex<double> carrier, carrierTurn, tone, toneTurn;
    std::vector<float> wr, wi, vr, vi;  // carrier and tone turns e^(j w k), k = 0 .. block - 1
    double fadePhase = 0.0;             // in periods
    double key = 0.0;                   // envelope at the block's start
};

namespace {

void TurnTable(double hz, double rate, size_t n, std::vector<float>& re, std::vector<float>& im,
               std::complex<double>& turn) {
    re.resize(n);
    im.resize(n);
    const double w = kTwoPi * hz / rate;
    for (size_t k = 0; k < n; ++k) {
        re[k] = static_cast<float>(std::cos(w * static_cast<double>(k)));
        im[k] = static_cast<float>(std::sin(w * static_cast<double>(k)));
    }
    turn = std::polar(1.0, w * static_cast<double>(n));
}

// Back onto the unit circle after a product: one step of Newton's iteration for 1/|z|, exact
// to the square of the tiny error a product leaves.
std::complex<double> Unit(std::complex<double> z) { return z * (1.5 - 0.5 * std::norm(z)); }

}  // namespace

IqSynthesiser::IqSynthesiser(const IqSynthSpec& spec) : spec_(spec) {
    uint64_t x = spec.seed;
    for (uint64_t& word : rng_) {
        x += 0x9E3779B97F4A7C15ull;
        uint64_t z = x;
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        word = z ^ (z >> 31);
    }
    const double fs = spec.sampleRate;
    total_ = static_cast<uint64_t>(std::llround(spec.seconds * fs));
    // About a millisecond, in whole runs of the vector loops.
    block_ = std::max<size_t>(16, (static_cast<size_t>(std::llround(fs / 1000.0)) + 7) / 8 * 8);
    noiseRms_ = spec.withNoise ? kIqNoiseRms : 0.0;
    reference_ = spec.withNoise ? std::sqrt(std::pow(10.0, spec.snrDb / 10.0) * noiseRms_ * noiseRms_ * 2500.0 / fs)
                                : kIqCleanAmplitude;

    std::mt19937 phases(spec.seed ^ 0x9E3779B9u);
    auto phase = [&phases] { return kTwoPi * static_cast<double>(phases()) / 4294967296.0; };
    const double centreHz = spec.centreKHz * 1000.0;
    for (size_t i = 0; i < spec.beacons.size() + spec.carriers.size(); ++i) {
        Signal s;
        double hz = 0.0, toneHz = 0.0;
        if (i < spec.beacons.size()) {
            const IqBeacon& b = spec.beacons[i];
            s.beacon = static_cast<int>(i);
            s.keying = b.keying;
            s.toneAmp = Amplitude(reference_, b.levelDb);
            s.carrierAmp = b.keying == IqKeying::Carrier ? 0.0 : Amplitude(reference_, b.levelDb + b.carrierLevelDb);
            hz = b.carrierKHz * 1000.0 - centreHz;
            toneHz = b.keying == IqKeying::Carrier ? 0.0 : b.toneHz;
            keying_.push_back(MorseKeying(b.ident, b.wpm));
        } else {
            const IqSteadyCarrier& c = spec.carriers[i - spec.beacons.size()];
            s.carrierAmp = Amplitude(reference_, c.levelDb);
            hz = c.kHz * 1000.0 - centreHz;
        }
        TurnTable(hz, fs, block_, s.wr, s.wi, s.carrierTurn);
        TurnTable(toneHz, fs, block_, s.vr, s.vi, s.toneTurn);
        s.carrier = std::polar(1.0, phase());
        s.tone = std::polar(1.0, phase());
        s.fadePhase = std::fmod(static_cast<double>(i) * kGolden, 1.0);
        signals_.push_back(std::move(s));
    }
    double peak = 4.0 * noiseRms_;
    for (const Signal& s : signals_) {
        const double tones = s.keying == IqKeying::Both ? 2.0 : 1.0;
        peak += s.carrierAmp + (s.beacon >= 0 ? tones * s.toneAmp : 0.0);
    }
    if (peak > kIqPeakLimit) {
        const double k = kIqPeakLimit / peak;
        noiseRms_ *= k;
        reference_ *= k;
        for (Signal& s : signals_) {
            s.carrierAmp *= k;
            s.toneAmp *= k;
        }
    }
    for (Signal& s : signals_) s.key = s.beacon >= 0 ? KeyAt(static_cast<size_t>(s.beacon), 0.0) : 1.0;
    re_.resize(block_);
    im_.resize(block_);
    ramp_.resize(block_);
    for (size_t k = 0; k < block_; ++k) ramp_[k] = static_cast<float>(k);
    used_ = block_;  // nothing made yet
    if (spec.driftHzPerMinute != 0.0) {
        driftRe_.resize(block_);
        driftIm_.resize(block_);
    }
}

IqSynthesiser::~IqSynthesiser() = default;

double IqSynthesiser::KeyAt(size_t i, double seconds) const {
    const IqBeacon& b = spec_.beacons[i];
    const double since = seconds - b.offsetSeconds;
    if (since < 0.0) return 0.0;
    const double t = std::fmod(since, b.periodSeconds);
    for (const KeyMark& m : keying_[i]) {
        if (t < m.on) break;
        if (t >= m.off) continue;
        const double edge = std::min(t - m.on, m.off - t);
        return edge >= kRampSeconds ? 1.0 : 0.5 - 0.5 * std::cos(M_PI * edge / kRampSeconds);
    }
    return 0.0;
}

size_t IqSynthesiser::Fill(std::complex<float>* out, size_t count) {
    const size_t n = static_cast<size_t>(std::min<uint64_t>(count, total_ - made_));
    for (size_t done = 0; done < n;) {
        if (used_ == block_) MakeBlock();
        const size_t take = std::min(n - done, block_ - used_);
        for (size_t k = 0; k < take; ++k) out[done + k] = {re_[used_ + k], im_[used_ + k]};
        used_ += take;
        done += take;
    }
    made_ += n;
    return n;
}

void IqSynthesiser::MakeBlock() {
    const double t0 = static_cast<double>(blocksMade_ * block_) / spec_.sampleRate;
    const double t1 = static_cast<double>((blocksMade_ + 1) * block_) / spec_.sampleRate;
    std::fill(re_.begin(), re_.end(), 0.0f);
    std::fill(im_.begin(), im_.end(), 0.0f);
    for (Signal& s : signals_) AddSignal(s, t0, t1);
    if (!driftRe_.empty()) ApplyDrift(t0);
    if (noiseRms_ > 0.0) AddNoise();
    ++blocksMade_;
    used_ = 0;
}

namespace {

// The inner loops over one block, written in runs of eight with unaliased pointers so that the
// compiler turns them into vector code at the project's optimisation level.
constexpr size_t kRun = 8;

struct BlockOut {
    float* __restrict re;
    float* __restrict im;
};

struct Phasor {
    float r, i;                 // at the block's start
    const float* __restrict wr;  // its turn over the block
    const float* __restrict wi;
};

// out += amp(k) * p(k), amp(k) = a0 + da * k.
void AddCarrier(BlockOut out, const Phasor& p, float a0, float da, const float* __restrict ramp, size_t n) {
    for (size_t c = 0; c < n; c += kRun) {
        for (size_t j = 0; j < kRun; ++j) {
            const size_t k = c + j;
            const float amp = a0 + da * ramp[k];
            out.re[k] += amp * (p.r * p.wr[k] - p.i * p.wi[k]);
            out.im[k] += amp * (p.r * p.wi[k] + p.i * p.wr[k]);
        }
    }
}

// out += p(k) * (ac + amp(k) * (up * t(k) + down * conj(t(k)))).
void AddCarrierAndTone(BlockOut out, const Phasor& p, const Phasor& t, float ac, float a0, float da, float up,
                       float down, const float* __restrict ramp, size_t n) {
    for (size_t c = 0; c < n; c += kRun) {
        for (size_t j = 0; j < kRun; ++j) {
            const size_t k = c + j;
            const float amp = a0 + da * ramp[k];
            const float cr = p.r * p.wr[k] - p.i * p.wi[k], ci = p.r * p.wi[k] + p.i * p.wr[k];
            const float xr = t.r * t.wr[k] - t.i * t.wi[k], xi = t.r * t.wi[k] + t.i * t.wr[k];
            const float er = ac + amp * (up + down) * xr;
            const float ei = amp * (up - down) * xi;
            out.re[k] += cr * er - ci * ei;
            out.im[k] += cr * ei + ci * er;
        }
    }
}

}  // namespace

void IqSynthesiser::AddSignal(Signal& s, double t0, double t1) {
    double fade = 1.0;
    if (spec_.fadeDepthDb > 0.0) {
        const double dipDb = spec_.fadeDepthDb * (0.5 - 0.5 * std::cos(kTwoPi * (t0 / spec_.fadePeriodSeconds + s.fadePhase)));
        fade = std::pow(10.0, -dipDb / 20.0);
    }
    const double k0 = s.key;
    const double k1 = s.beacon >= 0 ? KeyAt(static_cast<size_t>(s.beacon), t1) : 1.0;
    s.key = k1;
    const size_t n = block_;
    const BlockOut out{re_.data(), im_.data()};
    const Phasor carrier{static_cast<float>(s.carrier.real()), static_cast<float>(s.carrier.imag()), s.wr.data(),
                         s.wi.data()};
    const Phasor tone{static_cast<float>(s.tone.real()), static_cast<float>(s.tone.imag()), s.vr.data(), s.vi.data()};
    const float ac = static_cast<float>(s.carrierAmp * fade);
    const float a = static_cast<float>(s.toneAmp * fade);
    // The key moves linearly across the block, from its value at the start to that at the end.
    const float a0 = static_cast<float>(a * k0), da = static_cast<float>(a * (k1 - k0) / static_cast<double>(n));
    const bool keyUp = k0 > 0.0 || k1 > 0.0;

    if (s.beacon < 0 || (!keyUp && s.keying != IqKeying::Carrier)) {
        AddCarrier(out, carrier, ac, 0.0f, ramp_.data(), n);  // a steady carrier, or between marks
    } else if (s.keying == IqKeying::Carrier) {
        if (keyUp) AddCarrier(out, carrier, a0, da, ramp_.data(), n);
    } else {
        const float up = s.keying == IqKeying::Lower ? 0.0f : 1.0f;
        const float down = s.keying == IqKeying::Upper ? 0.0f : 1.0f;
        AddCarrierAndTone(out, carrier, tone, ac, a0, da, up, down, ramp_.data(), n);
    }
    s.carrier = Unit(s.carrier * s.carrierTurn);
    s.tone = Unit(s.tone * s.toneTurn);
}

void IqSynthesiser::ApplyDrift(double t0) {
    // The oscillator's offset grows linearly; over one block it is taken as constant at the
    // block's middle, and the phase carries on from block to block.
    const double mid = t0 + 0.5 * static_cast<double>(block_) / spec_.sampleRate;
    const double hz = spec_.driftHzPerMinute * mid / 60.0;
    const std::complex<double> turn = std::polar(1.0, kTwoPi * hz / spec_.sampleRate);
    std::complex<double> z = driftPhasor_;
    for (size_t k = 0; k < block_; ++k) {
        driftRe_[k] = static_cast<float>(z.real());
        driftIm_[k] = static_cast<float>(z.imag());
        z *= turn;
    }
    driftPhasor_ = Unit(z);
    for (size_t k = 0; k < block_; ++k) {
        const float r = re_[k], i = im_[k];
        re_[k] = r * driftRe_[k] - i * driftIm_[k];
        im_[k] = r * driftIm_[k] + i * driftRe_[k];
    }
}

uint64_t IqSynthesiser::NextRandom() {
    const uint64_t result = rng_[0] + rng_[3];
    const uint64_t t = rng_[1] << 17;
    rng_[2] ^= rng_[0];
    rng_[3] ^= rng_[1];
    rng_[1] ^= rng_[2];
    rng_[0] ^= rng_[3];
    rng_[2] ^= t;
    rng_[3] = (rng_[3] << 45) | (rng_[3] >> 19);
    return result;
}

namespace {

// Marsaglia and Tsang's ziggurat of 128 layers: a normal number costs one random draw and a
// comparison in 98 % of cases, several times less than the polar method's logarithm.
struct Ziggurat {
    uint32_t k[128];
    double w[128], f[128];
    Ziggurat() {
        const double m = 2147483648.0, v = 9.91256303526217e-3;
        double d = 3.442619855899, t = d;
        const double q = v / std::exp(-0.5 * d * d);
        k[0] = static_cast<uint32_t>((d / q) * m);
        k[1] = 0;
        w[0] = q / m;
        w[127] = d / m;
        f[0] = 1.0;
        f[127] = std::exp(-0.5 * d * d);
        for (int i = 126; i >= 1; --i) {
            d = std::sqrt(-2.0 * std::log(v / d + std::exp(-0.5 * d * d)));
            k[i + 1] = static_cast<uint32_t>((d / t) * m);
            t = d;
            f[i] = std::exp(-0.5 * d * d);
            w[i] = d / m;
        }
    }
};

const Ziggurat& TheZiggurat() {
    static const Ziggurat z;
    return z;
}

}  // namespace

float IqSynthesiser::Gaussian() {
    const Ziggurat& z = TheZiggurat();
    constexpr double kTail = 3.442619855899;
    auto uniform = [this] { return (static_cast<double>(NextRandom() >> 11) + 0.5) * 0x1.0p-53; };  // (0, 1)
    for (;;) {
        // The value from the top 32 bits, the layer from 7 bits of its own.
        const uint64_t r = NextRandom();
        const int32_t h = static_cast<int32_t>(static_cast<uint32_t>(r >> 32));
        const size_t i = (r >> 24) & 127;
        const uint32_t mag = h < 0 ? 0u - static_cast<uint32_t>(h) : static_cast<uint32_t>(h);
        const double x = h * z.w[i];
        if (mag < z.k[i]) return static_cast<float>(x);
        if (i == 0) {
            // The tail beyond the base layer.
            double a, b;
            do {
                a = -std::log(uniform()) / kTail;
                b = -std::log(uniform());
            } while (b + b < a * a);
            return static_cast<float>(h > 0 ? kTail + a : -kTail - a);
        }
        if (z.f[i] + uniform() * (z.f[i - 1] - z.f[i]) < std::exp(-0.5 * x * x)) return static_cast<float>(x);
    }
}

void IqSynthesiser::AddNoise() {
    // Total complex rms noiseRms_: each of I and Q carries half the power.
    const float sigma = static_cast<float>(noiseRms_ / std::sqrt(2.0));
    for (size_t k = 0; k < block_; ++k) {
        re_[k] += sigma * Gaussian();
        im_[k] += sigma * Gaussian();
    }
}

namespace {

class IqSynthSource : public IqSource {
public:
    explicit IqSynthSource(const IqSynthSpec& spec) : synth_(spec) {
        info_.sampleRate = spec.sampleRate;
        info_.centreHz = spec.centreKHz * 1000.0;
        info_.centreSource = "synthesiser";
        info_.startUtc = spec.startUtc;
        info_.startSource = "synthesiser";
        info_.totalSamples = synth_.TotalSamples();
        info_.description = FormatC("synthesised, %.0f Hz", spec.sampleRate);
    }
    const IqStreamInfo& Info() const override { return info_; }
    size_t Read(std::complex<float>* out, size_t count) override { return synth_.Fill(out, count); }
    const std::string& Error() const override { return error_; }

private:
    IqSynthesiser synth_;
    IqStreamInfo info_;
    std::string error_;
};

}  // namespace

std::unique_ptr<IqSource> MakeIqSynthSource(const IqSynthSpec& spec) { return std::make_unique<IqSynthSource>(spec); }

}  // namespace sorv
