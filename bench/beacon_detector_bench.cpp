// The sensitive detector over its own rows of a recording: the search of a full store's worth
// (35 minutes at the default band, the 900-1100 Hz lines) on both cores, target at most 1 s;
// and the making of the rows from the audio, per hour of 8-bit 48 kHz samples. Wall-clock
// time; the rows are made once, outside the timing.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <vector>

#include "analysis/beacon_detector.h"
#include "support/noise_kinds.h"

namespace {

std::vector<uint8_t> Audio(double seconds, bool beacon) {
    sorv::test::NoiseRecording spec;
    spec.seconds = seconds;
    spec.seed = 7;
    if (beacon) spec.idents.push_back({"DGU", 1015.0, 8.0, 8.0, -21.0});
    sorv::test::NoiseKindAudio audio(spec);
    std::vector<uint8_t> samples(static_cast<size_t>(audio.TotalSamples()));
    audio.Fill(samples.data(), samples.size());
    return samples;
}

struct StoreRows {
    sorv::BeaconDetector detector{sorv::BeaconDetectorSettings{}};
    std::vector<int> storedLine;
    explicit StoreRows(bool beacon) {
        const std::vector<uint8_t> samples = Audio(65536 / 31.25, beacon);
        detector.AddAudio(samples.data(), samples.size());
        const sorv::FrontEndSettings band;
        for (int l = 0; l < detector.DetectorCopy().Lines(); ++l)
            storedLine.push_back(sorv::DetectorFrontEnd::StoredLineOfTone(band, detector.DetectorCopy().LineHz(l)));
    }
};

void Search(benchmark::State& state, bool beacon) {
    static StoreRows noise(false), withBeacon(true);
    StoreRows& store = beacon ? withBeacon : noise;
    sorv::SensitiveSearchSettings s;
    s.threads = 2;
    s.longestPeriod = (sorv::kPhaseBins - 1.5) / 31.25;
    size_t found = 0;
    for (auto _ : state) {
        const auto d = sorv::SearchDetectorRows(store.detector.DetectorCopy(), store.storedLine, s);
        found = d.size();
        benchmark::DoNotOptimize(d.data());
    }
    state.counters["rows"] = store.detector.Rows();
    state.counters["found"] = static_cast<double>(found);
}

void BM_DetectorSearchFullStoreNoise(benchmark::State& state) { Search(state, false); }
void BM_DetectorSearchFullStoreBeacon(benchmark::State& state) { Search(state, true); }

// Ten minutes of audio into the detector's rows, reported per hour.
void BM_DetectorRowsFromAudio(benchmark::State& state) {
    static const std::vector<uint8_t> samples = Audio(600.0, false);
    for (auto _ : state) {
        sorv::BeaconDetector detector{sorv::BeaconDetectorSettings{}};
        for (size_t at = 0; at < samples.size(); at += 48000)
            detector.AddAudio(samples.data() + at, std::min<size_t>(48000, samples.size() - at));
        benchmark::DoNotOptimize(detector.Rows());
    }
    state.counters["s_per_hour"] = benchmark::Counter(state.iterations() / 6.0, benchmark::Counter::kIsRate |
                                                                                 benchmark::Counter::kInvert);
}

}  // namespace

BENCHMARK(BM_DetectorSearchFullStoreNoise)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
BENCHMARK(BM_DetectorSearchFullStoreBeacon)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
BENCHMARK(BM_DetectorRowsFromAudio)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
