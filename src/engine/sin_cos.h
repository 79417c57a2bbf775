// Sine and cosine together for the mixer's phase, which stays within [0, 2pi]: a quadrant
// reduction and short Taylor polynomials, accurate to a few units in the last place, and
// several times faster than two library calls. Phases outside [0, 8] use the library.
#pragma once

#include <cmath>

namespace sorv {

inline void SinCos(double phase, double& s, double& c) {
    if (!(phase >= 0.0 && phase <= 8.0)) {
        s = std::sin(phase);
        c = std::cos(phase);
        return;
    }
    // phase = k * pi/2 + r, |r| <= pi/4; pi/2 split in two parts so that k * hi is exact.
    constexpr double kTwoOverPi = 0.63661977236758134308;
    constexpr double kHalfPiHi = 1.57079632673412561417;
    constexpr double kHalfPiLo = 6.07710050650619224932e-11;
    const int k = static_cast<int>(phase * kTwoOverPi + 0.5);
    const double r = (phase - k * kHalfPiHi) - k * kHalfPiLo;
    const double r2 = r * r;
    const double sr = r * (1.0 + r2 * (-1.0 / 6 + r2 * (1.0 / 120 + r2 * (-1.0 / 5040 + r2 * (1.0 / 362880 +
                      r2 * (-1.0 / 39916800 + r2 * (1.0 / 6227020800.0 + r2 * (-1.0 / 1307674368000.0))))))));
    const double cr = 1.0 + r2 * (-0.5 + r2 * (1.0 / 24 + r2 * (-1.0 / 720 + r2 * (1.0 / 40320 + r2 * (-1.0 / 3628800 +
                      r2 * (1.0 / 479001600.0 + r2 * (-1.0 / 87178291200.0 + r2 * (1.0 / 20922789888000.0))))))));
    switch (k & 3) {
        case 0: s = sr; c = cr; break;
        case 1: s = cr; c = -sr; break;
        case 2: s = -sr; c = -cr; break;
        default: s = -cr; c = sr; break;
    }
}

}  // namespace sorv
