// Loran-C accumulation: every sample is added into the sum for its phase within the group
// repetition interval; a new slot of the 256-slot history begins about every ten seconds.
#include <algorithm>
#include <cmath>

#include "engine/sorvantel_doc.h"

namespace sorv {

namespace {

constexpr double kMaxGri = 34132.0;

double LengthInSamples(double gri) { return gri / 100000.0 * 48000.0; }

// A slot holds 16384 sums: the length, rounded, must index inside it. The GRI dialog's limit
// 34132 keeps it there; the comparisons stay in double so that no huge value is ever converted.
bool GriFitsSlot(double gri) {
    if (!std::isfinite(gri) || !(gri > 0.0) || gri > kMaxGri) return false;
    const double length = LengthInSamples(gri);
    return length > 0.0 && std::floor(length + 0.5) < kLoranSlotLength;
}

}  // namespace

void CSorvantelDoc::LoranAccumulate(int x) {
    // Clamped in double first: with a GRI shorter than one sample the position never wraps.
    double rounded = m_dLoranPos + 0.5;
    if (!(rounded >= 0.0)) rounded = 0.0;
    if (rounded > kLoranSlotLength - 1.0) rounded = kLoranSlotLength - 1.0;
    const int j = static_cast<int>(rounded);
    m_loranRing[m_nLoranSlot][j] += x;
    m_dLoranPos += 1.0;
    if (m_dLoranPos > m_dLoranLength) m_dLoranPos -= m_dLoranLength;
}

void CSorvantelDoc::LoranSlotClock() {
    const int64_t t = m_platform.NowUtc();
    if (t - m_tLoranSlotStart > 10) {
        m_tLoranSlotStart = m_platform.NowUtc();
        m_nLoranSlot = (m_nLoranSlot + 1) % kLoranSlots;
        std::fill_n(m_loranRing[m_nLoranSlot], kLoranSlotLength, 0.0);
    }
}

void CSorvantelDoc::LoranReset() {
    m_dLoranLength = LengthInSamples(m_dGri);
    m_nLoranSlot = 0;
    m_dLoranPos = 0.0;
    std::fill_n(&m_loranRing[0][0], static_cast<size_t>(kLoranSlots) * kLoranSlotLength, 0.0);
}

bool CSorvantelDoc::SetGri(double gri) {
    if (!GriFitsSlot(gri)) {
        m_platform.ShowMessage("The GRI must be greater than 0 and at most 34132.");
        return false;
    }
    m_dGri = gri;
    LoranReset();
    return true;
}

}  // namespace sorv
