#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "engine/sorvantel_doc.h"
#include "support/fake_platform.h"
#include "support/morse_audio.h"

namespace sorv::test {
namespace {

// A folded trace drawn as text: '#' a bin where the tone is on, '.' where it is off.
class IdentDecodingTest : public ::testing::Test {
protected:
    FakePlatform platform;
    CSorvantelDoc doc{platform};
    void SetUp() override {
        doc.m_nBandLow = 250;  // 1.5 kHz around 1000 Hz: R = 23.4375
        doc.m_nBandHigh = 1750;
        doc.m_nRowsPerFrame = 2;
        doc.m_nLine = 60;
        doc.m_nRows = 1;
        doc.m_bLogCheck = 0;
    }
    void Trace(const std::string& bins) {
        doc.m_nTrialRows[256] = static_cast<int>(bins.size());
        for (size_t i = 0; i < bins.size(); ++i) doc.m_integral[256][i] = bins[i] == '#' ? 1.0 : 0.0;
    }
    std::string Decode(const std::string& bins) {
        Trace(bins);
        doc.OnIdent();
        return doc.m_strIdent;
    }
};

// Keys an ident with `dot` bins per dot, one-dot element gaps, `letterGap` bins between
// letters, then silence up to n bins.
std::string Keyed(const std::string& ident, int dot, int letterGap, size_t n) {
    std::string s;
    for (char c : ident) {
        if (!s.empty()) s += std::string(letterGap - dot, '.');
        for (char e : MorseCode(c)) s += std::string(e == '-' ? 3 * dot : dot, '#') + std::string(dot, '.');
    }
    s.resize(n, '.');
    return s;
}

std::string Rotated(const std::string& s, size_t by) { return s.substr(by) + s.substr(0, by); }

TEST_F(IdentDecodingTest, LWithThreeBinsADotDecodesAndSetsTenWpm) {
    EXPECT_EQ(Decode(Keyed("L", 3, 9, 100)), "L");
    EXPECT_EQ(doc.m_nWpm, 10);  // dash candidate 7: 3 * 23.4375 / 7 = 10.04
}

TEST_F(IdentDecodingTest, DguWithThreeDotLetterGapsDecodes) {
    EXPECT_EQ(Decode(Keyed("DGU", 3, 9, 200)), "DGU");
}

TEST_F(IdentDecodingTest, AnyCircularShiftDecodesTheSame) {
    const std::string trace = Keyed("DGU", 3, 9, 200);
    for (size_t by = 0; by < trace.size(); by += 7) EXPECT_EQ(Decode(Rotated(trace, by)), "DGU") << by;
    const std::string l = Keyed("L", 3, 9, 100);
    for (size_t by = 0; by < l.size(); ++by) ASSERT_EQ(Decode(Rotated(l, by)), "L") << by;
}

TEST_F(IdentDecodingTest, ManualSpeedSetsTheDashLength) {
    doc.m_bAutoWpm = 0;
    doc.m_nWpm = 20;  // dash 3 * 23.4375 / 20 + 0.5 -> 4 rows: too short to read
    EXPECT_EQ(Decode(Keyed("L", 3, 9, 100)), "...");
    doc.m_nWpm = 10;  // dash 7 rows
    EXPECT_EQ(Decode(Keyed("L", 3, 9, 100)), "L");
    EXPECT_EQ(doc.m_nWpm, 10);
}

TEST_F(IdentDecodingTest, ManualSpeedOfZeroOrBelowDecodesNothing) {
    doc.m_bAutoWpm = 0;
    for (int wpm : {0, -3}) {
        doc.m_nWpm = wpm;
        EXPECT_EQ(Decode(Keyed("L", 3, 9, 100)), "...") << wpm;
        EXPECT_EQ(doc.m_nWpm, wpm);
    }
}

TEST_F(IdentDecodingTest, EmptyMiddleTrialStoresDotsWithoutTouchingTheSpeed) {
    doc.m_nWpm = 13;
    for (int n : {0, -4}) {
        doc.m_strIdent.clear();
        doc.m_nTrialRows[256] = n;
        doc.OnIdent();
        EXPECT_EQ(doc.m_strIdent, "...") << n;
        EXPECT_EQ(doc.m_nWpm, 13);
    }
}

TEST_F(IdentDecodingTest, ATraceWithoutRunsLeavesTheSpeedAndGivesDots) {
    doc.m_nWpm = 13;
    EXPECT_EQ(Decode(std::string(120, '.')), "...");
    EXPECT_EQ(Decode("#.#.#.#.#.#.#.#.#.#.#.#.#.#.#.#.#.#.#.#."), "...");
    EXPECT_EQ(doc.m_nWpm, 13);
}

TEST_F(IdentDecodingTest, ALetterOfSixElementsGivesNothing) {
    std::string six;
    for (int i = 0; i < 6; ++i) six += "###...";
    six.resize(100, '.');
    EXPECT_EQ(Decode(six + Keyed("T", 3, 9, 40)), "T");
}

TEST_F(IdentDecodingTest, DoesNothingWithoutAValidLine) {
    Trace(Keyed("L", 3, 9, 100));
    doc.m_nLine = -1;
    doc.m_strIdent = "old";
    doc.OnIdent();
    EXPECT_EQ(doc.m_strIdent, "old");
}

TEST_F(IdentDecodingTest, LogsOnlyASuccessfulDecodingAndOnlyWhenLoggingIsOn) {
    doc.m_strLogDirectory = platform.dir.path() + "/logs/";
    const std::string file = doc.m_strLogDirectory + "sorvantel231114.log";
    doc.m_bLogCheck = 1;
    Decode(std::string(120, '.'));
    EXPECT_FALSE(std::filesystem::exists(file));
    doc.m_bLogCheck = 0;
    Decode(Keyed("L", 3, 9, 100));
    EXPECT_FALSE(std::filesystem::exists(file));
    doc.m_bLogCheck = 1;
    Decode(Keyed("L", 3, 9, 100));
    std::ifstream in(file, std::ios::binary);
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_EQ(text, "20231114 2213 L offset  953.1 Hz; period  9.50 s\r\n");
}

TEST(MorseChar, CoversTheWholeTableAndMarksUnknownPatterns) {
    auto pattern = [](const std::string& code) {
        unsigned m = 0;
        for (char e : code) m = 2 * m + (e == '-' ? 1u : 0u);
        return m;
    };
    for (char c : std::string("ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789")) {
        const std::string code = MorseCode(c);
        EXPECT_EQ(CSorvantelDoc::MorseChar(pattern(code), static_cast<int>(code.size())), std::string(1, c)) << code;
    }
    int unknownFours = 0;
    for (const char* code : {"..--", ".-.-", "---.", "----"}) {
        EXPECT_EQ(CSorvantelDoc::MorseChar(pattern(code), 4), "?") << code;
    }
    for (unsigned m = 0; m < 16; ++m) unknownFours += CSorvantelDoc::MorseChar(m, 4) == "?" ? 1 : 0;
    EXPECT_EQ(unknownFours, 4);
    int unknownFives = 0;
    for (unsigned m = 0; m < 32; ++m) unknownFives += CSorvantelDoc::MorseChar(m, 5) == "?" ? 1 : 0;
    EXPECT_EQ(unknownFives, 22);
    EXPECT_EQ(CSorvantelDoc::MorseChar(0, 0), "");
    EXPECT_EQ(CSorvantelDoc::MorseChar(0, 6), "");
}

}  // namespace
}  // namespace sorv::test
