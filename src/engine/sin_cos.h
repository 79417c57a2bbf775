// Sine and cosine together for the mixer's phase, which stays within [0, 2pi]: a quadrant
// reduction and short Taylor polynomials, accurate to a few units in the last place, and
// several times faster than two library calls. Phases outside [0, 8] use the library.
//
// The reduction and the polynomials are templates so that the block mixer can evaluate the
// very same operations, in the same order, on vectors of phases: its results are then those
// of SinCos bit for bit, lane by lane.
#pragma once

#include <cmath>

namespace sorv {

namespace sin_cos_detail {

// Phases in [0, kMaxPolynomialPhase] take the polynomial path.
constexpr double kMaxPolynomialPhase = 8.0;

constexpr double kTwoOverPi = 0.63661977236758134308;
// pi/2 split in two parts so that k * kHalfPiHi is exact.
constexpr double kHalfPiHi = 1.57079632673412561417;
constexpr double kHalfPiLo = 6.07710050650619224932e-11;

// phase = k * pi/2 + r with |r| <= pi/4; kd is k as a double. (Vectors are passed by
// reference: by value, a vector wider than the baseline's would change the calling convention.)
template <typename T>
inline void ReducePhase(const T& phase, const T& kd, T& r) {
    r = (phase - kd * kHalfPiHi) - kd * kHalfPiLo;
}

template <typename T>
inline void SinCosPolynomials(const T& r, T& sr, T& cr) {
    const T r2 = r * r;
    sr = r * (1.0 + r2 * (-1.0 / 6 + r2 * (1.0 / 120 + r2 * (-1.0 / 5040 + r2 * (1.0 / 362880 +
         r2 * (-1.0 / 39916800 + r2 * (1.0 / 6227020800.0 + r2 * (-1.0 / 1307674368000.0))))))));
    cr = 1.0 + r2 * (-0.5 + r2 * (1.0 / 24 + r2 * (-1.0 / 720 + r2 * (1.0 / 40320 + r2 * (-1.0 / 3628800 +
         r2 * (1.0 / 479001600.0 + r2 * (-1.0 / 87178291200.0 + r2 * (1.0 / 20922789888000.0))))))));
}

}  // namespace sin_cos_detail

inline void SinCos(double phase, double& s, double& c) {
    using namespace sin_cos_detail;
    if (!(phase >= 0.0 && phase <= kMaxPolynomialPhase)) {
        s = std::sin(phase);
        c = std::cos(phase);
        return;
    }
    const int k = static_cast<int>(phase * kTwoOverPi + 0.5);
    double r, sr, cr;
    ReducePhase(phase, static_cast<double>(k), r);
    SinCosPolynomials(r, sr, cr);
    switch (k & 3) {
        case 0: s = sr; c = cr; break;
        case 1: s = cr; c = -sr; break;
        case 2: s = -sr; c = -cr; break;
        default: s = -cr; c = sr; break;
    }
}

}  // namespace sorv
