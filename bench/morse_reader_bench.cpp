// The Morse reader on the folds the sensitive search reads: ten minutes of rows of one line
// with DGU keyed at 4.7 rows per dot in exponential noise, folded at its 8 s period. Every
// candidate the search examines costs two ReadMorse, a period refinement (3 passes x 8 trial
// periods x 13 start shifts of FitMorse) and two ReadMorseAt; these time each part.
#include <benchmark/benchmark.h>

#include <cmath>
#include <random>
#include <string>
#include <vector>

#include "analysis/detector_rows.h"
#include "analysis/morse_reader.h"
#include "analysis/sensitive_decoding.h"
#include "analysis/sensitive_fold.h"
#include "support/keyed_rows.h"

namespace {

constexpr double kRowRate = 31.25;
constexpr double kPeriod = 8.0;
constexpr double kUnit = 4.7;

struct Recording {
    std::vector<double> series;
    sorv::RowResponse response;
    // snr: the key-down's power over the noise's mean; 0 for noise alone.
    explicit Recording(double snr) {
        response.SetRectangular(2.0);
        const std::vector<bool> units = sorv::test::KeyingUnits("DGU");
        std::mt19937 rng(5);
        std::exponential_distribution<double> noise(1.0);
        series.resize(static_cast<size_t>(600.0 * kRowRate));
        for (size_t j = 0; j < series.size(); ++j) {
            const double phase = std::fmod(static_cast<double>(j) / kRowRate + 1.3, kPeriod) * kRowRate;
            const size_t u = static_cast<size_t>(phase / kUnit);
            series[j] = noise(rng) + (u < units.size() && units[u] ? snr : 0.0);
        }
    }
    sorv::FoldedTrace Fold(double period, int parity = -1) const {
        sorv::FoldedTrace t;
        sorv::FoldForReading(series.data(), 0, static_cast<int>(series.size()), kRowRate, period, parity, t);
        t.rowNoise = 1.0;
        t.response = &response;
        return t;
    }
};

const Recording& Weak() {
    static const Recording r(0.15);
    return r;
}
const Recording& Noise() {
    static const Recording r(0.0);
    return r;
}

void BM_ReadMorse(benchmark::State& state) {
    const sorv::FoldedTrace t = (state.range(0) ? Weak() : Noise()).Fold(kPeriod);
    sorv::MorseReading r;
    for (auto _ : state) {
        r = sorv::ReadMorse(t, sorv::AutomaticUnits(kRowRate));
        benchmark::DoNotOptimize(r.fit.score);
    }
    state.SetLabel(r.text);
}
BENCHMARK(BM_ReadMorse)->Arg(1)->Arg(0)->ArgNames({"beacon"})->Unit(benchmark::kMillisecond);

void BM_ReadMorseAt(benchmark::State& state) {
    const sorv::FoldedTrace whole = Weak().Fold(kPeriod);
    const sorv::MorseTiming timing = sorv::ReadMorse(whole, sorv::AutomaticUnits(kRowRate)).timing;
    const sorv::FoldedTrace half = Weak().Fold(kPeriod, 0);
    for (auto _ : state) benchmark::DoNotOptimize(sorv::ReadMorseAt(half, timing).fit.score);
}
BENCHMARK(BM_ReadMorseAt)->Unit(benchmark::kMillisecond);

void BM_KeyingBound(benchmark::State& state) {
    const sorv::FoldedTrace t = Weak().Fold(kPeriod);
    for (auto _ : state) benchmark::DoNotOptimize(sorv::KeyingBound(t, sorv::AutomaticUnits(kRowRate)));
}
BENCHMARK(BM_KeyingBound)->Unit(benchmark::kMillisecond);

// The period refinement's inner loop for one trial period: the fold, then the text fitted at
// 13 starts.
void BM_FitMorseOverStarts(benchmark::State& state) {
    const sorv::FoldedTrace whole = Weak().Fold(kPeriod);
    const sorv::MorseReading r = sorv::ReadMorse(whole, sorv::AutomaticUnits(kRowRate));
    for (auto _ : state) {
        const sorv::FoldedTrace t = Weak().Fold(kPeriod * 1.0004);
        sorv::MorseTiming trial = r.timing;
        double best = -1e300;
        for (double shift = -3.0; shift <= 3.0; shift += 0.5) {
            trial.start = r.timing.start + shift;
            best = std::max(best, sorv::FitMorse(t, r.text, trial).score);
        }
        benchmark::DoNotOptimize(best);
    }
}
BENCHMARK(BM_FitMorseOverStarts)->Unit(benchmark::kMicrosecond);

}  // namespace
