#include "survey/sideband_combiner.h"

#include <cmath>

#include "survey/channel_layout.h"
#include "survey/channeliser.h"

namespace sorv {

namespace {

constexpr double kCarrierSmoothingSeconds = 0.25;  // the carrier's phase is followed this closely
constexpr int kSlotsPerRow = 64;                    // 128 slots a frame, two rows per frame
constexpr int kDecimation = 20;                     // 48000 / 2400, as the engine sums its slots

}  // namespace

SidebandCombiner::SidebandCombiner(double carrierHz, double gain, std::vector<int> lines)
    : lines_(std::move(lines)), row_(lines_.size()) {
    step_ = std::polar(1.0, -2.0 * M_PI * carrierHz / kBasebandRate);
    smoothing_ = std::exp(-1.0 / (kBasebandRate * kCarrierSmoothingSeconds));
    // Two baseband samples make one slot; the engine's slot is the sum of 20 audio samples of
    // the tone, whose analytic amplitude is half the audio's: scaled alike, the rows compare.
    slotScale_ = gain * kDecimation / 4.0;
    const size_t n = lines_.size();
    twiddle_.resize(64 * n * 2);
    olderHalf_.assign(2 * n, 0.0);  // before the first frame is full the engine's ring holds zeros
    newerHalf_.assign(2 * n, 0.0);
    secondHalfSign_.resize(n);
    for (size_t i = 0; i < n; ++i) {
        const int k = lines_[i] - kChannelCarrierLine;
        for (int t = 0; t < 64; ++t) {
            const std::complex<double> w = std::polar(0.7 / 128.0, -2.0 * M_PI * k * t / 128.0);
            twiddle_[(static_cast<size_t>(t) * n + i) * 2] = w.real();
            twiddle_[(static_cast<size_t>(t) * n + i) * 2 + 1] = w.imag();
        }
        // Slot t + 64 takes slot t's factor times exp(-i pi k).
        secondHalfSign_[i] = k % 2 == 0 ? 1.0 : -1.0;
    }
}

void SidebandCombiner::Add(const std::complex<float>* baseband, size_t count,
                           const std::function<void(const double*)>& onRow) {
    // Complex products written out: the library's operator* checks every product for
    // infinities, which would make this loop several times slower.
    double tr = turn_.real(), ti = turn_.imag();
    const double sr = step_.real(), si = step_.imag();
    double cr = carrier_.real(), ci = carrier_.imag();
    const double a = smoothing_, b = 1.0 - smoothing_;
    for (size_t i = 0; i < count; ++i) {
        const double xr = baseband[i].real(), xi = baseband[i].imag();
        const double zr = xr * tr - xi * ti, zi = xr * ti + xi * tr;
        const double nr = tr * sr - ti * si;
        ti = tr * si + ti * sr;
        tr = nr;
        cr = a * cr + b * zr;
        ci = a * ci + b * zi;
        if ((++samples_ & 15) == 0 || inverseMagnitude_ == 0.0) {
            const double m = std::sqrt(cr * cr + ci * ci);
            inverseMagnitude_ = m > 0.0 ? 1.0 / m : 0.0;
            if ((samples_ & 4095) == 0) {
                const double t = 1.0 / std::sqrt(tr * tr + ti * ti);
                tr *= t;
                ti *= t;
            }
        }
        // In phase with the carrier: both sidebands of an amplitude-modulated tone add up here.
        const double inPhase = (zr * cr + zi * ci) * inverseMagnitude_;
        if (samples_ & 1) {
            pair_ = inPhase;
        } else {
            Slot((pair_ + inPhase) * slotScale_, onRow);
        }
    }
    turn_ = {tr, ti};
    carrier_ = {cr, ci};
}

void SidebandCombiner::Slot(double value, const std::function<void(const double*)>& onRow) {
    half_[slots_ % kSlotsPerRow] = value;
    if (++slots_ % kSlotsPerRow != 0) return;
    // The half just completed, all lines side by side (no line's sum waits on another's).
    const size_t n = lines_.size();
    double* sums = newerHalf_.data();
    std::fill(sums, sums + 2 * n, 0.0);
    for (int t = 0; t < kSlotsPerRow; ++t) {
        const double x = half_[t];
        const double* w = &twiddle_[static_cast<size_t>(t) * n * 2];
        for (size_t j = 0; j < 2 * n; ++j) sums[j] += x * w[j];
    }
    for (size_t i = 0; i < n; ++i) {
        const double re = olderHalf_[2 * i] + secondHalfSign_[i] * sums[2 * i];
        const double im = olderHalf_[2 * i + 1] + secondHalfSign_[i] * sums[2 * i + 1];
        row_[i] = re * re + im * im;
    }
    olderHalf_.swap(newerHalf_);
    onRow(row_.data());
}

}  // namespace sorv
