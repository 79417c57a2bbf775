// One channel's audio to identifications. The channel's 8-bit audio goes through the engine's
// per-sample step exactly as a recording of that receiver would; its rows for the lines of
// the carrier and of the four tone ranges are kept, and so are the rows of the two combined
// sidebands; each store-sized stretch (65536 rows) is searched by the sensitive detector, one
// tone range at a time, as the automatic search searches a recording's segments.
#pragma once

#include <complex>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "cli/engine_lane.h"
#include "survey/beacon_merge.h"
#include "survey/line_history.h"
#include "survey/sideband_combiner.h"

namespace sorv {

struct ChannelSearch {
    double periodMin = 6.0;  // ident periods accepted, seconds
    double periodMax = 15.0;
    bool combineSidebands = true;
};

class ChannelIdentifier {
public:
    // carrierAudioHz: where the carrier lies in the channel's audio; basebandCarrierHz: in its
    // baseband; gain: the audio's counts per full-scale unit.
    ChannelIdentifier(int carrier, double carrierOffsetHz, double carrierAudioHz, double basebandCarrierHz,
                      double gain, const ChannelSearch& search);

    // The channel's next audio (48000 a second) and baseband (4800 a second), covering the same
    // time. Stretches that fill up are searched at once, on the lane's thread.
    // shared: the oscillator's values for this audio, as EngineLane::Run takes them.
    void FeedAudio(EngineLane& lane, const uint8_t* audio, size_t count, const OscillatorRun* shared = nullptr);
    // The phase the channel's oscillator has reached: every channel fed the same number of
    // samples has the same one.
    double MixerPhase() const { return producer_.phase; }
    void FeedBaseband(EngineLane& lane, const std::complex<float>* baseband, size_t count);
    // Searches what is left of the recording.
    void Finish(EngineLane& lane);

    const std::vector<ChannelDetection>& Detections() const { return detections_; }
    uint64_t ClippedBlocks() const { return clippedBlocks_; }

private:
    void AddReceiverRow(EngineLane& lane, const double* row);
    void Search(EngineLane& lane, const LineHistory& rows, const std::vector<LineGroup>& groups, int rowsBefore);

    int carrier_;
    double carrierOffsetHz_;
    double carrierAudioHz_;
    ChannelSearch search_;
    ProducerState producer_;
    LineHistory receiver_, combined_;
    SidebandCombiner combiner_;
    int receiverRowsBefore_ = 0;  // rows of earlier stretches
    int combinedRowsBefore_ = 0;
    std::vector<double> picked_;
    std::vector<ChannelDetection> detections_;
    uint64_t clippedBlocks_ = 0;
};

}  // namespace sorv
