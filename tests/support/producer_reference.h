// The spectrogram producer written plainly: one sample per call, every parameter read afresh,
// the library-free sine and cosine of engine/sin_cos.h, the transform one butterfly at a time. The product's block step must give
// the same document state as this, bit for bit; tests and benchmarks compare the two.
// Band edges are summed and subtracted in 64 bits, so that extreme edges are defined here too.
#pragma once

#include <cmath>
#include <cstdint>
#include <utility>
#include <string>

#include "engine/sin_cos.h"
#include "engine/sorvantel_doc.h"
#include "engine/text_format.h"

namespace sorv::test {

// The 128-point transform one butterfly at a time, on the document's work area and twiddles.
inline void ReferenceFft(CSorvantelDoc& doc, int m, int n, int d, int normalise) {
    double* A = doc.m_fftA;
    double* B = doc.m_fftB;
    for (int l = 0; l < m; ++l) {
        const int half = 1 << (m - 1 - l);
        const int span = 2 * half;
        const int step = 1 << l;
        for (int j = 1; j <= half; ++j) {
            const double c = doc.m_twCos[(j - 1) * step];
            const double s = doc.m_twSin[(j - 1) * step];
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

inline void ReferenceRowTitle(CSorvantelDoc& doc, int n) {
    const int64_t w = static_cast<int64_t>(doc.m_nBandHigh) - doc.m_nBandLow;
    const double rowRate =
        w > 0 && doc.m_nRowsPerFrame > 0 ? static_cast<double>(w) / (128.0 / doc.m_nRowsPerFrame) : 0.0;
    const double x = rowRate > 0.0 ? n / rowRate / 10.0 : 0.0;
    const char* base = doc.m_bRecording ? "Sorvantel from KELD - processing and recording audio data"
                                        : "Sorvantel from KELD - processing audio data";
    std::string title;
    if (!(x > 1.0)) {
        title = FormatC("%s (%d samples)", base, n);
    } else {
        const int g = static_cast<int>(10.0 * std::log10(x) + 0.5);
        title = g < 6 ? FormatC("%s (%d samples; +%ddB)", base, n, g)
                      : FormatC("%s (%d samples; +%ddB; %d S-pts)", base, n, g, g / 6);
    }
    doc.SetTitle(title);
}

inline void ReferenceProcessSample(CSorvantelDoc& doc, uint8_t b) {
    if (doc.m_nRows >= kMaxRows) {
        doc.OnStop();
        return;
    }
    const int x = static_cast<int>(b) - 128;
    if (x > 126 || x < -126) doc.m_bClipping = 1;
    doc.m_rawRing[doc.m_nRawPos] = x;
    doc.m_nRawPos = (doc.m_nRawPos + 1) % kRawRingSize;
    if (doc.m_bLoran) {
        doc.LoranAccumulate(x);
        return;
    }

    const int64_t lo = doc.m_nBandLow;
    const int64_t hi = doc.m_nBandHigh;
    const double inc = static_cast<double>(hi + lo) * 3.1415926536 / 48000.0;
    const int64_t width = hi - lo;
    int D = width > 0 ? static_cast<int>(48000 / width) : 1;
    if (D < 1) D = 1;

    const int p = doc.m_nRingPos;
    double sinPhase, cosPhase;
    SinCos(doc.m_dPhase, sinPhase, cosPhase);
    const double c = cosPhase * x;
    const double s = sinPhase * x;
    if (doc.m_nDecimCount == 0) {
        doc.m_ringI[p] = c;
        doc.m_ringQ[p] = s;
    } else {
        doc.m_ringI[p] += c;
        doc.m_ringQ[p] += s;
    }
    doc.m_dPhase += inc;
    if (doc.m_dPhase > 6.2831853) doc.m_dPhase -= 6.2831853;

    doc.m_nDecimCount += 1;
    if (doc.m_nDecimCount < D) return;
    doc.m_nDecimCount = 0;
    doc.m_nRingPos = (doc.m_nRingPos + 1) % kLines;

    const int R = doc.m_nRowsPerFrame >= 1 && doc.m_nRowsPerFrame <= 128 ? doc.m_nRowsPerFrame : 1;
    const int S = 128 / R;
    if (doc.m_nRingPos % S != 0) return;

    for (int k = 0; k < 128; ++k) {
        const int t = (doc.m_nRingPos + k) % 128;
        doc.m_fftA[k + 1] = 0.7 * doc.m_ringQ[t];
        doc.m_fftB[k + 1] = 0.7 * doc.m_ringI[t];
    }
    ReferenceFft(doc, 7, 128, 128, 1);
    double* powerRow = doc.m_power[doc.m_nRows];
    int* levelRow = doc.m_level[doc.m_nRows];
    for (int j = 0; j < 128; ++j) {
        const double P = doc.m_fftA[j + 1] * doc.m_fftA[j + 1] + doc.m_fftB[j + 1] * doc.m_fftB[j + 1];
        const int l = j < 64 ? 63 - j : 191 - j;
        powerRow[l] = P;
        int level = 0;
        if (P > 1e-9) {
            const double v = std::sqrt(P) * 60.0 / D;
            level = v > 255.0 ? 255 : static_cast<int>(v);
        }
        levelRow[l] = level;
    }
    doc.m_nRows += 1;
    const int n = doc.m_nRows;
    ReferenceRowTitle(doc, n);
    if (n == kMaxRows) {
        doc.OnStop();
    } else {
        doc.UpdateAllViews();
    }
}

// What the capture handler does with one buffer: clipping cleared, then every byte through
// the step while processing runs. Returns how many bytes were taken.
inline size_t ReferenceProcessAudioBlock(CSorvantelDoc& doc, const uint8_t* samples, size_t count) {
    if (!doc.m_bProcessing) return 0;
    doc.m_bClipping = 0;
    size_t i = 0;
    for (; i < count && doc.m_bProcessing; ++i) ReferenceProcessSample(doc, samples[i]);
    return i;
}

}  // namespace sorv::test
