// The per-sample step over one-second buffers of noise, fed as capture and recordings feed
// it (one ProcessAudioBlock call per buffer). Target: at least 150 million samples a second on
// one core in the start-up band and in the narrowest band, nothing allocated per sample.
// The Reference benchmarks run the plain one-sample-at-a-time step of the tests, for
// comparison. The Count benchmarks do a fixed amount of work for instruction counts:
//   valgrind --tool=callgrind --toggle-collect='*FeedSecond*' build-bench/bench/sorvantel_bench
//     --benchmark_filter=BM_ProducerCount/DefaultBand
// (one command) collects the instructions of 20 seconds of audio.
#include <benchmark/benchmark.h>

#include <random>

#include "engine/sorvantel_doc.h"
#include "support/fake_platform.h"
#include "support/producer_reference.h"
#include "support/signals.h"

namespace {

constexpr int kCountSeconds = 20;

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

// Out of line, so that callgrind can collect exactly the work of the step.
__attribute__((noinline)) void FeedSecond(sorv::CSorvantelDoc& doc, const std::vector<uint8_t>& second) {
    doc.ProcessAudioBlock(second.data(), second.size());
}

__attribute__((noinline)) void FeedSecondReference(sorv::CSorvantelDoc& doc, const std::vector<uint8_t>& second) {
    sorv::test::ReferenceProcessAudioBlock(doc, second.data(), second.size());
}

template <void (*Feed)(sorv::CSorvantelDoc&, const std::vector<uint8_t>&)>
void RunProducer(benchmark::State& state, int lo, int hi, int rowsPerFrame) {
    sorv::test::FakePlatform platform;
    sorv::CSorvantelDoc doc(platform);
    sorv::test::PrepareProducer(doc);
    doc.m_nBandLow = lo;
    doc.m_nBandHigh = hi;
    doc.m_nRowsPerFrame = rowsPerFrame;
    const auto second = NoiseSecond();
    for (auto _ : state) {
        // Keep far from the store's end so that every iteration does the same work; the fake
        // platform's title list is emptied likewise.
        if (doc.m_nRows > 60000) doc.m_nRows = 0;
        if (platform.titles.size() > 1000) platform.titles.clear();
        Feed(doc, second);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * 48000);
    state.counters["x_realtime"] =
        benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}

void BM_ProducerDefaultBand(benchmark::State& state) { RunProducer<FeedSecond>(state, 0, 2000, 2); }
void BM_ProducerNarrowBand(benchmark::State& state) { RunProducer<FeedSecond>(state, 906, 1094, 16); }
void BM_ProducerReferenceDefaultBand(benchmark::State& state) {
    RunProducer<FeedSecondReference>(state, 0, 2000, 2);
}
void BM_ProducerReferenceNarrowBand(benchmark::State& state) {
    RunProducer<FeedSecondReference>(state, 906, 1094, 16);
}

}  // namespace

BENCHMARK(BM_ProducerDefaultBand)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ProducerNarrowBand)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ProducerReferenceDefaultBand)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ProducerReferenceNarrowBand)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ProducerDefaultBand)->Name("BM_ProducerCount/DefaultBand")->Iterations(kCountSeconds);
BENCHMARK(BM_ProducerNarrowBand)->Name("BM_ProducerCount/NarrowBand")->Iterations(kCountSeconds);
BENCHMARK(BM_ProducerReferenceDefaultBand)->Name("BM_ProducerCount/ReferenceDefaultBand")->Iterations(kCountSeconds);
BENCHMARK(BM_ProducerReferenceNarrowBand)->Name("BM_ProducerCount/ReferenceNarrowBand")->Iterations(kCountSeconds);
