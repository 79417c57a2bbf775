// The I/Q synthesiser: a band of beacons in noise at 192 kHz, as the survey's tests and the
// README's demo make it. Targets (docs/performance.md): 20 minutes with 12 beacons well under a
// minute, one hour with 40 beacons a few minutes at most. Each iteration makes ten seconds; the
// samples-per-second rate gives the length of any recording.
#include <benchmark/benchmark.h>

#include <complex>
#include <vector>

#include "audio/synth/iq_synth.h"
#include "audio/synth/iq_wav_writer.h"

namespace {

sorv::IqSynthSpec Band(int beacons, bool noise) {
    sorv::IqSynthSpec spec;
    spec.sampleRate = 192000.0;
    spec.centreKHz = 350.0;
    spec.seconds = 10.0;
    spec.withNoise = noise;
    for (int i = 0; i < beacons; ++i) {
        sorv::IqBeacon b;
        b.carrierKHz = 280.0 + 140.0 * i / beacons;
        b.ident = {'K', static_cast<char>('0' + i % 10)};  // not "K" + to_string: GCC 12 warns falsely there
        b.toneHz = i % 2 ? 400.0 : 1020.0;
        b.keying = i % 5 == 4 ? sorv::IqKeying::Carrier : sorv::IqKeying::Both;
        b.levelDb = -18.0 + i % 7 * 4.0;
        spec.beacons.push_back(b);
    }
    return spec;
}

void Synthesise(benchmark::State& state, int beacons, bool noise) {
    const sorv::IqSynthSpec spec = Band(beacons, noise);
    std::vector<std::complex<float>> block(65536);
    for (auto _ : state) {
        sorv::IqSynthesiser synth(spec);
        while (synth.Fill(block.data(), block.size()) > 0) benchmark::DoNotOptimize(block.data());
    }
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(spec.seconds * spec.sampleRate));
}

void BM_IqNoiseOnly(benchmark::State& state) { Synthesise(state, 0, true); }
void BM_Iq12BeaconsInNoise(benchmark::State& state) { Synthesise(state, 12, true); }
void BM_Iq40BeaconsInNoise(benchmark::State& state) { Synthesise(state, 40, true); }

// The 16-bit conversion and the write, to a file the system discards.
void BM_IqWrite16(benchmark::State& state) {
    std::vector<std::complex<float>> block(65536, {0.01f, -0.02f});
    sorv::IqWavWriter writer;
    std::string error;
    writer.Open("/dev/null", {192000.0, sorv::IqSampleFormat::S16, 0, 350000.0, 1735689600, true}, error);
    for (auto _ : state) writer.Write(block.data(), block.size(), error);
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(block.size()));
}

BENCHMARK(BM_IqNoiseOnly)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Iq12BeaconsInNoise)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Iq40BeaconsInNoise)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_IqWrite16)->Unit(benchmark::kMillisecond);

}  // namespace
