// The period search's own transform: radix-2 decimation in frequency for any power of two up
// to 65536 points, in place, followed by the bit-reversal permutation. Separate from the fixed
// 128-point transform of the spectrogram producer.
#pragma once

namespace sorv {

constexpr int kMaxPeriodFftPoints = 65536;

// Twiddles for an n-point transform, j = 0..n: cosTab[j] = cos(2 pi j / n) and
// sinTab[j] = -sin(2 pi j / n). Both tables hold n + 1 values.
void BuildPeriodTwiddles(int n, double* cosTab, double* sinTab);

// X(k) = sum over j of x(j) e^(-2 pi i jk/n), unscaled, in natural order on return.
// Returns false (and leaves the data alone) unless n is a power of two from 1 to 65536.
bool PeriodFft(double* re, double* im, int n, const double* cosTab, const double* sinTab);

}  // namespace sorv
