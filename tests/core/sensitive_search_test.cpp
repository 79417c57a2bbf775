// The sensitive detector over spectrogram rows made directly: what it accepts, once, on the
// right line and period, whatever the level, and what it refuses.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "analysis/sensitive_search.h"
#include "support/sensitive_rows.h"

namespace sorv::test {
namespace {

std::vector<SensitiveDetection> Search(const RowRecording& r, double periodMin = 6.0, double periodMax = 15.0) {
    const auto rows = MakeRows(r);
    SensitiveSearchInput in;
    in.power = rows.get();
    in.rows = r.rows;
    in.rowRate = r.rowRate;
    in.firstLine = 57;
    in.lastLine = 70;
    in.periodMin = periodMin;
    in.periodMax = periodMax;
    in.lineHz = 2000.0 / 128.0;
    return RunSensitiveSearch(in);
}

std::string Describe(const std::vector<SensitiveDetection>& found) {
    std::string s;
    for (const auto& d : found)
        s += d.ident + " line " + std::to_string(d.line) + " period " + std::to_string(d.period) + " score " +
             std::to_string(d.score) + "; ";
    return s;
}

RowRecording OneBeacon(double snr, uint32_t seed, int rows = 18750) {
    RowRecording r;
    r.rows = rows;
    r.seed = seed;
    r.beacons.push_back({});
    r.beacons[0].snr = snr;
    return r;
}

// A tone of the noise power in its line reads clearly over 10 minutes (score about 30); these
// rows, unlike the producer's, share nothing between neighbours, and read at scores above 20.
TEST(SensitiveSearch, FindsAWeakIdentOnceOnItsLineAndPeriod) {
    for (uint32_t seed = 1; seed <= 3; ++seed) {
        const auto found = Search(OneBeacon(1.0, seed));
        ASSERT_EQ(found.size(), 1u) << seed << ": " << Describe(found);
        EXPECT_EQ(found[0].ident, "DGU");
        EXPECT_EQ(found[0].line, 64);
        EXPECT_NEAR(found[0].period, 8.0, 0.005);
        EXPECT_GT(found[0].score, 2.0 * kSensitiveThreshold);
        EXPECT_EQ(found[0].wpm, 7);
    }
}

TEST(SensitiveSearch, TheLevelOfThePowerDoesNotMatter) {
    RowRecording r = OneBeacon(1.0, 4);
    const auto reference = Search(r);
    ASSERT_EQ(reference.size(), 1u) << Describe(reference);
    // Down to a few times what the 8-bit samples' rounding leaves in a line: the rows' floor is
    // never taken below that (a silent recording's floor would follow its one signal).
    for (double scale : {0.05, 0.37, 2.0, 9.1e3}) {
        r.scale = scale;
        const auto found = Search(r);
        ASSERT_EQ(found.size(), 1u) << scale;
        EXPECT_EQ(found[0].ident, reference[0].ident);
        EXPECT_EQ(found[0].line, reference[0].line);
        EXPECT_NEAR(found[0].period, reference[0].period, 1e-6);
        EXPECT_NEAR(found[0].score, reference[0].score, 1e-6 * reference[0].score) << scale;
    }
}

TEST(SensitiveSearch, NoiseGivesNothing) {
    for (uint32_t seed = 1; seed <= 8; ++seed) {
        RowRecording r;
        r.seed = 100 + seed;
        r.rows = seed % 2 ? 18750 : 65536;
        const auto found = Search(r);
        EXPECT_TRUE(found.empty()) << seed << ": " << Describe(found);
    }
}

// Noise folded over fewer periods reads higher, so a short recording's reading must fit
// better to be believed: in 5 and 10 minutes nothing is reported below the score its length
// asks (5 minutes had reported DGU at 14.0), while a clear ident still is, every time.
TEST(SensitiveSearch, AShortRecordingNeedsAStrongerFit) {
    EXPECT_EQ(AcceptScoreFor(35 * 60.0), kAcceptScore);
    EXPECT_EQ(AcceptScoreFor(120 * 60.0), kAcceptScore);
    EXPECT_GT(AcceptScoreFor(10 * 60.0), kAcceptScore + 2.0);
    EXPECT_GT(AcceptScoreFor(5 * 60.0), AcceptScoreFor(10 * 60.0));
    for (int rows : {9375, 18750}) {
        const double least = AcceptScoreFor(rows / RowRecording{}.rowRate);
        int clear = 0;
        for (double snr : {0.4, 0.45, 0.5, 0.8}) {
            for (uint32_t seed = 1; seed <= 4; ++seed) {
                const auto found = Search(OneBeacon(snr, seed, rows));
                for (const auto& d : found) EXPECT_GE(d.score, least) << rows << " rows: " << Describe(found);
                if (snr == 0.8 && found.size() == 1 && found[0].ident == "DGU") ++clear;
            }
        }
        EXPECT_EQ(clear, 4) << rows << " rows";
    }
}

// A strong ident leaks into the lines beside it, and its key edges click there: the leaks read
// as the same ident or as garbage at the same period, and none of them may be reported.
TEST(SensitiveSearch, AStrongIdentIsReportedOnlyOnItsOwnLine) {
    for (uint32_t seed = 1; seed <= 2; ++seed) {
        RowRecording r = OneBeacon(600.0, seed, 9375);
        r.beacons[0].leakPerLine = 0.05;
        r.beacons[0].clickPower = 0.01;
        const auto found = Search(r);
        ASSERT_EQ(found.size(), 1u) << Describe(found);
        EXPECT_EQ(found[0].ident, "DGU");
        EXPECT_EQ(found[0].line, 64);
    }
}

TEST(SensitiveSearch, TwoBeaconsAtDifferentPeriodsAreBothFound) {
    RowRecording r;
    r.beacons.resize(2);
    r.beacons[0].snr = 1.0;
    r.beacons[1].ident = "KX";
    r.beacons[1].line = 60;
    r.beacons[1].periodSeconds = 10.5;
    r.beacons[1].dotSeconds = 0.17;
    r.beacons[1].startSeconds = 1.3;
    r.beacons[1].snr = 1.0;
    auto found = Search(r);
    ASSERT_EQ(found.size(), 2u) << Describe(found);
    EXPECT_EQ(found[0].ident, "KX");
    EXPECT_EQ(found[0].line, 60);
    EXPECT_EQ(found[1].ident, "DGU");
    // On the same line as well, one much stronger than the other.
    r.beacons[1].line = 64;
    r.beacons[1].snr = 4.0;
    found = Search(r);
    ASSERT_EQ(found.size(), 2u) << Describe(found);
    EXPECT_EQ(found[0].ident, "DGU");
    EXPECT_NEAR(found[0].period, 8.0, 0.005);
    EXPECT_EQ(found[1].ident, "KX");
    EXPECT_NEAR(found[1].period, 10.5, 0.005);
}

// The halves of the recording must spell the same ident: a beacon whose ident changed
// halfway through reads as a mixture of both, which neither half confirms.
TEST(SensitiveSearch, AnIdentThatTheHalvesDoNotConfirmIsRefused) {
    RowRecording r = OneBeacon(2.0, 5);
    r.beacons[0].secondHalfIdent = true;
    r.beacons[0].secondIdent = "KX";
    EXPECT_TRUE(Search(r).empty());
}

// The harmonics of a period's double carry the keying too, and so do those of its half when
// the ident's pattern has little power at its own odd harmonics: the period reported is the
// ident's own.
TEST(SensitiveSearch, ThePeriodIsTheIdentsOwnNotAMultipleOrAPart) {
    for (double period : {6.0, 7.5, 14.5}) {
        RowRecording r = OneBeacon(20.0, 6, 9375);
        r.beacons[0].periodSeconds = period;
        r.beacons[0].ident = "TT";
        const auto found = Search(r);
        ASSERT_EQ(found.size(), 1u) << period << ": " << Describe(found);
        EXPECT_EQ(found[0].ident, "TT");
        EXPECT_NEAR(found[0].period, period, 0.01);
    }
    // A period outside the range is not reported as its half or its double.
    RowRecording r = OneBeacon(20.0, 6, 18750);
    r.beacons[0].periodSeconds = 20.0;
    EXPECT_TRUE(Search(r).empty());
    r.beacons[0].periodSeconds = 4.0;  // at 8 s and 12 s it would read TTTT and TTTTTT
    EXPECT_TRUE(Search(r).empty()) << Describe(Search(r));
}

// A longer recording holds the same evidence and more: whatever a recording's first part
// reads, the whole reads too.
TEST(SensitiveSearch, ALongerRecordingNeverLosesAnIdent) {
    int foundShort = 0;
    for (uint32_t seed = 1; seed <= 4; ++seed) {
        for (double snr : {0.35, 0.45}) {
            const auto shorter = Search(OneBeacon(snr, seed, 9375));
            const auto longer = Search(OneBeacon(snr, seed, 37500));
            if (!shorter.empty()) ++foundShort;
            if (!shorter.empty()) {
                ASSERT_EQ(longer.size(), 1u) << seed << " " << snr;
                EXPECT_EQ(longer[0].ident, "DGU");
            }
            EXPECT_EQ(longer.size(), 1u) << seed << " " << snr << ": " << Describe(longer);
        }
    }
    // Near the limit of 5 minutes, so that the comparison means something; 20 minutes hold
    // each ident at twice the score.
    EXPECT_GT(foundShort, 0);
    EXPECT_LT(foundShort, 8);
}

// A survey's channel keeps only its searched lines, in single precision and its own order:
// searched from there at a fixed floor, they must give what the full store gives, to the bit.
TEST(SensitiveSearch, LinesKeptElsewhereAreSearchedAsTheStoreIs) {
    const RowRecording r = OneBeacon(1.0, 2);
    const auto rows = MakeRows(r);
    SensitiveSearchInput in;
    in.rows = r.rows;
    in.rowRate = r.rowRate;
    in.firstLine = 60;
    in.lastLine = 68;
    in.periodMin = 6.0;
    in.periodMax = 15.0;
    in.lineHz = 2000.0 / 128.0;
    in.floorFromLines = false;
    // The store as single precision would keep it, and a copy of its searched lines kept
    // backwards with another line between each two.
    const int count = in.lastLine - in.firstLine + 1, stride = 2 * count;
    std::vector<float> kept(static_cast<size_t>(r.rows) * stride, -1.0f);
    SearchedLineRows lines;
    lines.values = kept.data();
    lines.rowStride = static_cast<size_t>(stride);
    for (int l = in.firstLine; l <= in.lastLine; ++l) lines.column.push_back(2 * (in.lastLine - l) + 1);
    for (int j = 0; j < r.rows; ++j) {
        for (int l = in.firstLine; l <= in.lastLine; ++l) {
            const float v = static_cast<float>(rows[j][l]);
            rows[j][l] = v;
            kept[static_cast<size_t>(j) * stride + static_cast<size_t>(lines.column[static_cast<size_t>(l - in.firstLine)])] = v;
        }
    }
    in.power = rows.get();
    const auto fromStore = RunSensitiveSearch(in);
    ASSERT_EQ(fromStore.size(), 1u) << Describe(fromStore);
    in.power = nullptr;
    in.lineRows = &lines;
    const auto fromLines = RunSensitiveSearch(in);
    ASSERT_EQ(fromLines.size(), 1u) << Describe(fromLines);
    EXPECT_EQ(fromLines[0].ident, fromStore[0].ident);
    EXPECT_EQ(fromLines[0].line, fromStore[0].line);
    EXPECT_EQ(fromLines[0].period, fromStore[0].period);
    EXPECT_EQ(fromLines[0].score, fromStore[0].score);
    EXPECT_EQ(fromLines[0].toneHz, fromStore[0].toneHz);
    // Without the lines around, the floor cannot come from them; and every searched line must
    // have its column.
    in.floorFromLines = true;
    EXPECT_TRUE(RunSensitiveSearch(in).empty());
    in.floorFromLines = false;
    lines.column.pop_back();
    EXPECT_TRUE(RunSensitiveSearch(in).empty());
}

TEST(SensitiveSearch, NothingToSearchGivesNothing) {
    RowRecording r = OneBeacon(2.0, 7, 200);  // under a minute: no period fits three times a half
    EXPECT_TRUE(Search(r).empty());
    EXPECT_TRUE(Search(OneBeacon(2.0, 7), 9.0, 8.0).empty());  // an inverted period range
    SensitiveSearchInput in;                                    // no store at all
    EXPECT_TRUE(RunSensitiveSearch(in).empty());
    const auto rows = MakeRows(OneBeacon(2.0, 7));
    in.power = rows.get();
    in.rows = 18750;
    in.rowRate = std::nan("");
    in.firstLine = 57;
    in.lastLine = 70;
    in.periodMin = 6.0;
    in.periodMax = 15.0;
    EXPECT_TRUE(RunSensitiveSearch(in).empty());
    in.rowRate = 31.25;
    in.firstLine = 90;  // lines outside the store are never read
    in.lastLine = 300;
    EXPECT_TRUE(RunSensitiveSearch(in).empty());
}

}  // namespace
}  // namespace sorv::test
