// Start, Stop, Purge, Record and the Loran-C toggle: the small state machine of processing,
// and the two view timers that drive capture and redraw once something has been started.
#include <algorithm>

#include "engine/sorvantel_doc.h"

namespace sorv {

void CSorvantelDoc::OnStart() {
    // Only a script can reach Start while processing: close the open capture first so that
    // the second open never leaks the first device.
    if (m_bProcessing) {
        if (m_bRecording) FinaliseRecording();
        CloseCapture();
        m_bProcessing = 0;
    }
    ResetForStart();
    // A device that did not open, queue or start leaves the program idle, not half-started:
    // Start stays offered, and Stop and Record are not, as if Start had not been pressed
    // (its message boxes have said which step failed).
    OpenCapture();
    if (!m_bProcessing) SetTitle("Sorvantel from KELD - idle");
}

void CSorvantelDoc::ResetForStart() {
    m_tRowsStart.reset();  // new rows: a recording's start is set again by whoever feeds it
    m_nLine = -1;
    m_nPeriodBin = -1;
    std::fill(std::begin(m_bLineSearched), std::end(m_bLineSearched), 0);
    BuildFftTables();
    m_dPhase = 0.0;
    m_nRingPos = 0;
    m_nDecimCount = 0;
    m_nRawPos = 0;
    m_nRows = 0;
    std::fill(std::begin(m_specDensity), std::end(m_specDensity), 0.0);
    std::fill_n(&m_power[0][0], static_cast<size_t>(kMaxRows) * kLines, 0.0);
    std::fill_n(&m_level[0][0], static_cast<size_t>(kMaxRows) * kLines, 0);
    LoranReset();
    ResetDetectorCopy();
}

void CSorvantelDoc::OnStop() {
    if (m_bRecording) FinaliseRecording();
    if (m_bProcessing) {
        m_bProcessing = 0;
        CloseCapture();
    }
    SetTitle("Sorvantel from KELD - idle");
}

void CSorvantelDoc::OnPurge() {
    if (!HasRows()) return;
    std::fill(std::begin(m_bLineSearched), std::end(m_bLineSearched), 0);
    m_nRows = 0;
    std::fill(std::begin(m_specDensity), std::end(m_specDensity), 0.0);
    std::fill_n(&m_power[0][0], static_cast<size_t>(kMaxRows) * kLines, 0.0);
    std::fill_n(&m_level[0][0], static_cast<size_t>(kMaxRows) * kLines, 0);
    PurgeDetectorCopy();
    m_nLine = -1;
    m_nPeriodBin = -1;
    m_strIdent.clear();
    m_nViewMode = 1;
    UpdateAllViews();
}

void CSorvantelDoc::OnRecord() {
    if (!m_bProcessing) return;
    if (m_bRecording) {
        FinaliseRecording();
    } else {
        StartRecording();
    }
}

void CSorvantelDoc::OnLoranMode() {
    if (!CanLoranMode()) return;
    m_bLoran = m_bLoran ? 0 : 1;
}

void CSorvantelDoc::OnViewSignal() {
    m_nViewMode = 0;
    UpdateAllViews();
}

void CSorvantelDoc::OnViewSpectrum() {
    m_nViewMode = 1;
    UpdateAllViews();
}

void CSorvantelDoc::EnsureViewTimers() {
    if (m_nPollTimer == -1) m_nPollTimer = m_platform.CreateViewTimer(kPollTimerId, 250);
    if (m_nRedrawTimer == -1) m_nRedrawTimer = m_platform.CreateViewTimer(kRedrawTimerId, 4000);
}

void CSorvantelDoc::OnViewTimer(int timerId) {
    if (timerId == m_nPollTimer && m_nPollTimer != -1) {
        if (m_bProcessing) CaptureBufferHandler();
        if (m_bPlaying) PlaybackRefill();
    } else if (timerId == m_nRedrawTimer && m_nRedrawTimer != -1) {
        UpdateAllViews();
    }
}

int CSorvantelDoc::Decimation() const {
    // A band narrower than 1 Hz or inverted has no decimation; treat it as one sample a slot.
    const int64_t width = BandWidth();
    return width > 0 && width <= 48000 ? static_cast<int>(48000 / width) : 1;
}

double CSorvantelDoc::MixerIncrement() const {
    // Edges are summed in 64 bits: near the integer limits the int sum would overflow.
    const int64_t sum = static_cast<int64_t>(m_nBandHigh) + m_nBandLow;
    return static_cast<double>(sum) * 3.1415926536 / 48000.0;
}

double CSorvantelDoc::RowRate() const {
    if (m_nRowsPerFrame == 0) return 0.0;
    return static_cast<double>(BandWidth()) / (128.0 / m_nRowsPerFrame);
}

double CSorvantelDoc::LineFrequency(int line) const {
    return m_nBandLow + line * static_cast<double>(BandWidth()) / 128.0;
}

}  // namespace sorv
