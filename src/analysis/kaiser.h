// The Kaiser window, for the low-pass filters of the detector's front end, its keying spectra
// and the survey's channels.
#pragma once

#include <algorithm>
#include <cmath>

namespace sorv {

// The modified Bessel function of the first kind, order 0, by its power series.
inline double BesselI0(double x) {
    double sum = 1.0, term = 1.0;
    for (int k = 1; k < 60; ++k) {
        term *= (x / (2.0 * k)) * (x / (2.0 * k));
        sum += term;
        if (term < 1e-17 * sum) break;
    }
    return sum;
}

// The window at r, from -1 at one end to 1 at the other, for the shape beta.
inline double KaiserAt(double r, double beta) {
    return BesselI0(beta * std::sqrt(std::max(0.0, 1.0 - r * r))) / BesselI0(beta);
}

}  // namespace sorv
