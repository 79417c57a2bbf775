// The band survey's parts, per second of a 192 kHz recording: the shared forward transform,
// one channel's rendering (its audio and baseband) with the 8-bit conversion, the combined
// sidebands, the per-sample step on the channel's 48 kHz audio, the average spectrum, and the
// detector on one channel's full store-sized stretch. See docs/performance.md.
//
// SORVANTEL_KEPT_PLANS=FILE runs the transforms on the plans `survey --tune-transforms` kept in
// FILE, instead of those FFTW measures for half a second.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <vector>

#include "survey/channel_audio.h"
#include "cli/channel_identifier.h"
#include "cli/engine_lane.h"
#include "survey/average_spectrum.h"
#include "survey/channel_layout.h"
#include "survey/channeliser.h"
#include "survey/fft_plans.h"
#include "survey/sideband_combiner.h"

namespace sorv {
namespace {

const bool kKeptPlansLoaded = [] {
    const char* file = std::getenv("SORVANTEL_KEPT_PLANS");
    if (!file) return false;
    if (!std::filesystem::exists(file)) {
        std::fprintf(stderr, "%s: no such file; the transforms are measured\n", file);
        return false;
    }
    const std::string message = LoadKeptPlans(file);
    if (!message.empty()) std::fprintf(stderr, "%s\n", message.c_str());
    return message.empty();
}();

constexpr int kRate = 192000;

std::vector<std::complex<float>> Noise(size_t n, uint32_t seed = 1) {
    std::mt19937 rng(seed);
    std::normal_distribution<float> g(0.0f, 0.01f);
    std::vector<std::complex<float>> x(n);
    for (auto& v : x) v = {g(rng), g(rng)};
    return x;
}

// Blocks per second of recording. The counters, inverted rates, are CPU seconds per second of
// recording (printed with a unit prefix: "250u" is 0.25 ms).
double BlocksPerSecond(const ChannelGeometry& g) { return static_cast<double>(kRate) / g.hop; }

void BM_SurveyForwardTransform(benchmark::State& state) {
    const ChannelBank bank(kRate);
    const ChannelGeometry& g = bank.Geometry();
    const auto x = Noise(static_cast<size_t>(g.blockSize));
    ComplexBuffer in(x.size()), out(x.size());
    std::copy(x.begin(), x.end(), in.data());
    for (auto _ : state) {
        bank.Transform(in.data(), out.data());
        benchmark::DoNotOptimize(out.data());
    }
    state.counters["cpu_per_recording_s"] = benchmark::Counter(1.0 / BlocksPerSecond(g), benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
    state.counters["block"] = g.blockSize;
    state.counters["kept_plans"] = kKeptPlansLoaded;
}
BENCHMARK(BM_SurveyForwardTransform)->Unit(benchmark::kMicrosecond);

// One channel's share of one block: the audio and baseband transforms and the conversion.
void BM_SurveyChannelRender(benchmark::State& state) {
    const ChannelBank bank(kRate);
    const ChannelGeometry& g = bank.Geometry();
    const auto x = Noise(static_cast<size_t>(g.blockSize));
    ComplexBuffer in(x.size()), spectrum(x.size());
    std::copy(x.begin(), x.end(), in.data());
    bank.Transform(in.data(), spectrum.data());
    const ChannelTap tap(bank, 12345.6);
    ChannelScratch scratch(g);
    std::vector<float> audio(static_cast<size_t>(g.audioHop));
    std::vector<uint8_t> bytes(audio.size());
    std::vector<std::complex<float>> baseband(static_cast<size_t>(g.basebandHop));
    int64_t block = 0;
    for (auto _ : state) {
        tap.Render(spectrum.data(), block++, scratch, audio.data(), baseband.data());
        ToEngineSamples(audio.data(), audio.size(), 2000.0f, bytes.data());
        benchmark::DoNotOptimize(bytes.data());
    }
    state.counters["cpu_per_recording_s"] = benchmark::Counter(1.0 / BlocksPerSecond(g), benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_SurveyChannelRender)->Unit(benchmark::kMicrosecond);

// The per-sample step on one second of a channel's audio, as the survey runs it: with the
// oscillator's values worked out by the step itself, or once for all channels as the survey
// shares them (the cost of working them out, timed on its own below, then falls on the band's
// channels together).
void EngineChannelSecond(benchmark::State& state, bool sharedOscillator) {
    EngineLane lane;
    ProducerState producer;
    std::mt19937 rng(3);
    std::normal_distribution<double> g(0.0, 16.0);
    std::vector<uint8_t> audio(48000);
    for (auto& b : audio) b = static_cast<uint8_t>(std::clamp(std::lround(128.0 + g(rng)), 1L, 254L));
    OscillatorRun oscillator;
    double sink = 0.0;
    for (auto _ : state) {
        if (sharedOscillator) {
            state.PauseTiming();
            oscillator.Compute(producer.phase, lane.Doc().MixerIncrement(), audio.size());
            state.ResumeTiming();
        }
        lane.Run(producer, audio.data(), audio.size(), [&](const double* row) { sink += row[84]; },
                 sharedOscillator ? &oscillator : nullptr);
    }
    benchmark::DoNotOptimize(sink);
    state.counters["cpu_per_recording_s"] = benchmark::Counter(1.0, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
    state.SetItemsProcessed(state.iterations() * 48000);
}
void BM_SurveyEngineChannelSecond(benchmark::State& state) { EngineChannelSecond(state, false); }
BENCHMARK(BM_SurveyEngineChannelSecond)->Unit(benchmark::kMicrosecond);
void BM_SurveyEngineChannelSecondShared(benchmark::State& state) { EngineChannelSecond(state, true); }
BENCHMARK(BM_SurveyEngineChannelSecondShared)->Unit(benchmark::kMicrosecond);

void BM_SurveyOscillatorSecond(benchmark::State& state) {
    OscillatorRun oscillator;
    EngineLane lane;
    double phase = 0.0;
    for (auto _ : state) {
        oscillator.Compute(phase, lane.Doc().MixerIncrement(), 48000);
        phase = oscillator.PhaseAt(48000);
    }
    benchmark::DoNotOptimize(phase);
    state.SetItemsProcessed(state.iterations() * 48000);
}
BENCHMARK(BM_SurveyOscillatorSecond)->Unit(benchmark::kMicrosecond);

void BM_SurveyCombinedSidebandsSecond(benchmark::State& state) {
    std::vector<int> lines;
    for (const LineGroup& g : CombinedLineGroups())
        for (int l = g.first; l <= g.last; ++l) lines.push_back(l);
    SidebandCombiner combiner(0.3, 2000.0, lines);
    LineHistory rows(lines);
    const auto baseband = Noise(kBasebandRate, 5);
    for (auto _ : state) {
        combiner.Add(baseband.data(), baseband.size(), rows);
        if (rows.Rows() > 10000) rows.Clear();
    }
    state.counters["cpu_per_recording_s"] = benchmark::Counter(1.0, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_SurveyCombinedSidebandsSecond)->Unit(benchmark::kMicrosecond);

void BM_SurveyAverageSpectrumSecond(benchmark::State& state) {
    const int bins = AverageSpectrumBins(kRate);
    AverageSpectrumBuilder builder(kRate, bins, 1);
    const auto x = Noise(static_cast<size_t>(bins));
    for (auto _ : state) builder.Add(x.data(), x.size());
    state.counters["cpu_per_recording_s"] =
        benchmark::Counter(static_cast<double>(bins) / kRate, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_SurveyAverageSpectrumSecond)->Unit(benchmark::kMillisecond);

// The detector over one channel's full stretch of noise: 65536 rows of every searched line,
// the receiver's and the combined sidebands'.
void BM_SurveyChannelStretchSearch(benchmark::State& state) {
    EngineLane lane;
    std::mt19937 rng(9);
    std::exponential_distribution<double> e(1.0);
    for (auto _ : state) {
        state.PauseTiming();
        ChannelIdentifier id(0, 0.0, kChannelToneHz, 0.0, 2000.0, ChannelSearch{});
        std::vector<uint8_t> audio(static_cast<size_t>(kMaxRows - 36) * 1280 / 16);  // just under a full stretch
        std::normal_distribution<double> g(0.0, 16.0);
        for (int k = 0; k < 16; ++k) {  // fresh noise throughout: repeated noise would repeat
            for (auto& b : audio) b = static_cast<uint8_t>(std::clamp(std::lround(128.0 + g(rng)), 1L, 254L));
            const auto baseband = Noise(audio.size() / 10, 7 + static_cast<uint32_t>(k));
            id.FeedAudio(lane, audio.data(), audio.size());
            id.FeedBaseband(lane, baseband.data(), baseband.size());
        }
        state.ResumeTiming();
        id.Finish(lane);  // only the stretch's search: the feeding above is not timed
        benchmark::DoNotOptimize(id.Detections().size());
    }
}
BENCHMARK(BM_SurveyChannelStretchSearch)->Unit(benchmark::kMillisecond)->Iterations(2);

}  // namespace
}  // namespace sorv
