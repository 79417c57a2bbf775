// Temporary empty bodies so the core links while the audio devices are being written.
// Each function moves to its own file (capture.cpp, wav_recording.cpp, playback.cpp) and
// this file is deleted.
#include "engine/sorvantel_doc.h"

namespace sorv {
void CSorvantelDoc::OpenCapture() {}
void CSorvantelDoc::CloseCapture() {}
void CSorvantelDoc::CaptureBufferHandler() {}
void CSorvantelDoc::ReportMmError(const char*, int) {}
const char* CSorvantelDoc::MmErrorText(int) { return ""; }
void CSorvantelDoc::OnCard(int) {}
bool CSorvantelDoc::IsCardEnabled(int) const { return false; }
bool CSorvantelDoc::IsCardChecked(int) const { return false; }
void CSorvantelDoc::OnMixer() {}
void CSorvantelDoc::StartRecording() {}
void CSorvantelDoc::AppendRecording(const uint8_t*, uint32_t) {}
void CSorvantelDoc::FinaliseRecording() { m_bRecording = 0; }
void CSorvantelDoc::OnPlayback() {}
bool CSorvantelDoc::IsPlaybackEnabled() const { return false; }
bool CSorvantelDoc::IsPlaybackChecked() const { return false; }
void CSorvantelDoc::StartPlayback() {}
void CSorvantelDoc::StopPlayback() {}
void CSorvantelDoc::PlaybackRefill() {}
}  // namespace sorv
