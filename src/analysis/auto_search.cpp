// The searches over the lines of a recording. The semi-automatic search walks line by line to
// the first clear period peak; the automatic search sweeps the subcarrier range, refines every
// clear peak by folding, and integrates and decodes the periods that show keying.
#include <cmath>
#include <vector>

#include "analysis/peak_window.h"
#include "analysis/period_refinement.h"
#include "engine/sorvantel_doc.h"
#include "engine/text_format.h"

namespace sorv {

namespace {

constexpr double kSemiAutoK = 4.0;
constexpr double kAutoK = 2.0;
constexpr double kAcceptScore = 80.0;
constexpr double kAcceptedHalfRange = 0.02;  // seconds either side of the best period

PeakWindowInput WindowInput(const CSorvantelDoc& doc) {
    PeakWindowInput in;
    in.spectrum = doc.m_pPeriodSpectrum.data();
    in.periodBins = static_cast<int>(doc.m_pPeriodSpectrum.size()) < doc.m_nPeriodBins
                        ? 0  // never judge more bins than the spectrum holds
                        : doc.m_nPeriodBins;
    in.periodScale = doc.m_nPeriodScale;
    in.rowRate = doc.RowRate();
    in.periodMin = doc.m_dAutoPeriodMin;
    in.periodMax = doc.m_dAutoPeriodMax;
    return in;
}

// The line nearest to an audio frequency, as a double so that it can be limited first.
double LineOfTone(double toneHz, int bandLow, double bandWidth) {
    return std::trunc((toneHz - bandLow) / bandWidth * 128.0 + 0.5);
}

}  // namespace

void CSorvantelDoc::OnAutoSetup() {
    AutoParmDlgValues v{m_dAutoToneMin, m_dAutoToneMax, m_dAutoPeriodMin, m_dAutoPeriodMax};
    if (!m_platform.RunAutoParmDialog(v)) return;
    m_dAutoToneMin = v.toneMin;
    m_dAutoToneMax = v.toneMax;
    m_dAutoPeriodMin = v.periodMin;
    m_dAutoPeriodMax = v.periodMax;
}

void CSorvantelDoc::OnSemiAutoFwd() { SemiAutoSearch(+1); }

void CSorvantelDoc::OnSemiAutoBack() { SemiAutoSearch(-1); }

// Steps line by line (up or down) until a line's period spectrum holds a peak, and
// designates its strongest candidate; at the band's edge it stops where it is.
void CSorvantelDoc::SemiAutoSearch(int step) {
    // Without rows the period search leaves the previous spectrum in place: judging it again
    // would designate a peak of some other line.
    if (m_nRows < 1) return;
    while (step > 0 ? m_nLine < 127 : m_nLine > 0) {
        m_nLine += step;
        OnPeriodSearch();
        const std::vector<int> candidates = FindPeakCandidates(WindowInput(*this), kSemiAutoK);
        if (!candidates.empty()) {
            m_nPeriodBin = candidates.front();
            // Integrate right after uses Tp +- 0.5 s, painted or not (a minimised window is not).
            WriteDesignatedPeriodWindow();
            UpdateAllViews();
            return;
        }
    }
}

void CSorvantelDoc::OnAutoSearch() {
    if (m_bSensitiveDetection) {
        SensitiveAutoSearch();
        return;
    }
    m_bAutoSearching = 1;
    m_platform.SetWaitCursor(true);
    m_strIdent.clear();

    const double bw = static_cast<double>(BandWidth());
    const double R = RowRate();
    // Lines of the subcarrier range; an empty store or band has nothing to search.
    double first = -1.0, last = -2.0;
    if (m_nRows >= 1 && bw > 0 && R > 0.0) {
        first = LineOfTone(m_dAutoToneMin, m_nBandLow, bw);
        last = LineOfTone(m_dAutoToneMax, m_nBandLow, bw);
        if (std::isnan(first) || std::isnan(last)) first = 1.0, last = 0.0;
        if (first < 0.0) first = 0.0;
        if (last > 127.0) last = 127.0;
    }

    if (first <= last) {
        PeriodRefiner refiner(m_nRows, R);
        std::vector<double> series(static_cast<size_t>(m_nRows));
        for (int i = static_cast<int>(first); i <= static_cast<int>(last); ++i) {
            m_nLine = i;
            SetTitle(FormatC("Sorvantel from KELD - analysing %1.1lf Hz", LineFrequency(i)));
            OnPeriodSearch();
            const std::vector<int> candidates = FindPeakCandidates(WindowInput(*this), kAutoK);
            if (candidates.empty()) continue;

            // The line's power history, contiguous, so that each trial reads it in order.
            for (int j = 0; j < m_nRows; ++j) series[static_cast<size_t>(j)] = m_power[j][i];
            const double c = PeriodBinWidth(R, m_nPeriodBins);
            for (int k : candidates) {
                const RefinementResult r = refiner.Refine(series.data(), TrialRangeForBin(k, c));
                if (!(r.bestPeriod > 0.0) || !(r.bestScore > kAcceptScore)) continue;
                m_nLine = i;
                // Only marks a period as designated; the integration reads the range.
                m_nPeriodBin = r.bestPeriod < 2147483647.0 ? static_cast<int>(r.bestPeriod) : 2147483647;
                m_dPeriodMin = r.bestPeriod - kAcceptedHalfRange;
                m_dPeriodMax = r.bestPeriod + kAcceptedHalfRange;
                OnIntegrate();
                OnIdent();
            }
        }
    }

    m_platform.SetWaitCursor(false);
    m_bAutoSearching = 0;
}

}  // namespace sorv
