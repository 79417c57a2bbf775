// The ident decoding: reads the Morse ident out of the middle trial of the integration image.
// The trace is one ident period and wraps round, so every index is taken modulo its length.
// It is smoothed, cut into on and off by a level between its median and its upper level, the
// lengths of its runs give the speed, and decoding starts right after the longest run (the
// silence between two idents), so that the letters come out in order whatever the phase.
#include <algorithm>
#include <cmath>
#include <limits>
#include <string>

#include "analysis/keying_levels.h"
#include "engine/sorvantel_doc.h"

namespace sorv {

namespace {

constexpr int kHistogramSize = 512;

struct RunLengths {
    int histogram[kHistogramSize] = {};  // index: run length - 1
    int longestEnd = 0;                  // position of the last sample of the longest run
};

// Walks twice round the circle. A run of k equal samples counts k - 1; the run in progress
// at the start is not counted in the first round; ties for the longest keep the first.
void CountRuns(const int* on, int n, RunLengths& runs) {
    int counter = -1;
    int longest = -1;
    for (int i = 0; i < 2 * n; ++i) {
        if (on[i % n] != on[(i + 1) % n]) {
            if (counter >= 0) {
                ++runs.histogram[counter];
                if (counter > longest) {
                    longest = counter;
                    runs.longestEnd = i % n;
                }
            }
            counter = 0;
        } else if (counter >= 0) {
            ++counter;
        }
    }
}

// The dash length (as a run count) that best explains the histogram: bumps at the dash and
// at a third of it; ties go to the shorter dash. 0 when nothing scores above 0.
int BestDashLength(RunLengths& runs) {
    runs.histogram[0] = 0;  // single-sample runs are noise
    double best = 0.0;
    int winner = 0;
    for (int a = 6; a <= 19; ++a) {
        double score = 0.0;
        for (int j = 0; j <= 23; ++j) {
            const double dash = a - j;
            const double dot = a / 3.0 - j;
            score += runs.histogram[j] * (std::exp(-dash * dash / 4.0) + std::exp(-dot * dot / 4.0));
        }
        if (score > best) {
            best = score;
            winner = a;
        }
    }
    return winner;
}

// Whole words per minute for a dash of `dash` rows at `rowRate` rows a second, or -1 when
// that is no usable number.
int WpmForDash(double rowRate, int dash) {
    const double w = 3.0 * rowRate / dash;
    if (!(w >= 0.0 && w < std::numeric_limits<int>::max())) return -1;
    return static_cast<int>(w);
}

// The dash length in rows for a manual speed; 0 (nothing decodable) for a speed of 0 or less.
int DashForWpm(double rowRate, int wpm) {
    if (wpm <= 0) return 0;
    const double rows = 3.0 * rowRate / wpm + 0.5;
    if (!(rows >= 0.0)) return 0;
    return rows < 1e6 ? static_cast<int>(rows) : 1000000;
}

// Reads dots, dashes and letter gaps from just after `start`, once round the circle (n + 1
// pairs), emitting a letter at every off run of at least two thirds of a dash. Elements still
// pending when the walk ends are dropped.
std::string ReadLetters(const int* on, int n, int start, int dash) {
    const int threshold = 2 * dash / 3;
    std::string text;
    int counter = 0;
    unsigned pattern = 0;
    int elements = 0;
    for (int p = start; p <= start + n; ++p) {
        const int now = on[p % n];
        const int next = on[(p + 1) % n];
        if (now == next) {
            ++counter;
            continue;
        }
        if (next == 0) {
            pattern = 2 * pattern + (counter >= threshold ? 1u : 0u);
            ++elements;
        } else if (counter >= threshold) {
            text += CSorvantelDoc::MorseChar(pattern, elements);
            pattern = 0;
            elements = 0;
        }
        counter = 0;
    }
    return text;
}

}  // namespace

std::string CSorvantelDoc::MorseChar(unsigned m, int e) {
    // Dots are 0 bits and dashes 1 bits, the first element the most significant.
    static const char* const kByLength[6] = {
        "",
        "ET",
        "IANM",
        "SURWDKGO",
        "HVF?L?PJBXCYZQ??",
        "54?3???2" "???????1" "6???????" "7???8?90",
    };
    if (e < 1 || e > 5 || m >= (1u << e)) return {};
    return std::string(1, kByLength[e][m]);
}

void CSorvantelDoc::OnIdent() {
    if (!LineIsValid()) return;
    const int n = std::min(m_nTrialRows[256], kPhaseBins);
    if (n <= 0) {
        // A middle trial shorter than half a row, or an empty period range: nothing to read.
        m_strIdent = "...";
        UpdateAllViews();
        return;
    }

    double smooth[kPhaseBins];
    int on[kPhaseBins];
    SmoothCircular(m_integral[256], n, smooth);
    const KeyingLevels levels = FindKeyingLevels(smooth, n);
    const double threshold = (levels.g50 + levels.g90) / 2.0;
    for (int i = 0; i < n; ++i) on[i] = smooth[i] >= threshold ? 1 : 0;

    RunLengths runs;
    CountRuns(on, n, runs);
    const int winner = BestDashLength(runs);
    const double R = RowRate();
    int dash = 0;
    if (m_bAutoWpm) {
        const int wpm = winner > 0 ? WpmForDash(R, winner) : -1;
        if (wpm >= 0) {
            dash = winner;
            m_nWpm = wpm;
        }
    } else {
        dash = DashForWpm(R, m_nWpm);
    }

    std::string text;
    if (dash > 4) text = ReadLetters(on, n, runs.longestEnd + 1, dash);
    m_strIdent = text;
    if (m_bLogCheck && !m_strIdent.empty()) WriteLogEntry();
    if (m_strIdent.empty()) m_strIdent = "...";
    UpdateAllViews();
}

}  // namespace sorv
