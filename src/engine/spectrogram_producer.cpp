// The per-sample step: clipping, raw ring, quadrature mixing to the band centre, decimation into
// the 128-slot ring, and one 128-point transform per row. Runs 48000 times per second of audio
// on the UI thread, so it allocates nothing and touches only the document's fixed stores.
#include <cmath>

#include "engine/sin_cos.h"
#include "engine/sorvantel_doc.h"
#include "engine/text_format.h"

namespace sorv {

namespace {

void SetRowTitle(CSorvantelDoc& doc, int n) {
    const int w = doc.m_nBandHigh - doc.m_nBandLow;
    const double rowRate = w > 0 && doc.m_nRowsPerFrame > 0 ? w / (128.0 / doc.m_nRowsPerFrame) : 0.0;
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

}  // namespace

void CSorvantelDoc::ProcessSample(uint8_t b) {
    // The store is full: nothing may be written at or beyond row 65536.
    if (m_nRows >= kMaxRows) {
        OnStop();
        return;
    }
    const int x = static_cast<int>(b) - 128;
    if (x > 126 || x < -126) m_bClipping = 1;

    m_rawRing[m_nRawPos] = x;
    m_nRawPos = (m_nRawPos + 1) % kRawRingSize;

    if (m_bLoran) {
        LoranAccumulate(x);
        return;
    }

    const int lo = m_nBandLow;
    const int hi = m_nBandHigh;
    const double inc = (hi + lo) * 3.1415926536 / 48000.0;
    const int width = hi - lo;
    // A band narrower than 1 Hz or inverted has no decimation; treat it as one sample a slot.
    int D = width > 0 ? 48000 / width : 1;
    if (D < 1) D = 1;

    const int p = m_nRingPos;
    double sinPhase, cosPhase;
    SinCos(m_dPhase, sinPhase, cosPhase);
    const double c = cosPhase * x;
    const double s = sinPhase * x;
    if (m_nDecimCount == 0) {
        m_ringI[p] = c;
        m_ringQ[p] = s;
    } else {
        m_ringI[p] += c;
        m_ringQ[p] += s;
    }

    m_dPhase += inc;
    if (m_dPhase > 6.2831853) m_dPhase -= 6.2831853;

    m_nDecimCount += 1;
    // ">=" rather than "==": after a band change to a smaller D the count may already be past it.
    if (m_nDecimCount < D) return;
    m_nDecimCount = 0;
    m_nRingPos = (m_nRingPos + 1) % kLines;

    const int R = m_nRowsPerFrame >= 1 && m_nRowsPerFrame <= 128 ? m_nRowsPerFrame : 1;
    const int S = 128 / R;
    if (m_nRingPos % S != 0) return;

    for (int k = 0; k < 128; ++k) {
        const int t = (m_nRingPos + k) % 128;
        m_fftA[k + 1] = 0.7 * m_ringQ[t];
        m_fftB[k + 1] = 0.7 * m_ringI[t];
    }
    const int order = static_cast<int>(std::log(128.0) / std::log(2.0) + 0.5);
    Fft(order, 128, 128, 1);

    double* powerRow = m_power[m_nRows];
    int* levelRow = m_level[m_nRows];
    for (int j = 0; j < 128; ++j) {
        const double P = m_fftA[j + 1] * m_fftA[j + 1] + m_fftB[j + 1] * m_fftB[j + 1];
        const int l = j < 64 ? 63 - j : 191 - j;
        powerRow[l] = P;
        int level = 0;
        if (P > 1e-9) {
            const double v = std::sqrt(P) * 60.0 / D;
            level = v > 255.0 ? 255 : static_cast<int>(v);
        }
        levelRow[l] = level;
    }
    m_nRows += 1;
    const int n = m_nRows;
    SetRowTitle(*this, n);
    if (n == kMaxRows) {
        OnStop();
    } else {
        UpdateAllViews();
    }
}

}  // namespace sorv
