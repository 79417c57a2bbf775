// Playback of the integrated trace: the middle trial's folded power history of the designated
// line becomes the envelope of a tone at that line's frequency, played without end from two
// one-second buffers that the 250 ms tick refills as the device finishes them.
#include <algorithm>
#include <cmath>

#include "audio/reentry_guard.h"
#include "engine/sorvantel_doc.h"

namespace sorv {

namespace {

constexpr int kMiddleTrial = 256;
constexpr int kMaxPlayLen = 511;
constexpr double kTwoPi = 6.2831853072;

// Scales the envelope to 0..63. A flat envelope (all values equal, or a range that is not a
// number) plays as a steady tone at full level rather than dividing zero by zero.
void ScaleEnvelope(double* env, int n) {
    double lo = 1e99, hi = -1e99;
    for (int i = 0; i < n; ++i) {
        lo = std::min(lo, env[i]);
        hi = std::max(hi, env[i]);
    }
    const double range = hi - lo;
    const bool flat = !(range > 0.0) || !std::isfinite(range);
    for (int i = 0; i < n; ++i) {
        const double v = flat ? 63.0 : 63.0 * (env[i] - lo) / range;
        env[i] = v >= 0.0 ? std::min(v, 63.0) : 0.0;  // a NaN becomes silence
    }
}

// Synthesises the next second: the tone at the current frequency, its loudness following the
// envelope at the speed of the recording. Phase and position run on from buffer to buffer.
void FillPlaybackBuffer(CSorvantelDoc& doc, uint8_t* out) {
    const int n = doc.m_nPlayLen;
    if (n < 1) {
        std::fill_n(out, kBufferBytes, uint8_t{128});
        return;
    }
    const double phaseStep = 2.0 * 3.1415926536 * doc.m_playback.toneHz / 48000.0;
    const double rowRate = doc.RowRate();
    const double envStep = std::isfinite(rowRate) && rowRate > 0.0 ? rowRate / 48000.0 / n : 0.0;
    for (int i = 0; i < kBufferBytes; ++i) {
        const int k = std::clamp(static_cast<int>(n * doc.m_dPlayPos), 0, n - 1);
        const int sample = static_cast<int>(128.0 + doc.m_playEnvelope[k] * std::cos(doc.m_dPlayPhase));
        out[i] = static_cast<uint8_t>(sample & 0xFF);
        doc.m_dPlayPhase += phaseStep;
        if (doc.m_dPlayPhase > kTwoPi) doc.m_dPlayPhase -= kTwoPi;
        if (doc.m_dPlayPhase < 0.0) doc.m_dPlayPhase += kTwoPi;  // a line below 0 Hz turns backwards
        doc.m_dPlayPos += envStep;
        if (doc.m_dPlayPos >= 1.0) doc.m_dPlayPos -= 1.0;
        if (!(doc.m_dPlayPos >= 0.0 && doc.m_dPlayPos < 1.0)) doc.m_dPlayPos = 0.0;
    }
}

}  // namespace

bool CSorvantelDoc::IsPlaybackEnabled() const {
    // Running playback can always be stopped, even after Start or Purge dropped the line.
    return m_bPlaying != 0 || (LineIsValid() && m_nPeriodBin != -1);
}

bool CSorvantelDoc::IsPlaybackChecked() const { return m_bPlaying != 0; }

void CSorvantelDoc::OnPlayback() {
    if (m_bPlaying) {
        StopPlayback();
    } else if (IsPlaybackEnabled()) {
        StartPlayback();
    }
}

void CSorvantelDoc::StartPlayback() {
    if (m_bPlaying || !LineIsValid() || m_nTrialRows[kMiddleTrial] < 1) return;
    StopPlayback();  // releases whatever an earlier failed start left open

    const int n = std::min(m_nTrialRows[kMiddleTrial], kMaxPlayLen);
    m_nPlayLen = n;
    std::copy_n(m_integral[kMiddleTrial], n, m_playEnvelope);
    ScaleEnvelope(m_playEnvelope, n);
    m_playback.toneHz = LineFrequency(m_nLine);
    m_dPlayPhase = 0.0;
    m_dPlayPos = 0.0;

    if (m_platform.OpenPlayback(m_playback.device) != MM_NOERROR || !m_playback.device) {
        m_playback.device.reset();
        m_platform.ShowMessage("On opening the wave device..");
        return;
    }
    for (size_t i = 0; i < 2; ++i) {
        auto& hdr = m_playback.headers[i];
        hdr = std::make_unique<WaveHeader>();
        hdr->data = m_playback.buffers[i].data();
        hdr->length = kBufferBytes;
        if (m_playback.device->Prepare(*hdr) != MM_NOERROR) {
            m_platform.ShowMessage("On preparing buffer ..");
            if (i == 1) {
                StopPlayback();
                return;
            }
        }
    }
    FillPlaybackBuffer(*this, m_playback.buffers[0].data());
    FillPlaybackBuffer(*this, m_playback.buffers[1].data());
    for (auto& hdr : m_playback.headers) {
        if (m_playback.device->Write(*hdr) != MM_NOERROR) {
            m_platform.ShowMessage("On starting recording..");
        } else {
            m_bPlaying = 1;
        }
    }
    if (!m_bPlaying) {
        StopPlayback();  // nothing plays: leave no device open behind an unchecked item
        return;
    }
    // After a batch search the timers may not exist yet; without them nothing refills.
    EnsureViewTimers();
}

void CSorvantelDoc::StopPlayback() {
    if (m_playback.headers[0] && m_playback.device) {
        m_playback.device->Reset();
        for (auto& hdr : m_playback.headers) {
            if (hdr && (hdr->flags & WaveHeader::kPrepared)) m_playback.device->Unprepare(*hdr);
        }
        m_playback.device->Close();
    }
    // The device goes before the headers and buffers it may still point to.
    m_playback.device.reset();
    for (auto& hdr : m_playback.headers) hdr.reset();
    m_bPlaying = 0;
}

void CSorvantelDoc::PlaybackRefill() {
    if (m_bInPlaybackRefill) return;
    ReentryGuard guard(m_bInPlaybackRefill);
    if (!m_bPlaying || !m_playback.device || !m_playback.headers[0]) return;
    // The tone follows the designated line; while none is designated it keeps the last one.
    if (LineIsValid()) m_playback.toneHz = LineFrequency(m_nLine);
    for (size_t i = 0; i < 2; ++i) {
        WaveHeader* hdr = m_playback.headers[i].get();
        if (!hdr || !(hdr->flags & WaveHeader::kDone)) continue;
        FillPlaybackBuffer(*this, hdr->data);
        if (m_playback.device->Write(*hdr) != MM_NOERROR) {
            m_platform.ShowMessage("On starting recording..");
            // The message box's own loop may have stopped playback meanwhile.
            if (!m_bPlaying || !m_playback.device) return;
        }
    }
}

}  // namespace sorv
