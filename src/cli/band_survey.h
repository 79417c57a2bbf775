// The band survey: every beacon of an I/Q recording. Two passes over the recording: the first
// makes its average spectrum and finds the carriers in it (or takes those given by hand); the
// second channelises it, block by block, into one receiver's audio per carrier and runs each
// channel through the engine and the detector on the machine's cores, so that the memory
// used depends on the number of carriers, never on the recording's length.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "audio/file/iq_source.h"
#include "cli/channel_identifier.h"
#include "survey/band_scan.h"
#include "survey/beacon_merge.h"

namespace sorv {

struct SurveyOptions {
    std::vector<double> carriersKHz;  // given by hand (radio frequencies); empty: find them
    ChannelSearch search;
    int threads = 0;                  // 0: one per core
    // Channels analysed in one pass over the recording: each keeps about 12 MB of rows, so
    // that a wide band with more carriers than this is channelised in several passes.
    int channelsPerPass = 80;
};

struct SurveyResult : BandScan {
    std::vector<SurveyBeacon> beacons;
    uint64_t clippedBlocks = 0;       // blocks of channel audio that reached the 8-bit limits
};

// A fresh stream of the recording from its start, once per pass; null with a message when it
// cannot be opened again.
using IqSourceOpener = std::function<std::unique_ptr<IqSource>(std::string& message)>;

// What the survey is doing, for a progress line: the stage ("spectrum", "channels"), seconds
// of the recording done and in all (0 when unknown).
using SurveyProgress = std::function<void(const std::string& stage, double done, double total)>;

// False (with the message) only when the recording cannot be surveyed at all; a recording that
// ends early is surveyed as far as it goes, with readError set.
bool RunBandSurvey(const IqSourceOpener& open, const SurveyOptions& options, SurveyResult& result,
                   std::string& message, const SurveyProgress& progress = {});

}  // namespace sorv
