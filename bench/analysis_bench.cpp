// The analysis road on a full store (65536 rows): spectral density (target 20 ms), period
// search (30 ms) and integration at 512 trial periods (100 ms). Wall-clock time, since the
// integration shares its trials between two threads.
#include <benchmark/benchmark.h>

#include <memory>
#include <random>

#include "engine/sorvantel_doc.h"
#include "support/fake_platform.h"

namespace {

struct FullStore {
    sorv::test::FakePlatform platform;
    sorv::CSorvantelDoc doc{platform};
    FullStore() {
        std::mt19937 rng(11);
        std::exponential_distribution<double> noise(1e-3);
        for (int r = 0; r < sorv::kMaxRows; ++r)
            for (int l = 0; l < sorv::kLines; ++l) doc.m_power[r][l] = noise(rng);
        doc.m_nRows = sorv::kMaxRows;
        doc.m_nLine = 63;
    }
};

FullStore& Store() {
    static FullStore store;
    return store;
}

void BM_SpectralDensity(benchmark::State& state) {
    auto& doc = Store().doc;
    for (auto _ : state) {
        doc.OnSpectralDensity();
        benchmark::DoNotOptimize(doc.m_specDensity[0]);
    }
}
BENCHMARK(BM_SpectralDensity)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_PeriodSearch(benchmark::State& state) {
    auto& doc = Store().doc;
    for (auto _ : state) {
        doc.OnPeriodSearch();
        benchmark::DoNotOptimize(doc.m_pPeriodSpectrum.data());
    }
}
BENCHMARK(BM_PeriodSearch)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_Integrate(benchmark::State& state) {
    auto& doc = Store().doc;
    doc.m_dPeriodMin = 9.0;
    doc.m_dPeriodMax = 10.0;
    for (auto _ : state) {
        doc.OnIntegrate();
        benchmark::DoNotOptimize(doc.m_integral[256][0]);
    }
}
BENCHMARK(BM_Integrate)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
