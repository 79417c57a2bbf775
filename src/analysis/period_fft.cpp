#include "analysis/period_fft.h"

#include <cmath>
#include <utility>

namespace sorv {

namespace {

bool IsPowerOfTwoInRange(int n) { return n >= 1 && n <= kMaxPeriodFftPoints && (n & (n - 1)) == 0; }

void BitReverse(double* re, double* im, int n) {
    for (int i = 0, j = 0; i < n; ++i) {
        if (i < j) {
            std::swap(re[i], re[j]);
            std::swap(im[i], im[j]);
        }
        int bit = n >> 1;
        while (bit > 0 && (j & bit)) {
            j ^= bit;
            bit >>= 1;
        }
        j |= bit;
    }
}

}  // namespace

void BuildPeriodTwiddles(int n, double* cosTab, double* sinTab) {
    const double twoPi = 6.2831853072;
    for (int j = 0; j <= n; ++j) {
        const double a = twoPi * j / n;
        cosTab[j] = std::cos(a);
        sinTab[j] = -std::sin(a);
    }
}

bool PeriodFft(double* re, double* im, int n, const double* cosTab, const double* sinTab) {
    if (!IsPowerOfTwoInRange(n)) return false;
    // Each stage splits every block of 2 * half values into sums (first half) and twiddled
    // differences (second half); the twiddle of butterfly j in a stage is entry j * step.
    for (int half = n / 2, step = 1; half >= 1; half /= 2, step *= 2) {
        for (int j = 0; j < half; ++j) {
            const double c = cosTab[j * step];
            const double s = sinTab[j * step];
            for (int a = j; a < n; a += 2 * half) {
                const int b = a + half;
                const double dr = re[a] - re[b];
                const double di = im[a] - im[b];
                re[a] += re[b];
                im[a] += im[b];
                re[b] = dr * c - di * s;
                im[b] = dr * s + di * c;
            }
        }
    }
    BitReverse(re, im, n);
    return true;
}

}  // namespace sorv
