// Coloured noise: white noise through a filter whose response falls (or rises) by a number of
// dB per octave, as band noise, atmospherics and receivers' audio stages tilt it. A cascade of
// first-order shelves, one pole and one zero per octave from 50 Hz up, gives the slope to
// within about half a dB from 50 Hz to 10 kHz; below and above, the spectrum is flat. The
// response is 1 at 1000 Hz, so the noise density around the tones, and with it the SNR in
// 2500 Hz, is that of the white noise it replaces.
#pragma once

#include <array>

namespace sorv {

class NoiseTilt {
public:
    static constexpr double kMaxDbPerOctave = 6.0;

    NoiseTilt() = default;
    NoiseTilt(double dbPerOctave, double sampleRate);  // |dbPerOctave| <= kMaxDbPerOctave

    double Filter(double x);
    // |H| at a frequency.
    double Response(double hz) const;
    // The filtered noise's power over the white noise's.
    double PowerGain() const { return powerGain_; }

private:
    static constexpr int kSections = 8;
    struct Section {
        double b0 = 1.0, b1 = 0.0, a1 = 0.0;
        double x1 = 0.0, y1 = 0.0;
    };
    std::array<Section, kSections> sections_{};
    double sampleRate_ = 48000.0;
    double powerGain_ = 1.0;
};

}  // namespace sorv
