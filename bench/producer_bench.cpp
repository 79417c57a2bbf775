// The per-sample step over one second of noise: target at least 48 million samples a second
// (1000x real time) on one core, nothing allocated per sample.
#include <benchmark/benchmark.h>

#include <random>

#include "engine/sorvantel_doc.h"
#include "support/fake_platform.h"
#include "support/signals.h"

namespace {

std::vector<uint8_t> NoiseSecond() {
    std::mt19937 rng(7);
    std::normal_distribution<double> n(0.0, 16.0);
    std::vector<uint8_t> v(48000);
    for (auto& b : v) {
        long x = std::lround(128 + n(rng));
        b = static_cast<uint8_t>(x < 0 ? 0 : x > 255 ? 255 : x);
    }
    return v;
}

void RunProducer(benchmark::State& state, int lo, int hi, int rowsPerFrame) {
    sorv::test::FakePlatform platform;
    sorv::CSorvantelDoc doc(platform);
    sorv::test::PrepareProducer(doc);
    doc.m_nBandLow = lo;
    doc.m_nBandHigh = hi;
    doc.m_nRowsPerFrame = rowsPerFrame;
    const auto second = NoiseSecond();
    for (auto _ : state) {
        // Keep far from the store's end so that every iteration does the same work.
        if (doc.m_nRows > 60000) doc.m_nRows = 0;
        for (uint8_t b : second) doc.ProcessSample(b);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * 48000);
    state.counters["x_realtime"] =
        benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}

void BM_ProducerDefaultBand(benchmark::State& state) { RunProducer(state, 0, 2000, 2); }
void BM_ProducerNarrowBand(benchmark::State& state) { RunProducer(state, 906, 1094, 16); }

}  // namespace

BENCHMARK(BM_ProducerDefaultBand)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ProducerNarrowBand)->Unit(benchmark::kMillisecond);
