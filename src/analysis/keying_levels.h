// The two levels of a folded, smoothed keying trace that both the ident decoding and the
// automatic search judge it by: the median (g50) and the upper level (g90), each found by the
// same six-step bisection from the same starting guess.
#pragma once

namespace sorv {

struct KeyingLevels {
    double g50 = 0.0;
    double g90 = 0.0;
};

// Circular three-bin sum (not divided by three): y[i] = x[i-1] + x[i] + x[i+1], indexes mod n.
// Needs n >= 1; x and y must not overlap.
void SmoothCircular(const double* x, int n, double* y);

// The level below which about `percent` of the n values lie, by the bisection that starts at
// (3 min + 2 max) / 5 with the step (max - min) / 2 and stops at the tolerance (max - min) / 128.
double BisectLevel(const double* s, int n, int percent);

// g50 and g90 of s[0..n-1]; n >= 1.
KeyingLevels FindKeyingLevels(const double* s, int n);

}  // namespace sorv
