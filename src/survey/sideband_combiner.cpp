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
    twiddleRe_.resize(lines_.size() * 128);
    twiddleIm_.resize(lines_.size() * 128);
    for (size_t i = 0; i < lines_.size(); ++i) {
        const int k = lines_[i] - kChannelCarrierLine;
        for (int t = 0; t < 128; ++t) {
            const std::complex<double> w = std::polar(0.7 / 128.0, -2.0 * M_PI * k * t / 128.0);
            twiddleRe_[i * 128 + static_cast<size_t>(t)] = w.real();
            twiddleIm_[i * 128 + static_cast<size_t>(t)] = w.imag();
        }
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
    ring_[ringPos_] = value;
    ringPos_ = (ringPos_ + 1) % 128;
    if (++slots_ % kSlotsPerRow != 0) return;
    // The frame oldest first, from the slot that will be overwritten next.
    double frame[128];
    for (int t = 0; t < 128; ++t) frame[t] = ring_[(ringPos_ + t) % 128];
    for (size_t i = 0; i < lines_.size(); ++i) {
        const double* wr = &twiddleRe_[i * 128];
        const double* wi = &twiddleIm_[i * 128];
        // Four sums side by side: one chain of 128 additions would wait on each of them.
        double sr[4] = {0.0, 0.0, 0.0, 0.0}, si[4] = {0.0, 0.0, 0.0, 0.0};
        for (int t = 0; t < 128; t += 4) {
            for (int k = 0; k < 4; ++k) {
                sr[k] += frame[t + k] * wr[t + k];
                si[k] += frame[t + k] * wi[t + k];
            }
        }
        const double re = (sr[0] + sr[1]) + (sr[2] + sr[3]);
        const double im = (si[0] + si[1]) + (si[2] + si[3]);
        row_[i] = re * re + im * im;
    }
    onRow(row_.data());
}

}  // namespace sorv
