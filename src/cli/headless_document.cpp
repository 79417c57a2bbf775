#include "cli/headless_document.h"

namespace sorv {

namespace {

struct BandChoice {
    double width;
    int halfWidth;
    int rowsPerFrame;
};

// The five choices of the spectral range dialog; the two narrowest are 376 and 188 Hz wide.
constexpr BandChoice kBandChoices[] = {
    {3000.0, 1500, 1}, {1500.0, 750, 2}, {750.0, 375, 4}, {375.0, 188, 8}, {187.5, 94, 16},
};

}  // namespace

HeadlessDocument::HeadlessDocument(std::ostream& messages) : platform(messages) {
    doc = std::make_unique<CSorvantelDoc>(platform);
    platform.Attach(doc.get());
    platform.onViewsUpdated = [this] { watcher.OnViewsUpdated(*doc); };
}

void ApplyAnalysisSettings(CSorvantelDoc& doc, const AnalysisSettings& s) {
    if (s.centreHz || s.bandwidthHz) {
        // The dialog opens on centre 1000 and the 1.5 kHz width for the start-up band.
        const int centre = s.centreHz.value_or(1000);
        const double width = s.bandwidthHz.value_or(1500.0);
        for (const BandChoice& c : kBandChoices) {
            if (c.width != width) continue;
            doc.m_nBandLow = centre - c.halfWidth;
            doc.m_nBandHigh = centre + c.halfWidth;
            doc.m_nRowsPerFrame = c.rowsPerFrame;
        }
    }
    if (s.toneMin) doc.m_dAutoToneMin = *s.toneMin;
    if (s.toneMax) doc.m_dAutoToneMax = *s.toneMax;
    if (s.periodMin) doc.m_dAutoPeriodMin = *s.periodMin;
    if (s.periodMax) doc.m_dAutoPeriodMax = *s.periodMax;
    if (s.carrierKHz) doc.m_dCarrierKHz = *s.carrierKHz;
    if (s.rxMode >= 0) doc.m_nRxMode = s.rxMode;
    if (s.wpm) {
        doc.m_bAutoWpm = 0;
        doc.m_nWpm = *s.wpm;
    }
    if (s.periodScale) doc.m_nPeriodScale = *s.periodScale;
    doc.m_bSensitiveDetection = s.sensitive ? 1 : 0;
    doc.m_bLogCheck = s.logDir.empty() ? 0 : 1;
    if (!s.logDir.empty()) doc.m_strLogDirectory = s.logDir.back() == '/' ? s.logDir : s.logDir + '/';
}

}  // namespace sorv
