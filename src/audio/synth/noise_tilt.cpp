#include "audio/synth/noise_tilt.h"

#include <cmath>
#include <complex>

namespace sorv {

namespace {

constexpr double kLowestCornerHz = 50.0;
constexpr double kReferenceHz = 1000.0;

}  // namespace

NoiseTilt::NoiseTilt(double dbPerOctave, double sampleRate) : sampleRate_(sampleRate) {
    // One pole alone falls 6.02 dB per octave; a zero a fraction of an octave above it stops
    // the fall there, so pole-zero pairs an octave apart average that fraction of the slope.
    const double fraction = std::fabs(dbPerOctave) / (20.0 * std::log10(2.0));
    for (int i = 0; i < kSections; ++i) {
        const double first = kLowestCornerHz * std::exp2(i);
        const double second = first * std::exp2(fraction);
        const double poleHz = dbPerOctave < 0.0 ? first : second;
        const double zeroHz = dbPerOctave < 0.0 ? second : first;
        // Bilinear transform of (1 + s/wz) / (1 + s/wp), the corners prewarped.
        const double cz = 1.0 / std::tan(M_PI * zeroHz / sampleRate);
        const double cp = 1.0 / std::tan(M_PI * poleHz / sampleRate);
        Section& s = sections_[static_cast<size_t>(i)];
        s.b0 = (1.0 + cz) / (1.0 + cp);
        s.b1 = (1.0 - cz) / (1.0 + cp);
        s.a1 = (1.0 - cp) / (1.0 + cp);
    }
    const double atReference = Response(kReferenceHz);
    sections_[0].b0 /= atReference;
    sections_[0].b1 /= atReference;
    // The power gain: the mean of |H|^2 over the band, on a grid fine enough for first-order
    // sections.
    constexpr int kGrid = 4096;
    double sum = 0.0;
    for (int k = 0; k < kGrid; ++k) {
        const double r = Response((k + 0.5) * sampleRate / 2.0 / kGrid);
        sum += r * r;
    }
    powerGain_ = sum / kGrid;
}

double NoiseTilt::Filter(double x) {
    for (Section& s : sections_) {
        const double y = s.b0 * x + s.b1 * s.x1 - s.a1 * s.y1;
        s.x1 = x;
        s.y1 = y;
        x = y;
    }
    return x;
}

double NoiseTilt::Response(double hz) const {
    const std::complex<double> z1 = std::polar(1.0, -2.0 * M_PI * hz / sampleRate_);  // z^-1
    std::complex<double> h = 1.0;
    for (const Section& s : sections_) h *= (s.b0 + s.b1 * z1) / (1.0 + s.a1 * z1);
    return std::abs(h);
}

}  // namespace sorv
