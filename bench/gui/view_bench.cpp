// Repaint of the view at 1920 x 1080 in every mode, with every store full: the spectrogram
// scrolled over its whole width, 4096 period bins shown, all 512 integral rows 511 wide.
// Target: at most 20 ms a repaint.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QImage>
#include <QPixmap>
#include <clocale>
#include <cstdlib>
#include <memory>
#include <random>

#include "display/sorvantel_view.h"
#include "engine/sorvantel_doc.h"
#include "support/fake_platform.h"

namespace {

constexpr int kW = 1920, kH = 1080;

struct Scene {
    sorv::test::FakePlatform platform;
    sorv::CSorvantelDoc doc{platform};
    sorv::CSorvantelView view{doc};

    Scene() {
        std::mt19937 rng(1);
        doc.m_bProcessing = 1;
        doc.m_bClipping = 1;
        doc.m_nRows = 30000;
        for (int r = 0; r < sorv::kMaxRows; ++r) {
            for (int i = 0; i < sorv::kLines; ++i) doc.m_level[r][i] = static_cast<int>(rng() % 256);
        }
        for (int i = 0; i < sorv::kRawRingSize; ++i) doc.m_rawRing[i] = static_cast<int>(rng() % 256) - 128;
        for (int i = 0; i < sorv::kLines; ++i) {
            doc.m_specDensity[i] = rng() % 1000;
            doc.m_bLineSearched[i] = i % 3 == 0;
        }
        doc.m_nLine = 64;
        doc.m_nPeriodBins = 32768;
        doc.m_nPeriodScale = 8;  // the most bins shown: 4096
        doc.m_pPeriodSpectrum.resize(32769);
        for (double& v : doc.m_pPeriodSpectrum) v = (rng() % 10000) / 10000.0;
        doc.m_nPeriodBin = 100;
        for (int r = 0; r < sorv::kTrials; ++r) {
            doc.m_nTrialRows[r] = 511;
            for (int j = 0; j < sorv::kPhaseBins; ++j) doc.m_integral[r][j] = rng() % 5000;
        }
        doc.m_strIdent = "ABC";
        for (int s = 0; s < sorv::kLoranSlots; ++s) {
            for (int i = 0; i < sorv::kLoranSlotLength; ++i) doc.m_loranRing[s][i] = rng() % 5000;
        }
        view.resize(kW, kH);
        view.OnLButtonDown(QPoint(100, 700));
    }
    void SetMode(int mode) {
        doc.m_bLoran = mode == 5;
        doc.m_nViewMode = mode == 5 ? 1 : mode;
        doc.m_nViewMode == 4 ? view.OnMouseMove(QPoint(400, 650), true) : view.OnMouseMove(QPoint(0, 0), false);
    }
};

Scene& TheScene() {
    static Scene scene;
    return scene;
}

// OnDraw into a fresh back buffer, as every paint does. Arg: mode 0..4, 5 = Loran-C picture.
void BM_ViewDraw(benchmark::State& state) {
    Scene& s = TheScene();
    s.SetMode(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        QImage back(kW, kH, QImage::Format_RGB32);
        s.view.OnDraw(back);
        benchmark::DoNotOptimize(back.constBits());
    }
}
BENCHMARK(BM_ViewDraw)->DenseRange(0, 5)->Unit(benchmark::kMillisecond);

// The whole paint event through Qt's widget painting, blit included.
void BM_ViewPaintEvent(benchmark::State& state) {
    Scene& s = TheScene();
    s.SetMode(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        QPixmap p = s.view.grab();
        benchmark::DoNotOptimize(p.cacheKey());
    }
}
BENCHMARK(BM_ViewPaintEvent)->DenseRange(0, 5)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    if (std::getenv("QT_QPA_PLATFORM") == nullptr) setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication app(argc, argv);
    std::setlocale(LC_NUMERIC, "C");
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
