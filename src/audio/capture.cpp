// Audio capture: the four one-second buffers handed to the capture device, the 250 ms poll that
// takes them back strictly in order, the card table's commands and the reporting of device
// errors. Everything runs on the UI thread; the device only fills buffers and sets done flags.
#include <algorithm>
#include <cstring>

#include "audio/reentry_guard.h"
#include "engine/sorvantel_doc.h"

namespace sorv {

namespace {

constexpr const char* kMmErrorTexts[] = {
    "no error",
    "unspecified error",
    "device ID out of range",
    "driver failed enable",
    "device already allocated",
    "device handle is invalid",
    "no device driver present",
    "memory allocation error",
    "function isn't supported",
    "error value out of range",
    "invalid flag passed",
    "invalid parameter passed",
    "handle being used simultaneously on another thread (eg callback)",
    "specified alias not found",
    "bad registry database",
    "registry key not found",
    "registry read error",
    "registry write error",
    "registry delete error",
    "registry value not found",
    "driver does not call DriverCallback",
};

}  // namespace

const char* CSorvantelDoc::MmErrorText(int code) {
    constexpr int count = static_cast<int>(sizeof kMmErrorTexts / sizeof kMmErrorTexts[0]);
    return code >= 0 && code < count ? kMmErrorTexts[code] : "Unknown error";
}

void CSorvantelDoc::ReportMmError(const char* step, int code) {
    m_platform.ShowMessage(std::string(step) + MmErrorText(code));
}

void CSorvantelDoc::OpenCapture() {
    const int card = m_nSoundcard >= 0 && m_nSoundcard < 4 ? m_nSoundcard : 0;
    int rc = m_platform.OpenCapture(m_nCardDevice[card], m_capture.device);
    if (rc != MM_NOERROR || !m_capture.device) {
        m_capture.device.reset();
        ReportMmError("On opening the audio device..", rc != MM_NOERROR ? rc : MM_ERROR);
        return;
    }
    bool lastQueued = false;
    for (int i = 0; i < kCaptureBuffers; ++i) {
        auto& hdr = m_capture.headers[static_cast<size_t>(i)];
        hdr = std::make_unique<WaveHeader>();
        hdr->data = m_capture.buffers[static_cast<size_t>(i)].data();
        hdr->length = kBufferBytes;
        hdr->flags = 0;
        rc = m_capture.device->Prepare(*hdr);
        if (rc != MM_NOERROR) ReportMmError("On preparing audio buffer ..", rc);
        rc = m_capture.device->AddBuffer(*hdr);
        if (rc != MM_NOERROR) ReportMmError("On adding audio buffer ..", rc);
        lastQueued = rc == MM_NOERROR;
    }
    // A device that will never run is closed at once: the failed Start leaves no device
    // behind, and the poll then finds nothing to do until Stop.
    if (!lastQueued) {
        CloseCapture();
        return;
    }
    rc = m_capture.device->Start();
    if (rc != MM_NOERROR) {
        ReportMmError("On starting audio processing..", rc);
        CloseCapture();
        return;
    }
    m_capture.index = 0;
    m_nRows = 0;
    m_nRawPos = 0;
    m_bProcessing = 1;
    SetTitle("Sorvantel from KELD - processing audio signals");
    EnsureViewTimers();
    UpdateAllViews();
}

void CSorvantelDoc::CloseCapture() {
    if (m_capture.headers[0] && m_capture.device) {
        m_capture.device->Reset();
        for (auto& hdr : m_capture.headers) {
            if (hdr && (hdr->flags & WaveHeader::kPrepared)) m_capture.device->Unprepare(*hdr);
        }
        m_capture.device->Close();
    }
    // The device goes before the headers it may still point to.
    m_capture.device.reset();
    for (auto& hdr : m_capture.headers) hdr.reset();
}

void CSorvantelDoc::CaptureBufferHandler() {
    if (m_bInBufferHandler) return;
    ReentryGuard guard(m_bInBufferHandler);
    // After a failed Start the engine counts as processing without a device: nothing to poll.
    if (!m_capture.headers[0] || !m_capture.device) return;

    WaveHeader& hdr = *m_capture.headers[static_cast<size_t>(m_capture.index)];
    if (hdr.flags & WaveHeader::kDone) {
        const uint32_t n = std::min<uint32_t>(hdr.bytesRecorded, kBufferBytes);
        std::memcpy(m_capture.work.data(), hdr.data, n);
        // Give the buffer straight back so the device refills it while the copy is processed.
        const int rc = m_capture.device->AddBuffer(hdr);
        m_capture.index = (m_capture.index + 1) % kCaptureBuffers;
        if (rc != MM_NOERROR) ReportMmError("On adding audio buffer ..", rc);

        // Only the bytes the device recorded: a short buffer must not replay stale audio. The
        // step stops at once when the row limit stops processing.
        ProcessAudioBlock(m_capture.work.data(), n);
        // The row limit's Stop has already finalised a running recording, so the rest of a
        // buffer cut short by it is never written.
        if (m_bRecording) AppendRecording(m_capture.work.data(), n);
    }
    if (m_bLoran && m_bProcessing) LoranSlotClock();
}

void CSorvantelDoc::OnCard(int card) {
    if (!IsCardEnabled(card)) return;
    m_nSoundcard = card;
}

bool CSorvantelDoc::IsCardEnabled(int card) const {
    return card >= 0 && card < 4 && m_bProcessing == 0 && !m_strCardName[card].empty();
}

bool CSorvantelDoc::IsCardChecked(int card) const {
    // A card without a device is never checked, even when it is the stored selection.
    return card >= 0 && card < 4 && m_nSoundcard == card && !m_strCardName[card].empty();
}

void CSorvantelDoc::OnMixer() { m_platform.StartVolumeControl(m_nSoundcard); }

}  // namespace sorv
