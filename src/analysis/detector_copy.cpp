#include "analysis/detector_copy.h"

#include "engine/sorvantel_doc.h"

namespace sorv {

DetectorCopy::DetectorCopy(const FrontEndSettings& settings) {
    usable_ = front_.Configure(settings, rows_);
    if (usable_)
        for (int l = 0; l < rows_.Lines(); ++l)
            storedLine_.push_back(DetectorFrontEnd::StoredLineOfTone(settings, rows_.LineHz(l)));
}

void DetectorCopy::Feed(const uint8_t* samples, size_t count) {
    if (usable_) front_.Feed(samples, count);
}

void DetectorCopy::Purge() {
    purgedAt_ = front_.ProducerRows();
    front_.DropRowsBefore(purgedAt_);
}

// The document's side: made at Start, fed beside the producer, emptied by Purge.

void CSorvantelDoc::ResetDetectorCopy() {
    m_pDetectorCopy.reset();
    if (!m_bSensitiveDetection || m_bLoran) return;
    const FrontEndSettings settings{m_nBandLow, m_nBandHigh, m_nRowsPerFrame, m_dAutoToneMin, m_dAutoToneMax};
    auto copy = std::make_unique<DetectorCopy>(settings);
    if (!copy->Usable()) return;
    m_pDetectorCopy = std::unique_ptr<DetectorCopy, void (*)(DetectorCopy*)>(
        copy.release(), [](DetectorCopy* c) { delete c; });
}

void CSorvantelDoc::FeedDetectorCopy(const uint8_t* samples, size_t count) {
    if (m_pDetectorCopy && !m_bLoran && count > 0) m_pDetectorCopy->Feed(samples, count);
}

void CSorvantelDoc::PurgeDetectorCopy() {
    if (m_pDetectorCopy) m_pDetectorCopy->Purge();
}

const DetectorCopy* CSorvantelDoc::CurrentDetectorCopy() const {
    const DetectorCopy* c = m_pDetectorCopy.get();
    if (!c) return nullptr;
    const FrontEndSettings& s = c->Settings();
    // The same band and tones as the store's, and the same stretch of audio.
    if (s.bandLow != m_nBandLow || s.bandHigh != m_nBandHigh || s.rowsPerFrame != m_nRowsPerFrame ||
        s.toneMin != m_dAutoToneMin || s.toneMax != m_dAutoToneMax || m_bLoran)
        return nullptr;
    if (c->StoreRows() != m_nRows || c->Rows().Rows() > m_nRows || c->Rows().Rows() < m_nRows - c->MostRowsWaiting())
        return nullptr;
    return c;
}

}  // namespace sorv
