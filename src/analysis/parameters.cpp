// The receiver and search parameter commands: each copies the current values into its dialog
// and writes them back only on OK. None of them recomputes a result; new values take effect at
// the next row or the next analysis command. Those that change what a graph shows (its
// frequencies, captions, period axis or picture) ask for a redraw at once, rather than leaving
// the old picture up until the next four-second tick.
#include <cstdint>
#include <limits>

#include "analysis/band_choice.h"
#include "engine/sorvantel_doc.h"

namespace sorv {

namespace {

int BandChoiceFor(int64_t bandwidth) {
    if (bandwidth >= 3000) return 0;
    if (bandwidth >= 1500) return 1;
    if (bandwidth >= 750) return 2;
    if (bandwidth >= 375) return 3;
    return 4;
}

// The period-scale divisors in dialog order.
constexpr int kScaleChoices[4] = {64, 32, 16, 8};

int ScaleChoiceFor(int divisor) {
    if (divisor == 64) return 0;
    if (divisor == 16) return 2;
    if (divisor == 8) return 3;
    return 1;
}

bool FitsInt(int64_t v) {
    return v >= std::numeric_limits<int>::min() && v <= std::numeric_limits<int>::max();
}

}  // namespace

void CSorvantelDoc::OnSpectralRange() {
    SpectrumDlgValues v;
    v.centreHz = static_cast<int>((static_cast<int64_t>(m_nBandLow) + m_nBandHigh) / 2);
    v.bandwidthChoice = BandChoiceFor(BandWidth());
    if (!m_platform.RunSpectrumDialog(v)) return;
    if (v.bandwidthChoice < 0 || v.bandwidthChoice >= 5) return;
    const BandChoice& choice = kBandChoices[v.bandwidthChoice];
    const int64_t low = static_cast<int64_t>(v.centreHz) - choice.halfWidth;
    const int64_t high = static_cast<int64_t>(v.centreHz) + choice.halfWidth;
    // A centre so near the end of the integer range that an edge would not fit is refused.
    if (!FitsInt(low) || !FitsInt(high)) return;
    m_nBandLow = static_cast<int>(low);
    m_nBandHigh = static_cast<int>(high);
    m_nRowsPerFrame = choice.rowsPerFrame;
    UpdateAllViews();
}

void CSorvantelDoc::OnPeriodRange() {
    PeriodDlgValues v{m_dPeriodMax, m_dPeriodMin};
    if (!m_platform.RunPeriodDialog(v)) return;
    // Stored as typed, in either order and with any sign; the integration guards itself.
    m_dPeriodMax = v.maxPeriod;
    m_dPeriodMin = v.minPeriod;
    UpdateAllViews();
}

void CSorvantelDoc::OnPeriodScale() {
    PerScaleDlgValues v{ScaleChoiceFor(m_nPeriodScale)};
    if (!m_platform.RunPeriodScaleDialog(v)) return;
    if (v.scaleChoice < 0 || v.scaleChoice >= 4) return;
    m_nPeriodScale = kScaleChoices[v.scaleChoice];
    // The designated bin's period window follows the new axis now, not at the next paint.
    if (m_nViewMode == 3) WriteDesignatedPeriodWindow();
    UpdateAllViews();
}

void CSorvantelDoc::OnNominalCarrier() {
    CarrierDlgValues v{m_dCarrierKHz, m_nRxMode};
    if (!m_platform.RunCarrierDialog(v)) return;
    m_dCarrierKHz = v.carrierKHz;
    m_nRxMode = v.rxMode == 0 || v.rxMode == 1 ? v.rxMode : -1;
    UpdateAllViews();
}

void CSorvantelDoc::OnIdentWpm() {
    WpmDlgValues v{m_bAutoWpm, m_nWpm};
    if (!m_platform.RunWpmDialog(v)) return;
    m_bAutoWpm = v.autoWpm ? 1 : 0;
    m_nWpm = v.wpm;
}

void CSorvantelDoc::OnGri() {
    GriDlgValues v{m_dGri};
    if (!m_platform.RunGriDialog(v)) return;
    // SetGri refuses, with a message, a GRI whose length would not fit a ring slot; an
    // accepted value (even an unchanged one) restarts the accumulation.
    if (SetGri(v.gri)) UpdateAllViews();
}

double CSorvantelDoc::RadioFrequencyKHz(double audioHz) const {
    return m_nRxMode == 1 ? m_dCarrierKHz - audioHz / 1000.0 : m_dCarrierKHz + audioHz / 1000.0;
}

}  // namespace sorv
