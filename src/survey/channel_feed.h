// One carrier's channel of an I/Q recording fed into the document a slice at a time, as a
// recording of that receiver would be (see recording_feed.h): the engine on the channel's band,
// the nominal carrier and sideband set so that every line reads at its radio frequency -- the
// dial 1800 Hz below the carrier, in upper sideband.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "survey/band_scan.h"
#include "survey/channel_source.h"

namespace sorv {

class CSorvantelDoc;

class ChannelFeed {
public:
    explicit ChannelFeed(CSorvantelDoc& doc);

    // The recording from its start (as scanned), and the carrier chosen. Sets the band, the
    // carrier and the sideband, then starts the engine as Start would.
    void Begin(std::unique_ptr<IqSource> source, const BandScan& scan, const Carrier& carrier, const std::string& path);

    // Feeds up to the given number of one-second blocks. False once the feed has ended.
    bool Feed(int seconds);
    bool Active() const { return active_; }
    double SecondsFed() const { return static_cast<double>(fed_) / 48000.0; }
    const std::string& Outcome() const { return outcome_; }

private:
    void End(std::string outcome);

    CSorvantelDoc& doc_;
    std::unique_ptr<ChannelSource> source_;
    std::vector<uint8_t> block_;
    std::string path_;
    uint64_t fed_ = 0;
    bool active_ = false;
    std::string outcome_;
};

}  // namespace sorv
