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
    twiddles_.resize(lines_.size() * 128);
    for (size_t i = 0; i < lines_.size(); ++i) {
        const int k = lines_[i] - kChannelCarrierLine;
        for (int t = 0; t < 128; ++t) twiddles_[i * 128 + static_cast<size_t>(t)] = std::polar(0.7 / 128.0, -2.0 * M_PI * k * t / 128.0);
    }
}

void SidebandCombiner::Add(const std::complex<float>* baseband, size_t count, LineHistory& rows) {
    for (size_t i = 0; i < count; ++i) {
        const std::complex<double> z = std::complex<double>(baseband[i]) * turn_;
        turn_ *= step_;
        if ((++samples_ & 4095) == 0) turn_ /= std::abs(turn_);
        carrier_ = smoothing_ * carrier_ + (1.0 - smoothing_) * z;
        const double magnitude = std::abs(carrier_);
        // In phase with the carrier: both sidebands of an amplitude-modulated tone add up here.
        const double inPhase = magnitude > 0.0 ? (z.real() * carrier_.real() + z.imag() * carrier_.imag()) / magnitude : 0.0;
        if (samples_ & 1) {
            pair_ = inPhase;
        } else {
            Slot((pair_ + inPhase) * slotScale_, rows);
        }
    }
}

void SidebandCombiner::Slot(double value, LineHistory& rows) {
    ring_[ringPos_] = value;
    ringPos_ = (ringPos_ + 1) % 128;
    if (++slots_ % kSlotsPerRow != 0) return;
    // The frame oldest first, from the slot that will be overwritten next.
    for (size_t i = 0; i < lines_.size(); ++i) {
        const std::complex<double>* w = &twiddles_[i * 128];
        std::complex<double> sum(0.0, 0.0);
        for (int t = 0; t < 128; ++t) sum += ring_[(ringPos_ + t) % 128] * w[t];
        row_[i] = std::norm(sum);
    }
    rows.AddRow(row_.data());
}

}  // namespace sorv
