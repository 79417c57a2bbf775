// The two sidebands of a beacon combined against its carrier. A beacon that keys its tone by
// amplitude modulation sends it on both sides of the carrier, in phase with it: with the
// carrier's phase taken out of the channel's baseband, the real part holds both sidebands
// added coherently and only half the noise, so the keyed tone stands 3 dB higher above its
// noise than in either sideband alone (a synchronous AM detector).
//
// The combined signal is turned into rows the way the engine turns the channel's audio into
// rows (the same decimated rate, 128-slot frames with the 0.7 factor, a row every 64 slots,
// the same normalisation), but only for the lines of the two tone ranges, so that it costs
// almost nothing beside the engine.
#pragma once

#include <complex>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

#include "survey/line_history.h"

namespace sorv {

class SidebandCombiner {
public:
    // carrierHz: where the carrier lies in the baseband (near 0); gain: counts per full-scale
    // unit, as the channel's audio is scaled; lines: the producer's line numbers to make.
    SidebandCombiner(double carrierHz, double gain, std::vector<int> lines);

    // Baseband samples at 4800 a second; each completed row (the lines' powers, in the order
    // given) goes to onRow.
    void Add(const std::complex<float>* baseband, size_t count, const std::function<void(const double*)>& onRow);
    // The same, appending the rows.
    void Add(const std::complex<float>* baseband, size_t count, LineHistory& rows) {
        Add(baseband, count, [&rows](const double* row) { rows.AddRow(row); });
    }

private:
    void Slot(double value, const std::function<void(const double*)>& onRow);

    std::vector<int> lines_;
    // A frame is two halves of 64 slots, and each half is the newer of one row's frame and the
    // older of the next: each line's sum over a half is made once and serves two rows.
    // twiddle_[t * lines * 2 + 2 * i]: line i's factor for slot t of a half (re, im).
    std::vector<double> twiddle_;
    std::vector<double> olderHalf_, newerHalf_;   // per line, re and im
    std::vector<double> secondHalfSign_;          // per line: its factor's turn over 64 slots
    std::complex<double> step_;                   // the carrier offset's rotation per sample
    std::complex<double> turn_{1.0, 0.0};
    std::complex<double> carrier_{0.0, 0.0};      // the carrier, smoothed
    double smoothing_ = 0.0;
    double inverseMagnitude_ = 0.0;  // of the smoothed carrier, renewed every 16 samples
    double slotScale_ = 0.0;
    uint64_t samples_ = 0;
    double pair_ = 0.0;
    double half_[64] = {};
    int slots_ = 0;
    std::vector<double> row_;
};

}  // namespace sorv
