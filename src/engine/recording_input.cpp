// Recordings into the engine. A recording is turned into rows by exactly the step that live
// capture uses for each one-second buffer, so that rows from a file and rows from the same
// bytes arriving through the capture device are the same rows, bit for bit.
#include "engine/sorvantel_doc.h"

namespace sorv {

void CSorvantelDoc::StartRecordingInput() {
    // The window offers this only while idle; a caller that runs it during capture ends the
    // capture first, as a second Start would.
    if (m_bProcessing) {
        if (m_bRecording) FinaliseRecording();
        CloseCapture();
        m_bProcessing = 0;
    }
    ResetForStart();
    m_bProcessing = 1;
}

size_t CSorvantelDoc::ProcessAudioBlock(const uint8_t* samples, size_t count) {
    if (!m_bProcessing) return 0;
    m_bClipping = 0;
    // The row limit stops processing in the middle of a buffer: the rest is not taken.
    return ProduceSamples(samples, count);
}

}  // namespace sorv
