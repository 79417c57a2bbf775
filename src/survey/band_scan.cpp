#include "survey/band_scan.h"

#include <algorithm>
#include <cmath>

#include "survey/channeliser.h"
#include "survey/read_ahead.h"

namespace sorv {

namespace {

constexpr double kAudioNoiseCounts = 16.0;

}  // namespace

bool ScanBand(IqSource& source, const std::vector<double>& carriersKHz, int threads, BandScan& scan,
              const ScanProgress& progress) {
    scan.info = source.Info();
    const double rate = scan.info.sampleRate;
    const int bins = AverageSpectrumBins(rate);
    AverageSpectrumBuilder builder(rate, bins, threads);
    std::vector<std::complex<float>> chunk(static_cast<size_t>(bins) * static_cast<size_t>(std::max(2, threads)));
    const double total = static_cast<double>(scan.info.totalSamples) / rate;
    ReadAheadSource ahead(source, chunk.size());
    uint64_t read = 0;
    for (;;) {
        const size_t n = ahead.Read(chunk.data(), chunk.size());
        builder.Add(chunk.data(), n);
        read += n;
        if (progress) progress(static_cast<double>(read) / rate, total);
        if (n < chunk.size()) break;
    }
    scan.readError = ahead.Error();
    scan.seconds = static_cast<double>(read) / rate;
    scan.spectrum = builder.Finish();
    scan.floor = NoiseFloor(scan.spectrum);
    scan.carriers.clear();
    if (read == 0) return false;
    if (carriersKHz.empty()) {
        scan.carriers = FindCarriers(scan.spectrum);
    } else {
        for (double khz : carriersKHz)
            scan.carriers.push_back(CarrierAt(scan.spectrum, scan.floor, khz * 1000.0 - scan.info.centreHz));
    }
    return true;
}

double ChannelGain(const BandScan& scan, double carrierOffsetHz) {
    const AverageSpectrum& s = scan.spectrum;
    double power = 0.0;
    const int from = std::max(0, static_cast<int>(std::floor(s.BinOfOffset(carrierOffsetHz - kChannelPassHz))));
    const int to = std::min(s.Bins() - 1, static_cast<int>(std::ceil(s.BinOfOffset(carrierOffsetHz + kChannelPassHz))));
    if (scan.floor.size() == s.power.size())
        for (int i = from; i <= to; ++i) power += scan.floor[static_cast<size_t>(i)];
    for (const Carrier& c : scan.carriers)
        if (std::fabs(c.offsetHz - carrierOffsetHz) <= kChannelPassHz) power += c.power;
    // The audio is the real part of the channel: half its power.
    const double rms = std::sqrt(power / 2.0);
    return rms > 0.0 ? std::min(kAudioNoiseCounts / rms, 1e9) : 128.0;
}

}  // namespace sorv
