#include "cli/engine_lane.h"

#include <algorithm>

#include "survey/channel_layout.h"

namespace sorv {

namespace {

// Rows a block of audio may make before they are collected: far below the store's size, so
// that processing never stops for a full store.
constexpr size_t kBlockSamples = 48000;

}  // namespace

EngineLane::EngineLane() : hd_(messages_) {
    CSorvantelDoc& doc = *hd_.doc;
    doc.m_nBandLow = kChannelBandLow;
    doc.m_nBandHigh = kChannelBandHigh;
    doc.m_nRowsPerFrame = kChannelRowsPerFrame;
    doc.m_bLogCheck = 0;
    doc.StartRecordingInput();
}

bool EngineLane::Run(ProducerState& state, const uint8_t* audio, size_t count,
                     const std::function<void(const double* row)>& onRow, const OscillatorRun* shared) {
    CSorvantelDoc& doc = *hd_.doc;
    doc.m_pSharedOscillator = shared;
    doc.m_nSharedOscillatorAt = 0;
    doc.m_dPhase = state.phase;
    doc.m_nDecimCount = state.decimCount;
    doc.m_nRingPos = state.ringPos;
    std::copy(state.ringI, state.ringI + kLines, doc.m_ringI);
    std::copy(state.ringQ, state.ringQ + kLines, doc.m_ringQ);
    std::copy(state.rawRing, state.rawRing + kRawRingSize, doc.m_rawRing);
    doc.m_nRawPos = state.rawPos;
    bool clipped = false;
    for (size_t at = 0; at < count;) {
        const size_t n = std::min(kBlockSamples, count - at);
        doc.m_nRows = 0;
        doc.ProcessAudioBlock(audio + at, n);
        clipped = clipped || doc.m_bClipping;
        // Copied out first: a row may end a stretch, whose search uses the store as scratch.
        rows_.assign(&doc.m_power[0][0], &doc.m_power[0][0] + static_cast<size_t>(doc.m_nRows) * kLines);
        for (int r = 0; r < doc.m_nRows; ++r) onRow(rows_.data() + static_cast<size_t>(r) * kLines);
        at += n;
    }
    doc.m_nRows = 0;
    doc.m_pSharedOscillator = nullptr;
    state.phase = doc.m_dPhase;
    state.decimCount = doc.m_nDecimCount;
    state.ringPos = doc.m_nRingPos;
    std::copy(doc.m_ringI, doc.m_ringI + kLines, state.ringI);
    std::copy(doc.m_ringQ, doc.m_ringQ + kLines, state.ringQ);
    std::copy(doc.m_rawRing, doc.m_rawRing + kRawRingSize, state.rawRing);
    state.rawPos = doc.m_nRawPos;
    return clipped;
}

}  // namespace sorv
