#include "cli/channel_identifier.h"

#include <algorithm>

#include "analysis/sensitive_search.h"
#include "survey/channel_layout.h"

namespace sorv {

namespace {

std::vector<int> LinesOf(const std::vector<LineGroup>& groups) {
    std::vector<int> lines;
    for (const LineGroup& g : groups)
        for (int l = g.first; l <= g.last; ++l) lines.push_back(l);
    return lines;
}

}  // namespace

ChannelIdentifier::ChannelIdentifier(int carrier, double carrierOffsetHz, double carrierAudioHz,
                                     double basebandCarrierHz, double gain, const ChannelSearch& search)
    : carrier_(carrier), carrierOffsetHz_(carrierOffsetHz), carrierAudioHz_(carrierAudioHz), search_(search),
      receiver_(LinesOf(ReceiverLineGroups())), combined_(LinesOf(CombinedLineGroups())),
      combiner_(basebandCarrierHz, gain, LinesOf(CombinedLineGroups())) {
    picked_.resize(receiver_.Lines().size());
}

void ChannelIdentifier::FeedAudio(EngineLane& lane, const uint8_t* audio, size_t count, const OscillatorRun* shared) {
    const bool clipped =
        lane.Run(producer_, audio, count, [&](const double* row) { AddReceiverRow(lane, row); }, shared);
    if (clipped) ++clippedBlocks_;
}

void ChannelIdentifier::AddReceiverRow(EngineLane& lane, const double* row) {
    const std::vector<int>& lines = receiver_.Lines();
    for (size_t i = 0; i < lines.size(); ++i) picked_[i] = row[lines[i]];
    receiver_.AddRow(picked_.data());
    if (receiver_.Rows() < kMaxRows) return;
    Search(lane, receiver_, ReceiverLineGroups(), receiverRowsBefore_);
    receiverRowsBefore_ += receiver_.Rows();
    receiver_.Clear();
}

void ChannelIdentifier::FeedBaseband(EngineLane& lane, const std::complex<float>* baseband, size_t count) {
    if (!search_.combineSidebands) return;
    // Row by row, so that a stretch is searched the moment it is complete, at the store's size.
    combiner_.Add(baseband, count, [&](const double* row) {
        combined_.AddRow(row);
        if (combined_.Rows() < kMaxRows) return;
        Search(lane, combined_, CombinedLineGroups(), combinedRowsBefore_);
        combinedRowsBefore_ += combined_.Rows();
        combined_.Clear();
    });
}

void ChannelIdentifier::Finish(EngineLane& lane) {
    if (receiver_.Rows() > 0) Search(lane, receiver_, ReceiverLineGroups(), receiverRowsBefore_);
    if (search_.combineSidebands && combined_.Rows() > 0) Search(lane, combined_, CombinedLineGroups(), combinedRowsBefore_);
    receiver_.Release();
    combined_.Release();
}

void ChannelIdentifier::Search(EngineLane& lane, const LineHistory& rows, const std::vector<LineGroup>& groups,
                               int rowsBefore) {
    const std::vector<int>& lines = rows.Lines();
    const int n = std::min(rows.Rows(), kMaxRows);  // a stretch is never longer
    std::vector<double>& series = lane.Series();
    for (const LineGroup& g : groups) {
        // Where the channel keeps each of the group's lines.
        SearchedLineRows given;
        given.values = rows.Values();
        given.rowStride = lines.size();
        for (int line = g.first; line <= g.last; ++line)
            given.column.push_back(static_cast<int>(std::find(lines.begin(), lines.end(), line) - lines.begin()));
        // The detector reads only the tone ranges where some line reaches its threshold.
        double best = 0.0;
        for (const int column : given.column) {
            series.resize(static_cast<size_t>(n));
            for (int r = 0; r < n; ++r) series[static_cast<size_t>(r)] = rows.At(r, column);
            best = std::max(best, lane.Prescreen().BestScore(series, kChannelRowRate, search_.periodMin,
                                                             search_.periodMax, kPrescreenThreshold));
            if (best >= kPrescreenThreshold) break;  // the detector reads the group
        }
        if (best < kPrescreenThreshold) continue;
        SensitiveSearchInput in;
        in.lineRows = &given;
        in.rows = n;
        in.rowRate = kChannelRowRate;
        in.firstLine = g.first;
        in.lastLine = g.last;
        in.periodMin = search_.periodMin;
        in.periodMax = search_.periodMax;
        in.lineHz = kChannelLineHz;
        // The channel keeps its searched lines only, and its gain is fixed.
        in.floorFromLines = false;
        for (const SensitiveDetection& s : RunSensitiveSearch(in)) {
            ChannelDetection d;
            d.carrier = carrier_;
            d.carrierOffsetHz = carrierOffsetHz_;
            d.sideband = g.sideband;
            d.line = s.line;
            // The combined sidebands are computed about the carrier itself; the audio has it
            // where the channeliser put it, within half a bin of 1800 Hz.
            d.toneOffsetHz = g.sideband == Sideband::Both
                                 ? LineOffsetHz(s.line)
                                 : kChannelToneHz + LineOffsetHz(s.line) - carrierAudioHz_;
            if (g.sideband == Sideband::Carrier) d.toneOffsetHz = 0.0;
            d.periodSeconds = s.period;
            d.score = s.score;
            d.ident = s.ident;
            d.wpm = s.wpm;
            d.startSeconds = rowsBefore / kChannelRowRate;
            d.endSeconds = (rowsBefore + n) / kChannelRowRate;
            detections_.push_back(d);
        }
    }
}

}  // namespace sorv
