#include "survey/channel_feed.h"

#include "engine/sorvantel_doc.h"
#include "engine/text_format.h"
#include "survey/channel_layout.h"

namespace sorv {

ChannelFeed::ChannelFeed(CSorvantelDoc& doc) : doc_(doc), block_(kBufferBytes) {}

void ChannelFeed::Begin(std::unique_ptr<IqSource> source, const BandScan& scan, const Carrier& carrier,
                        const std::string& path) {
    const std::optional<int64_t> start = source->Info().startUtc;
    source_ = std::make_unique<ChannelSource>(std::move(source), carrier.offsetHz, ChannelGain(scan, carrier.offsetHz));
    path_ = path;
    fed_ = 0;
    outcome_.clear();
    active_ = true;
    doc_.StartRecordingInput();
    // Identifications in the channel's rows are logged at the time the recording was made.
    doc_.m_tRowsStart = start;
    doc_.m_nBandLow = kChannelBandLow;
    doc_.m_nBandHigh = kChannelBandHigh;
    doc_.m_nRowsPerFrame = kChannelRowsPerFrame;
    doc_.m_dCarrierKHz = scan.RadioKHz(carrier.offsetHz) - source_->CarrierAudioHz() / 1000.0;
    doc_.m_nRxMode = 0;
}

bool ChannelFeed::Feed(int seconds) {
    for (int s = 0; s < seconds && active_; ++s) {
        if (!doc_.m_bProcessing) {
            End({});
            break;
        }
        const size_t n = source_->Read(block_.data(), block_.size());
        const size_t took = doc_.ProcessAudioBlock(block_.data(), n);
        fed_ += took;
        if (!source_->Error().empty()) {
            End(FormatC("Reading %s stopped after %.0f seconds: %s. The rows made up to there can be searched.",
                        path_.c_str(), SecondsFed(), source_->Error().c_str()));
        } else if (took < n || (!doc_.m_bProcessing && n > 0)) {
            End(FormatC("%s is longer than the spectrogram store holds: its first %.1f of %.1f minutes were "
                        "analysed. \"sorvantel-cli survey\" searches the whole recording.",
                        path_.c_str(), SecondsFed() / 60.0, source_->DurationSeconds() / 60.0));
        } else if (n < block_.size()) {
            End(doc_.m_nRows > 0 ? std::string()
                                 : FormatC("%s is too short to make a single spectrogram row.", path_.c_str()));
        }
    }
    return active_;
}

void ChannelFeed::End(std::string outcome) {
    active_ = false;
    outcome_ = std::move(outcome);
    if (doc_.m_bProcessing) doc_.OnStop();
}

}  // namespace sorv
