#include "analysis/hum_canceller.h"

#include <algorithm>
#include <cmath>

namespace sorv {

namespace {

constexpr double kTwoPi = 6.283185307179586;
constexpr double kHopSeconds = 4.0;
constexpr double kMains[] = {50.0, 60.0};
// How far from the searched tones a harmonic still matters: the lines' window leaks less than
// -74 dB from 25 Hz on.
constexpr double kReachHz = 25.0;
constexpr double kSeekHz = 1.2;        // mains within 0.06 Hz of nominal, at the 20th harmonic
constexpr double kStrong = 6.0;        // a fit's power over its noise's, in each block
// Largest over smallest fitted amplitude: what the noise explains, and 10 % more.
constexpr double kSteadySpread = 0.1;
constexpr double kSpreadPerNoise = 4.0;  // times the noise's amplitude over the fit's
constexpr double kSteadyHz = 0.3;      // the fitted frequency's spread
constexpr double kLn2 = 0.6931471805599453;

// Where a parabola through three points peaks, from -0.5 to 0.5 about the middle one.
double PeakOffset(double left, double middle, double right) {
    const double curve = left - 2.0 * middle + right;
    if (!(curve < 0.0)) return 0.0;
    return std::clamp(0.5 * (left - right) / curve, -0.5, 0.5);
}

}  // namespace

void HumCanceller::Configure(double rate, double mixHz, double lowHz, double highHz, double passHz) {
    rate_ = rate;
    mixHz_ = mixHz;
    hop_ = 0;
    harmonics_.clear();
    previous_.clear();
    current_.clear();
    blockUsed_ = outRead_ = outUsed_ = 0;
    subtracted_ = 0;
    const double edge = passHz - kSeekHz - 2.0;
    for (unsigned family = 0; family < 2; ++family) {
        const double mains = kMains[family];
        for (int k = static_cast<int>(std::ceil((lowHz - kReachHz) / mains)); k * mains <= highHz + kReachHz; ++k) {
            const double baseband = k * mains - mixHz;
            if (k < 1 || std::abs(baseband) > edge) continue;
            auto same = std::find_if(harmonics_.begin(), harmonics_.end(),
                                     [&](const Harmonic& h) { return h.basebandHz == baseband; });
            if (same == harmonics_.end()) {
                harmonics_.emplace_back();
                same = harmonics_.end() - 1;
                same->basebandHz = baseband;
            }
            same->mains |= 1u << family;
        }
    }
    const int hop = static_cast<int>(std::lround(rate * kHopSeconds));
    if (harmonics_.empty() || hop < 8) {
        harmonics_.clear();
        return;
    }
    hop_ = hop;
    const int n = 2 * hop_;
    window_.resize(static_cast<size_t>(n));
    windowSum_ = 0.0;
    for (int m = 0; m < n; ++m) {
        window_[static_cast<size_t>(m)] = 0.5 - 0.5 * std::cos(kTwoPi * m / n);  // halves overlap to 1
        windowSum_ += window_[static_cast<size_t>(m)];
    }
    int size = 1;
    while (size < 2 * n) size *= 2;  // bins half the window's resolution apart
    fft_.Plan(size);
    re_.assign(static_cast<size_t>(size), 0.0);
    im_.assign(static_cast<size_t>(size), 0.0);
    power_.assign(static_cast<size_t>(size), 0.0);
    passBins_ = std::max(1, static_cast<int>(std::floor(passHz / (rate / size))));
    noiseWork_.reserve(static_cast<size_t>(2 * passBins_ + 1));
    previous_.reserve(harmonics_.size());
    current_.reserve(harmonics_.size());
    block_.assign(static_cast<size_t>(n), {0.0f, 0.0f});
    out_.assign(static_cast<size_t>(hop_), {0.0f, 0.0f});
}

std::vector<double> HumCanceller::HarmonicsHz() const {
    std::vector<double> hz;
    for (const Harmonic& h : harmonics_) hz.push_back(h.basebandHz + mixHz_);
    return hz;
}

void HumCanceller::Push(float re, float im) {
    if (outRead_ == outUsed_) outRead_ = outUsed_ = 0;
    if (hop_ == 0) {
        if (out_.size() <= outUsed_) out_.resize(outUsed_ + 1);
        out_[outUsed_++] = {re, im};
        return;
    }
    block_[blockUsed_++] = {re, im};
    if (blockUsed_ < block_.size()) return;
    FitBlock();
    Release();
}

bool HumCanceller::Pop(float& re, float& im) {
    if (outRead_ == outUsed_) return false;
    re = out_[outRead_].real();
    im = out_[outRead_].imag();
    ++outRead_;
    return true;
}

void HumCanceller::FitBlock() {
    const size_t n = block_.size();
    std::fill(re_.begin(), re_.end(), 0.0);
    std::fill(im_.begin(), im_.end(), 0.0);
    for (size_t m = 0; m < n; ++m) {
        re_[m] = window_[m] * block_[m].real();
        im_[m] = window_[m] * block_[m].imag();
    }
    fft_.Run(re_.data(), im_.data());
    for (size_t k = 0; k < power_.size(); ++k) power_[k] = re_[k] * re_[k] + im_[k] * im_[k];
    const double noise = NoiseOfBlock();
    previous_.swap(current_);
    current_.clear();
    unsigned steadyOnce = 0, steadyTwice = 0;  // per mains frequency, as bits
    for (Harmonic& h : harmonics_) {
        FitHarmonic(h, noise);
        h.steady = Steady(h);
        if (!h.steady) continue;
        steadyTwice |= steadyOnce & h.mains;
        steadyOnce |= h.mains;
    }
    for (const Harmonic& h : harmonics_)
        if (h.steady && (h.mains & steadyTwice) != 0) current_.push_back({h.amplitude[kHistory - 1], h.hz[kHistory - 1]});
    if (!current_.empty()) ++subtracted_;
}

// The noise a fit of the block would find alone: the median bin over the flat part of the
// band (a few harmonics and an ident barely move it), over the median's share of the mean.
double HumCanceller::NoiseOfBlock() {
    const int size = static_cast<int>(power_.size());
    noiseWork_.clear();
    for (int b = -passBins_; b <= passBins_; ++b) noiseWork_.push_back(power_[static_cast<size_t>((b + size) % size)]);
    const auto mid = noiseWork_.begin() + static_cast<long>(noiseWork_.size() / 2);
    std::nth_element(noiseWork_.begin(), mid, noiseWork_.end());
    return *mid / kLn2;
}

void HumCanceller::FitHarmonic(Harmonic& h, double noise) {
    const int size = static_cast<int>(power_.size());
    const double binHz = rate_ / size;
    const int centre = static_cast<int>(std::lround(h.basebandHz / binHz));
    const int reach = static_cast<int>(std::ceil(kSeekHz / binHz));
    auto at = [&](int b) { return power_[static_cast<size_t>(((b % size) + size) % size)]; };
    int best = centre;
    for (int b = centre - reach; b <= centre + reach; ++b)
        if (at(b) > at(best)) best = b;
    const double tiny = 1e-300;
    const double offset = PeakOffset(std::log(at(best - 1) + tiny), std::log(at(best) + tiny), std::log(at(best + 1) + tiny));
    const double hz = (best + offset) * binHz;

    // The exact fit at that frequency, its phase at the block's first sample.
    const std::complex<double> turn = std::polar(1.0, -kTwoPi * hz / rate_);
    std::complex<double> phasor(1.0, 0.0), sum(0.0, 0.0);
    for (size_t m = 0; m < block_.size(); ++m) {
        sum += window_[m] * std::complex<double>(block_[m].real(), block_[m].imag()) * phasor;
        phasor *= turn;
    }
    for (int i = 0; i + 1 < kHistory; ++i) {
        h.amplitude[i] = h.amplitude[i + 1];
        h.hz[i] = h.hz[i + 1];
        h.strength[i] = h.strength[i + 1];
    }
    h.amplitude[kHistory - 1] = sum / windowSum_;
    h.hz[kHistory - 1] = hz;
    h.strength[kHistory - 1] = noise > 0.0 ? std::norm(sum) / noise : 0.0;
    h.seen = std::min(h.seen + 1, kHistory);
}

bool HumCanceller::Steady(const Harmonic& h) {
    if (h.seen < kHistory) return false;
    double least = std::norm(h.amplitude[0]), most = least;
    double low = h.hz[0], high = low;
    double weakest = h.strength[0];
    for (int i = 0; i < kHistory; ++i) {
        if (!(h.strength[i] > kStrong)) return false;
        weakest = std::min(weakest, h.strength[i]);
        least = std::min(least, std::norm(h.amplitude[i]));
        most = std::max(most, std::norm(h.amplitude[i]));
        low = std::min(low, h.hz[i]);
        high = std::max(high, h.hz[i]);
    }
    const double spread = 1.0 + kSteadySpread + kSpreadPerNoise / std::sqrt(weakest);
    return most <= spread * spread * least && high - low <= kSteadyHz;
}

// The block's first hop is done: the block before fades out over it as this one fades in.
void HumCanceller::Release() {
    const size_t hop = static_cast<size_t>(hop_);
    if (out_.size() < outUsed_ + hop) out_.resize(outUsed_ + hop);
    std::complex<float>* out = out_.data() + outUsed_;
    if (previous_.empty() && current_.empty()) {
        std::copy(block_.begin(), block_.begin() + static_cast<long>(hop), out);
    } else {
        for (size_t m = 0; m < hop; ++m) out[m] = block_[m];
        auto subtract = [&](const Wave& w, size_t shift) {
            const std::complex<double> turn = std::polar(1.0, kTwoPi * w.hz / rate_);
            std::complex<double> wave = w.amplitude * std::polar(1.0, kTwoPi * w.hz * static_cast<double>(shift) / rate_);
            for (size_t m = 0; m < hop; ++m) {
                const std::complex<double> y = window_[m + shift] * wave;
                out[m] -= std::complex<float>(static_cast<float>(y.real()), static_cast<float>(y.imag()));
                wave *= turn;
            }
        };
        for (const Wave& w : previous_) subtract(w, hop);
        for (const Wave& w : current_) subtract(w, 0);
    }
    outUsed_ += hop;
    std::copy(block_.begin() + static_cast<long>(hop), block_.end(), block_.begin());
    blockUsed_ = hop;
}

}  // namespace sorv
