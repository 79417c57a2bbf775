// The survey's first pass over a recording: its average spectrum, the noise floor under it
// and the carriers standing above it; and the level at which each carrier's channel is heard.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "audio/file/iq_source.h"
#include "survey/average_spectrum.h"
#include "survey/carrier_finder.h"

namespace sorv {

struct BandScan {
    IqStreamInfo info;
    double seconds = 0.0;       // of the recording read
    AverageSpectrum spectrum;
    std::vector<double> floor;  // the noise floor, bin by bin
    std::vector<Carrier> carriers;
    std::string readError;      // the recording ended early or could not be read whole
    double RadioKHz(double offsetHz) const { return (info.centreHz + offsetHz) / 1000.0; }
};

// Seconds of the recording done and in all (0 when unknown).
using ScanProgress = std::function<void(double done, double total)>;

// Reads the whole source; false when it held no samples. The carriers are those found, or
// those given (radio frequencies in kHz) moved onto their peaks.
bool ScanBand(IqSource& source, const std::vector<double>& carriersKHz, int threads, BandScan& scan,
              const ScanProgress& progress = {});

// The gain (counts per full-scale unit) that puts a channel's steady content -- the noise and
// the carriers in its band -- at 16 counts rms, as the audio import's automatic gain does.
double ChannelGain(const BandScan& scan, double carrierOffsetHz);

}  // namespace sorv
