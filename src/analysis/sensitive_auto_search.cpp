// The automatic search with the sensitive detector (Tools > Auto search > "Sensitive
// detection"): the same frame as the designed search (wait cursor, one "analysing" title and
// period search per line), the sensitive detector over the lines, and for every ident it
// accepts the same road: designate the line and a period, set the range around it, integrate,
// read the ident from the integration's middle trial, and log it.
#include <cmath>
#include <vector>

#include "analysis/sensitive_decoding.h"
#include "analysis/sensitive_fold.h"
#include "analysis/sensitive_search.h"
#include "engine/sorvantel_doc.h"
#include "engine/text_format.h"

namespace sorv {

namespace {

// The line whose label is nearest to an audio frequency, as a double so that it can be
// limited before it becomes an integer.
double LabelLineOf(double toneHz, int bandLow, double bandWidth) {
    return std::trunc((toneHz - bandLow) / bandWidth * 128.0 + 0.5);
}

struct LineSpan {
    int first = 0;
    int last = -1;
};

// The lines of the subcarrier range. The producer puts a tone one line above the line whose
// label is that tone's frequency, so the search takes one line more below the range: a tone
// at the range's lower edge lies there.
LineSpan SearchedLines(const CSorvantelDoc& doc) {
    const double bw = static_cast<double>(doc.BandWidth());
    if (doc.m_nRows < 1 || bw <= 0) return {};
    double first = LabelLineOf(doc.m_dAutoToneMin, doc.m_nBandLow, bw) - 1.0;
    double last = LabelLineOf(doc.m_dAutoToneMax, doc.m_nBandLow, bw);
    if (std::isnan(first) || std::isnan(last)) return {};
    first = std::max(first, 0.0);
    last = std::min(last, 127.0);
    if (first > last) return {};
    return {static_cast<int>(first), static_cast<int>(last)};
}

UnitRange DocumentUnits(const CSorvantelDoc& doc) {
    return doc.m_bAutoWpm ? AutomaticUnits(doc.RowRate()) : UnitsForSpeed(doc.RowRate(), doc.m_nWpm);
}

}  // namespace

void CSorvantelDoc::OnSensitiveDetection() { m_bSensitiveDetection = m_bSensitiveDetection ? 0 : 1; }

void CSorvantelDoc::SensitiveAutoSearch() {
    m_bAutoSearching = 1;
    m_platform.SetWaitCursor(true);
    m_strIdent.clear();

    const LineSpan span = SearchedLines(*this);
    for (int i = span.first; i <= span.last; ++i) {
        m_nLine = i;
        SetTitle(FormatC("Sorvantel from KELD - analysing %1.1lf Hz", LineFrequency(i)));
        OnPeriodSearch();
    }
    if (span.first <= span.last) {
        SensitiveSearchInput in;
        in.power = m_power.get();
        in.rows = std::min(m_nRows, kMaxRows);
        in.rowRate = RowRate();
        in.firstLine = span.first;
        in.lastLine = span.last;
        in.periodMin = m_dAutoPeriodMin;
        in.periodMax = m_dAutoPeriodMax;
        in.lineHz = static_cast<double>(BandWidth()) / 128.0;
        in.manualWpm = m_bAutoWpm ? 0 : m_nWpm;
        for (const SensitiveDetection& d : RunSensitiveSearch(in)) IdentifyDetection(d.line, d.period);
    }

    m_platform.SetWaitCursor(false);
    m_bAutoSearching = 0;
}

void CSorvantelDoc::IdentifyDetection(int line, double period) {
    if (line < 0 || line >= kLines || !(period > kSensitiveHalfRange) || !std::isfinite(period)) return;
    m_nLine = line;
    // Only marks a period as designated, as the designed search does; the integration reads
    // the range.
    m_nPeriodBin = period < 2147483647.0 ? static_cast<int>(period) : 2147483647;
    m_dPeriodMin = period - kSensitiveHalfRange;
    m_dPeriodMax = period + kSensitiveHalfRange;
    OnIntegrate();
    ReadSensitiveIdent();
}

void CSorvantelDoc::ReadSensitiveIdent() {
    if (!LineIsValid()) return;
    const int n = std::min(m_nTrialRows[256], kPhaseBins - 1);
    std::string text;
    if (n >= 1) {
        // The middle trial's sums come with the counts of rows in each bin, which the same
        // fold of the line gives.
        const double R = RowRate();
        const double P = m_dPeriodMin + (m_dPeriodMax - m_dPeriodMin) * (256 * 0.001953125);
        std::vector<double> series(static_cast<size_t>(m_nRows));
        for (int j = 0; j < m_nRows; ++j) series[static_cast<size_t>(j)] = m_power[j][m_nLine];
        PeriodFold fold;
        if (fold.Fold(series.data(), 0, FoldedRows(m_nRows, R, P), R, P) && fold.Length() == n) {
            std::vector<double> trace(static_cast<size_t>(n));
            TraceFromSums(m_integral[256], fold.Counts(), n, trace.data());
            const KeyingReading reading = ReadKeying(trace.data(), n, DocumentUnits(*this));
            if (reading.plausible) {
                text = reading.text;
                if (m_bAutoWpm) m_nWpm = WpmOfTiming(R, reading.timing);
            }
        }
    }
    m_strIdent = text;
    if (m_bLogCheck && !m_strIdent.empty()) WriteLogEntry();
    if (m_strIdent.empty()) m_strIdent = "...";
    UpdateAllViews();
}

}  // namespace sorv
