// The spectrogram's 128-point transform: in-place radix-2 decimation in frequency on the
// 1-based arrays m_fftA/m_fftB, positive-exponent kernel, bit reversal after the butterflies.
#include <cmath>
#include <cstring>

#include "engine/sorvantel_doc.h"

namespace sorv {

void CSorvantelDoc::BuildFftTables() {
    for (int k = 0; k <= 128; ++k) {
        const double angle = k * 6.2831853072 * 0.0078125;
        m_twCos[k] = std::cos(angle);
        m_twSin[k] = -std::sin(angle);
    }
}

namespace {

// Two neighbouring butterflies side by side (SSE2, every x86-64 processor has it).
typedef double Pair __attribute__((vector_size(16)));

Pair LoadPair(const double* p) {
    Pair v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

void StorePair(double* p, Pair v) { std::memcpy(p, &v, sizeof v); }

}  // namespace

void CSorvantelDoc::Fft(int m, int n, int d, int normalise) {
    double* A = m_fftA;
    double* B = m_fftB;
    // The butterflies of one stage touch disjoint pairs of points, so they may be taken in any
    // order: neighbouring twiddle indices j and j + 1 go together, each lane doing exactly the
    // operations of the one-at-a-time loop. Only whole blocks of 2^m points are paired.
    const bool paired = m >= 1 && m < 31 && n == (1 << m);
    for (int l = 0; l < m; ++l) {
        const int half = 1 << (m - 1 - l);
        const int span = 2 * half;
        const int step = 1 << l;
        int j = 1;
        if (paired) {
            for (; j + 1 <= half; j += 2) {
                const Pair c = {m_twCos[(j - 1) * step], m_twCos[j * step]};
                const Pair s = {m_twSin[(j - 1) * step], m_twSin[j * step]};
                for (int i = j; i <= n; i += span) {
                    const int ip = i + half;
                    const Pair ai = LoadPair(A + i), aip = LoadPair(A + ip);
                    const Pair bi = LoadPair(B + i), bip = LoadPair(B + ip);
                    const Pair a = ai - aip;
                    const Pair b = bi - bip;
                    StorePair(A + i, ai + aip);
                    StorePair(B + i, bi + bip);
                    StorePair(A + ip, a * c + b * s);
                    StorePair(B + ip, b * c - a * s);
                }
            }
        }
        for (; j <= half; ++j) {
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
        // Dividing by a power of two is multiplying by its reciprocal, exactly; a division is
        // many times slower.
        const bool powerOfTwo = d > 0 && (d & (d - 1)) == 0;
        const double reciprocal = 1.0 / d;
        for (int i = 1; i <= d; ++i) {
            if (powerOfTwo) {
                A[i] *= reciprocal;
                B[i] *= reciprocal;
            } else {
                A[i] /= d;
                B[i] /= d;
            }
        }
    }
}

}  // namespace sorv
