// The automatic search with the sensitive detector over a full store (65536 rows, the default
// band and range: 14 lines): target at most 3 s, like the designed search. Once over noise
// alone, once with a weak beacon that it finds, integrates, reads and logs. Wall-clock time.
#include <benchmark/benchmark.h>

#include <memory>
#include <random>

#include "engine/sorvantel_doc.h"
#include "support/fake_platform.h"
#include "support/sensitive_rows.h"

namespace {

struct FullStore {
    sorv::test::FakePlatform platform;
    sorv::CSorvantelDoc doc{platform};
    explicit FullStore(bool beacon) {
        sorv::test::RowRecording r;
        r.rows = sorv::kMaxRows;
        r.firstLine = 0;
        r.lastLine = sorv::kLines - 1;
        r.seed = 21;
        if (beacon) {
            r.beacons.push_back({});
            r.beacons[0].snr = 0.5;
        }
        const auto rows = sorv::test::MakeRows(r);
        for (int j = 0; j < r.rows; ++j)
            for (int l = 0; l < sorv::kLines; ++l) doc.m_power[j][l] = rows[j][l];
        doc.m_nRows = r.rows;
        doc.m_bSensitiveDetection = 1;
        doc.m_bLogCheck = 0;
    }
};

void RunSearch(benchmark::State& state, bool beacon) {
    static FullStore noise(false), withBeacon(true);
    FullStore& store = beacon ? withBeacon : noise;
    for (auto _ : state) {
        store.doc.OnAutoSearch();
        benchmark::DoNotOptimize(store.doc.m_strIdent.data());
    }
    state.counters["found"] = store.doc.m_strIdent == "DGU" ? 1 : 0;
}

void BM_SensitiveSearchFullStoreNoise(benchmark::State& state) { RunSearch(state, false); }
void BM_SensitiveSearchFullStoreBeacon(benchmark::State& state) { RunSearch(state, true); }
BENCHMARK(BM_SensitiveSearchFullStoreNoise)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
BENCHMARK(BM_SensitiveSearchFullStoreBeacon)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

}  // namespace
