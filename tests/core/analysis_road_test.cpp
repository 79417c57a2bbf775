// The manual road from receiver audio to a logged ident: synthetic keyed-Morse audio through
// the spectrogram producer, the spectral density, the strongest line near the tone, the period
// search, the peak bin of the search window, the integration, narrowing around the crossover
// as a user would, and the decoding with its log entry.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <cstring>
#include <sstream>

#include "engine/sorvantel_doc.h"
#include "engine/text_format.h"
#include "support/fake_platform.h"
#include "support/morse_audio.h"
#include "support/signals.h"

namespace sorv::test {
namespace {

// The strongest density line within 50 Hz of the tone, as the user picks it from the graph.
int StrongestLineNear(const CSorvantelDoc& doc, double hz) {
    int best = -1;
    for (int l = 0; l < kLines; ++l) {
        if (std::abs(doc.LineFrequency(l) - hz) > 50.0) continue;
        if (best < 0 || doc.m_specDensity[l] > doc.m_specDensity[best]) best = l;
    }
    return best;
}

// The peak of the period spectrum among the bins whose periods lie in [shortest, longest] s.
int PeakBinForPeriods(const CSorvantelDoc& doc, double shortest, double longest) {
    const double c = doc.RowRate() * 0.5 / doc.m_nPeriodBins;
    int best = -1;
    for (int k = 1; k < doc.m_nPeriodBins; ++k) {
        const double period = 1.0 / (k * c);
        if (period < shortest || period > longest) continue;
        if (best < 0 || doc.m_pPeriodSpectrum[k] > doc.m_pPeriodSpectrum[best]) best = k;
    }
    return best;
}

// The trial whose folded trace stands out most from its own mean: where the ident's traces
// line up, the crossover that the user double-clicks.
int SharpestTrial(const CSorvantelDoc& doc) {
    int best = 0;
    double bestContrast = -1.0;
    for (int d = 0; d < kTrials; ++d) {
        const int n = doc.m_nTrialRows[d];
        if (n < 2) continue;
        double mean = 0.0;
        for (int i = 0; i < n; ++i) mean += doc.m_integral[d][i];
        mean /= n;
        if (!(mean > 0.0)) continue;
        double var = 0.0;
        for (int i = 0; i < n; ++i) var += (doc.m_integral[d][i] - mean) * (doc.m_integral[d][i] - mean);
        const double contrast = var / (n * mean * mean);
        if (contrast > bestContrast) {
            bestContrast = contrast;
            best = d;
        }
    }
    return best;
}

// How well one row tells the keyed tone from its absence on a line: the difference of the mean
// power of rows inside marks and rows inside spaces, in standard deviations of the latter.
// Below 1, no single row (and so no single ident) shows the keying.
double RowDetectability(const CSorvantelDoc& doc, const MorseIdentAudio& audio, int line) {
    const double rowSeconds = 128.0 / doc.m_nRowsPerFrame * (48000 / (doc.m_nBandHigh - doc.m_nBandLow)) / 48000.0;
    double sum[2] = {}, sum2[2] = {};
    int count[2] = {};
    for (int r = 0; r < doc.m_nRows; ++r) {
        const double t = r * rowSeconds;  // centre of the row's transform window
        const bool a = audio.KeyedAt(t - rowSeconds), b = audio.KeyedAt(t), c = audio.KeyedAt(t + rowSeconds);
        if (a != b || b != c) continue;
        const double p = doc.m_power[r][line];
        sum[b] += p;
        sum2[b] += p * p;
        ++count[b];
    }
    if (count[0] < 2 || count[1] < 2) return 0.0;
    const double meanOff = sum[0] / count[0];
    const double sdOff = std::sqrt(sum2[0] / count[0] - meanOff * meanOff);
    return (sum[1] / count[1] - meanOff) / sdOff;
}

double TrialPeriod(const CSorvantelDoc& doc, int d) {
    return doc.m_dPeriodMin + (doc.m_dPeriodMax - doc.m_dPeriodMin) * d / 512.0;
}

struct RoadCase {
    const char* ident;
    double wpm;
    double period;
    double toneAmplitude;
    double noiseRms;
    double seconds;
    uint32_t seed;
    bool weak;  // one row cannot show the keying
};

void PrintTo(const RoadCase& c, std::ostream* os) {
    *os << c.ident << " at " << c.wpm << " wpm every " << c.period << " s, tone " << c.toneAmplitude
        << " in noise " << c.noiseRms << " for " << c.seconds << " s";
}

class AnalysisRoad : public ::testing::TestWithParam<RoadCase> {};

TEST_P(AnalysisRoad, DecodesAndLogsTheIdentFromAudio) {
    const RoadCase& rc = GetParam();
    FakePlatform platform;
    CSorvantelDoc doc{platform};
    PrepareProducer(doc);
    MorseIdentSpec spec;
    spec.ident = rc.ident;
    spec.wpm = rc.wpm;
    spec.periodSeconds = rc.period;
    spec.toneAmplitude = rc.toneAmplitude;
    spec.noiseRms = rc.noiseRms;
    spec.seed = rc.seed;
    MorseIdentAudio audio(spec);
    FeedMorseIdent(doc, audio, rc.seconds);
    ASSERT_GT(doc.m_nRows, 5000);

    doc.OnSpectralDensity();
    doc.m_nLine = StrongestLineNear(doc, spec.toneHz);
    ASSERT_GE(doc.m_nLine, 0);
    const double detectability = RowDetectability(doc, audio, doc.m_nLine);
    if (rc.weak) {
        EXPECT_LT(detectability, 1.0);
    } else {
        EXPECT_GT(detectability, 3.0);
    }

    doc.OnPeriodSearch();
    const int bin = PeakBinForPeriods(doc, 6.0, 15.0);
    ASSERT_GT(bin, 0);
    doc.m_nPeriodBin = bin;
    doc.SetRangeFromBin(bin);
    ASSERT_EQ(doc.m_nViewMode, 4);
    for (int pass = 0; pass < 3; ++pass) doc.NarrowRangeAround(TrialPeriod(doc, SharpestTrial(doc)));
    const double period = (doc.m_dPeriodMin + doc.m_dPeriodMax) / 2;
    EXPECT_NEAR(period, rc.period, 0.005);

    doc.OnIdent();
    EXPECT_EQ(doc.m_strIdent, rc.ident);
    // The decoder counts a dot as 1/w seconds, the synthesiser as 1.2/w.
    EXPECT_NEAR(doc.m_nWpm, rc.wpm / 1.2, 1.5);

    std::ifstream log(doc.m_strLogDirectory + "sorvantel231114.log", std::ios::binary);
    std::stringstream text;
    text << log.rdbuf();
    const std::string ident = std::string(rc.ident) + (std::strlen(rc.ident) == 2 ? " " : "");
    EXPECT_EQ(text.str(), FormatC("20231114 2213 %s offset %6.1lf Hz; period %5.2lf s\r\n", ident.c_str(),
                                  doc.LineFrequency(doc.m_nLine), period));
}

// Strong, moderate and weak: in the last, one row tells the keyed tone from the noise less
// well than one standard deviation, so no single ident can be read; 150 periods fold it out.
INSTANTIATE_TEST_SUITE_P(Idents, AnalysisRoad,
                         ::testing::Values(RoadCase{"DGU", 8, 9.0, 40, 10, 180, 1, false},
                                           RoadCase{"ABC", 6, 10.0, 3, 30, 180, 2, false},
                                           RoadCase{"KX", 10, 8.0, 2, 25, 240, 3, false},
                                           RoadCase{"RK", 7, 8.0, 1.0, 30, 1200, 5, true}));

}  // namespace
}  // namespace sorv::test
