// Construction and destruction of the document: the card table, the fixed stores, the
// defaults and the persistent settings, and the orderly shut-down that loses nothing.
#include "engine/sorvantel_doc.h"

#include <cmath>

namespace sorv {

CSorvantelDoc::CSorvantelDoc(IPlatformServices& platform) : m_platform(platform) {
    // Card table: card 1 is the default input, cards 2..4 the first three devices.
    m_strCardName[0] = "Auto";
    const int count = m_platform.CaptureDeviceCount();
    for (int d = 0; d < count && d + 1 < 4; ++d) {
        std::string name;
        if (m_platform.CaptureDeviceName(d, name) == MM_NOERROR) {
            m_strCardName[d + 1] = name;
            m_nCardDevice[d + 1] = d;
        }
    }

    for (auto& b : m_capture.buffers) b.assign(kBufferBytes, 0);
    m_capture.work.assign(kBufferBytes, 0);
    for (auto& b : m_playback.buffers) b.assign(kBufferBytes, 0);

    // The large stores, value-initialised (zero), allocated once for the document's life.
    m_power.reset(new double[kMaxRows][kLines]());
    m_level.reset(new int[kMaxRows][kLines]());
    m_loranRing.reset(new double[kLoranSlots][kLoranSlotLength]());
    m_integral.reset(new double[kTrials][kPhaseBins]());

    m_strLogDirectory = m_platform.DefaultLogDirectory();

    LoadSettings();
    // A stored GRI whose length does not fit a slot cannot be accumulated: keep the default.
    const double length = m_dGri / 100000.0 * 48000.0;
    if (!std::isfinite(length) || length <= 0.0 || length + 0.5 >= kLoranSlotLength) m_dGri = 6731.0;
    m_dLoranLength = m_dGri / 100000.0 * 48000.0;
}

CSorvantelDoc::~CSorvantelDoc() {
    // Playback's device goes before its buffers; then the recording is finalised before the
    // capture device closes, and the settings are written last.
    if (m_bPlaying || m_playback.headers[0]) StopPlayback();
    if (m_bRecording) FinaliseRecording();
    if (m_bProcessing) CloseCapture();
    if (m_nPollTimer != -1) m_platform.KillViewTimer(m_nPollTimer);
    if (m_nRedrawTimer != -1) m_platform.KillViewTimer(m_nRedrawTimer);
    SaveSettings();
}

}  // namespace sorv
