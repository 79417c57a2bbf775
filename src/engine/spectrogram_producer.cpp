// The per-sample step: clipping, raw ring, quadrature mixing to the band centre, decimation into
// the 128-slot ring, and one 128-point transform per row. Runs 48000 times per second of audio
// on the UI thread, so it allocates nothing and touches only the document's fixed stores.
//
// The samples of a buffer are taken in runs. A run ends where a row is completed (or the store
// is full), because only there does the step call out: the title, the redraw request, Stop.
// Within a run nothing can change the band, the mode or any other field, so the parameters
// are read once per run; after each call out everything is read afresh, and a change made by
// whatever was called takes effect at the next sample, as when each sample read them itself.
// The results are those of the one-sample-at-a-time step bit for bit: the same phases, the same
// products, the slot sums added in sample order.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string_view>

#include "engine/oscillator_run.h"
#include "engine/quadrature_mixer.h"
#include "engine/sorvantel_doc.h"

namespace sorv {

namespace {

// What the band fields give the step, read at the start of each run.
struct Band {
    double increment;  // oscillator phase per sample
    int decimation;    // mixed samples summed into one ring slot
    int slotsPerRow;   // ring slots between two rows
};

Band ReadBand(const CSorvantelDoc& doc) {
    const int R = doc.m_nRowsPerFrame >= 1 && doc.m_nRowsPerFrame <= 128 ? doc.m_nRowsPerFrame : 1;
    return {doc.MixerIncrement(), doc.Decimation(), 128 / R};
}

// How many more samples complete the next row.
size_t SamplesToNextRow(const CSorvantelDoc& doc, const Band& band) {
    // The slot now filling closes after the rest of its samples, or after the next sample
    // when a band change has left the count at or past the new decimation.
    const int count = doc.m_nDecimCount;
    const size_t toSlotEnd = count < band.decimation ? static_cast<size_t>(band.decimation - count) : 1;
    // The row comes when the ring position reaches the next multiple of the row spacing, or
    // wraps to 0 first (the spacing need not divide 128).
    const int pos = doc.m_nRingPos;
    const int nextMultiple = (pos / band.slotsPerRow + 1) * band.slotsPerRow;
    const int slots = std::min(nextMultiple, kLines) - pos;
    return toSlotEnd + static_cast<size_t>(slots - 1) * static_cast<size_t>(band.decimation);
}

// Clipping flag and raw ring for n samples.
void KeepRawSamples(CSorvantelDoc& doc, const uint8_t* __restrict samples, size_t n) {
    unsigned clipped = 0;
    int pos = doc.m_nRawPos;
    for (size_t j = 0; j < n;) {
        const size_t piece = std::min(n - j, static_cast<size_t>(kRawRingSize - pos));
        int* __restrict ring = doc.m_rawRing + pos;
        for (size_t k = 0; k < piece; ++k) {
            const uint8_t b = samples[j + k];
            clipped |= static_cast<uint8_t>(b - 2) > 252;  // 255, 0 or 1: x > 126 or x < -126
            ring[k] = static_cast<int>(b) - 128;
        }
        j += piece;
        pos = (pos + static_cast<int>(piece)) % kRawRingSize;
    }
    doc.m_nRawPos = pos;
    if (clipped) doc.m_bClipping = 1;
}

// n samples of which none but possibly the last completes a row: mixed and summed into the
// ring slots, a slot closing after its decimation's worth.
void MixRun(CSorvantelDoc& doc, const uint8_t* samples, size_t n, const Band& band) {
    KeepRawSamples(doc, samples, n);
    const int decimation = band.decimation;
    int count = doc.m_nDecimCount;
    int slot = doc.m_nRingPos;
    double phase = doc.m_dPhase;
    const OscillatorRun* shared = doc.m_pSharedOscillator;
    const size_t at = doc.m_nSharedOscillatorAt;
    const bool fromShared = shared != nullptr && shared->Holds(at, n, phase, band.increment);
    for (size_t j = 0; j < n;) {
        if (fromShared && count == 0) {
            // Whole slots up to the ring's end, side by side.
            const int slots = static_cast<int>(std::min<size_t>((n - j) / static_cast<size_t>(decimation),
                                                                static_cast<size_t>(kLines - slot)));
            if (slots >= 2) {
                phase = shared->MixSlots(at + j, samples + j, slots, decimation, doc.m_ringI + slot, doc.m_ringQ + slot);
                j += static_cast<size_t>(slots) * static_cast<size_t>(decimation);
                slot = (slot + slots) % kLines;
                continue;
            }
        }
        const size_t take = std::min(n - j, count < decimation ? static_cast<size_t>(decimation - count) : 1);
        // A new slot's sums start from -0.0, the one value whose sum with the first product
        // is that product in every case (+0.0 would turn a first -0.0 into +0.0).
        double sumI = count == 0 ? -0.0 : doc.m_ringI[slot];
        double sumQ = count == 0 ? -0.0 : doc.m_ringQ[slot];
        phase = fromShared ? shared->MixIntoSlot(at + j, samples + j, take, sumI, sumQ)
                           : MixIntoSlot(phase, band.increment, samples + j, take, sumI, sumQ);
        doc.m_ringI[slot] = sumI;
        doc.m_ringQ[slot] = sumQ;
        j += take;
        count += static_cast<int>(take);
        if (count >= decimation) {
            count = 0;
            slot = (slot + 1) % kLines;
        }
    }
    doc.m_dPhase = phase;
    doc.m_nDecimCount = count;
    doc.m_nRingPos = slot;
    doc.m_nSharedOscillatorAt = at + n;
}

void LoranRun(CSorvantelDoc& doc, const uint8_t* samples, size_t n) {
    KeepRawSamples(doc, samples, n);
    for (size_t j = 0; j < n; ++j) doc.LoranAccumulate(static_cast<int>(samples[j]) - 128);
}

// The row-count title, formatted into a fixed buffer so that a row allocates nothing. Only
// integers are formatted, which no locale changes.
void SetRowTitle(CSorvantelDoc& doc, int n) {
    const double w = static_cast<double>(doc.BandWidth());
    const double rowRate = w > 0 && doc.m_nRowsPerFrame > 0 ? w / (128.0 / doc.m_nRowsPerFrame) : 0.0;
    const double x = rowRate > 0.0 ? n / rowRate / 10.0 : 0.0;
    const char* base = doc.m_bRecording ? "Sorvantel from KELD - processing and recording audio data"
                                        : "Sorvantel from KELD - processing audio data";
    char title[160];
    int length;
    if (!(x > 1.0)) {
        length = std::snprintf(title, sizeof title, "%s (%d samples)", base, n);
    } else {
        const int g = static_cast<int>(10.0 * std::log10(x) + 0.5);
        length = g < 6 ? std::snprintf(title, sizeof title, "%s (%d samples; +%ddB)", base, n, g)
                       : std::snprintf(title, sizeof title, "%s (%d samples; +%ddB; %d S-pts)", base, n, g, g / 6);
    }
    doc.SetTitle(std::string_view(title, static_cast<size_t>(std::clamp(length, 0, static_cast<int>(sizeof title) - 1))));
}

// The frame of the last 128 slots, oldest first, through the transform into row m_nRows.
void MakeRow(CSorvantelDoc& doc, int decimation) {
    for (int k = 0; k < 128; ++k) {
        const int t = (doc.m_nRingPos + k) % 128;
        doc.m_fftA[k + 1] = 0.7 * doc.m_ringQ[t];
        doc.m_fftB[k + 1] = 0.7 * doc.m_ringI[t];
    }
    const int order = static_cast<int>(std::log(128.0) / std::log(2.0) + 0.5);
    doc.Fft(order, 128, 128, 1);

    double* powerRow = doc.m_power[doc.m_nRows];
    int* levelRow = doc.m_level[doc.m_nRows];
    for (int j = 0; j < 128; ++j) {
        const double P = doc.m_fftA[j + 1] * doc.m_fftA[j + 1] + doc.m_fftB[j + 1] * doc.m_fftB[j + 1];
        const int l = j < 64 ? 63 - j : 191 - j;
        powerRow[l] = P;
        int level = 0;
        if (P > 1e-9) {
            const double v = std::sqrt(P) * 60.0 / decimation;
            level = v > 255.0 ? 255 : static_cast<int>(v);
        }
        levelRow[l] = level;
    }
    doc.m_nRows += 1;
    const int n = doc.m_nRows;
    SetRowTitle(doc, n);
    if (n == kMaxRows) {
        doc.OnStop();
    } else {
        doc.UpdateAllViews();
    }
}

}  // namespace

size_t CSorvantelDoc::ProduceSamples(const uint8_t* samples, size_t count) {
    size_t taken = 0;
    while (taken < count) {
        if (m_nRows >= kMaxRows) {
            // The store is full: nothing may be written at or beyond row 65536.
            OnStop();
            ++taken;
        } else if (m_bLoran) {
            // Loran-C accumulation never calls out: the rest of the buffer is one run.
            LoranRun(*this, samples + taken, count - taken);
            taken = count;
        } else {
            const Band band = ReadBand(*this);
            const size_t toRow = SamplesToNextRow(*this, band);
            const size_t n = std::min(toRow, count - taken);
            MixRun(*this, samples + taken, n, band);
            taken += n;
            if (n < toRow) break;
            MakeRow(*this, band.decimation);
        }
        if (!m_bProcessing) break;
    }
    return taken;
}

void CSorvantelDoc::ProcessSample(uint8_t b) { ProduceSamples(&b, 1); }

}  // namespace sorv
