// The spectrogram's 128-point transform: in-place radix-2 decimation in frequency on the
// 1-based arrays m_fftA/m_fftB, positive-exponent kernel, bit reversal after the butterflies.
#include <cmath>

#include "engine/sorvantel_doc.h"

namespace sorv {

void CSorvantelDoc::BuildFftTables() {
    for (int k = 0; k <= 128; ++k) {
        const double angle = k * 6.2831853072 * 0.0078125;
        m_twCos[k] = std::cos(angle);
        m_twSin[k] = -std::sin(angle);
    }
}

void CSorvantelDoc::Fft(int m, int n, int d, int normalise) {
    double* A = m_fftA;
    double* B = m_fftB;
    for (int l = 0; l < m; ++l) {
        const int half = 1 << (m - 1 - l);
        const int span = 2 * half;
        const int step = 1 << l;
        for (int j = 1; j <= half; ++j) {
            const double c = m_twCos[(j - 1) * step];
            const double s = m_twSin[(j - 1) * step];
            for (int i = j; i <= n; i += span) {
                const int ip = i + half;
                const double a = A[i] - A[ip];
                const double b = B[i] - B[ip];
                A[i] += A[ip];
                B[i] += B[ip];
                A[ip] = a * c + b * s;
                B[ip] = b * c - a * s;
            }
        }
    }
    int j = 1;
    for (int i = 1; i <= n - 1; ++i) {
        if (i < j) {
            std::swap(A[i], A[j]);
            std::swap(B[i], B[j]);
        }
        int k = n / 2;
        while (k < j) {
            j -= k;
            k /= 2;
        }
        j += k;
    }
    if (normalise == 1) {
        for (int i = 1; i <= d; ++i) {
            A[i] /= d;
            B[i] /= d;
        }
    }
}

}  // namespace sorv
