// Band edges anywhere in the integer range: everything the core derives from them is computed
// without overflowing (the sanitizer build stops at the first overflow), and ordinary bands
// keep the values they always had.
#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <vector>

#include "engine/sorvantel_doc.h"
#include "support/fake_platform.h"
#include "support/signals.h"

namespace sorv::test {
namespace {

struct Edges {
    int lo, hi, rowsPerFrame;
};

constexpr Edges kExtremes[] = {
    {INT_MIN, INT_MAX, 2}, {INT_MAX, INT_MIN, 16}, {INT_MAX - 376, INT_MAX, 8}, {INT_MIN, INT_MIN + 3000, 1},
};

void SetEdges(CSorvantelDoc& doc, const Edges& e) {
    doc.m_nBandLow = e.lo;
    doc.m_nBandHigh = e.hi;
    doc.m_nRowsPerFrame = e.rowsPerFrame;
}

TEST(BandEdgeLimits, WidthDecimationRowRateAndLineFrequencyAreExact) {
    FakePlatform platform;
    CSorvantelDoc doc(platform);
    // The start-up band and the narrowest choice as they always were.
    EXPECT_EQ(doc.Decimation(), 24);
    EXPECT_EQ(doc.RowRate(), 31.25);
    EXPECT_EQ(doc.LineFrequency(64), 1000.0);
    SetEdges(doc, {906, 1094, 16});
    EXPECT_EQ(doc.Decimation(), 255);
    EXPECT_EQ(doc.RowRate(), 23.5);

    SetEdges(doc, kExtremes[0]);
    EXPECT_EQ(doc.BandWidth(), 4294967295LL);
    EXPECT_EQ(doc.Decimation(), 1);
    EXPECT_EQ(doc.RowRate(), 4294967295.0 / 64.0);
    EXPECT_EQ(doc.LineFrequency(127), INT_MIN + 127 * 4294967295.0 / 128.0);
    SetEdges(doc, kExtremes[1]);
    EXPECT_EQ(doc.BandWidth(), -4294967295LL);
    EXPECT_EQ(doc.Decimation(), 1);
    EXPECT_LT(doc.RowRate(), 0.0);
    SetEdges(doc, kExtremes[2]);
    EXPECT_EQ(doc.Decimation(), 127);
    EXPECT_EQ(doc.LineFrequency(128), static_cast<double>(INT_MAX));
}

TEST(BandEdgeLimits, TheRoadRunsAtExtremeEdges) {
    for (const Edges& e : kExtremes) {
        SCOPED_TRACE(e.lo);
        FakePlatform platform;
        CSorvantelDoc doc(platform);
        PrepareProducer(doc);
        SetEdges(doc, e);
        Feed(doc, Tone(1000, 30, 20000));
        ASSERT_GT(doc.m_nRows, 0);
        for (int r = 0; r < doc.m_nRows; ++r)
            for (int l = 0; l < kLines; ++l) ASSERT_TRUE(std::isfinite(doc.m_power[r][l]));
        doc.OnStop();

        // The spectral range dialog opens on the band's centre and its nearest width choice.
        doc.OnSpectralRange();
        ASSERT_EQ(platform.spectrumShown.size(), 1u);
        EXPECT_EQ(platform.spectrumShown[0].centreHz,
                  static_cast<int>((static_cast<int64_t>(e.lo) + e.hi) / 2));

        // Both searches find their lines from the band, and a saved file loads its levels back.
        doc.OnAutoSearch();
        doc.m_bSensitiveDetection = 1;
        doc.OnAutoSearch();
        const std::string path = platform.dir.file("edges.svl");
        platform.saveAnswers.push_back(path);
        doc.OnSave();
        const int rows = doc.m_nRows;
        platform.openAnswers.push_back(path);
        doc.OnLoad();
        EXPECT_EQ(doc.m_nRows, rows);
    }
}

}  // namespace
}  // namespace sorv::test
