// The automatic search's refinement written the straightforward way, one trial after another on
// one thread, each row's phase from two divisions, the power read from the spectrogram store:
// what the fast refinement must reproduce bit for bit, and what the benchmark measures it against.
#pragma once

#include <algorithm>
#include <vector>

#include "analysis/keying_levels.h"
#include "analysis/period_refinement.h"

namespace sorv::test {

struct ReferenceFold {
    const double (*power)[128];
    int line;
    int rows;
    double rowRate;
};

// Score of one trial period; false when the trial is skipped (q = 0 or under half a row).
inline bool ReferenceTrialScore(const ReferenceFold& in, double P, std::vector<double>& F,
                                std::vector<double>& Y, double& score) {
    const double R = in.rowRate;
    const int full = static_cast<int>(P * R + 0.5);
    if (full < 1) return false;
    const int n = std::min(full, kFoldBins);
    const int q = in.rows / n;
    if (q == 0) return false;
    F.assign(kFoldBins, 0.0);
    const int g = static_cast<int>(P * R);
    for (int j = 0; in.rows - j - 1 > g; ++j) {
        const double t = j / R;
        const int m = static_cast<int>(t / P);
        const int i = static_cast<int>(R * (t - m * P) + 0.5);
        if (i >= 0 && i < kFoldBins) F[i] += in.power[j][in.line];
    }
    for (int i = 0; i < n; ++i) F[i] /= q;
    Y.assign(n, 0.0);
    SmoothCircular(F.data(), n, Y.data());
    const KeyingLevels lv = FindKeyingLevels(Y.data(), n);
    score = (lv.g90 - lv.g50) / (in.rows / (P * R));
    return true;
}

inline RefinementResult ReferenceRefine(const ReferenceFold& in, const TrialRange& range) {
    RefinementResult r;
    std::vector<double> F, Y;
    if (range.empty()) return r;
    for (double P = range.first; P <= range.last; P += kTrialStep) {
        ++r.trials;
        double score = 0.0;
        if (!ReferenceTrialScore(in, P, F, Y, score)) continue;
        if (score > r.bestScore) {
            r.bestScore = score;
            r.bestPeriod = P;
        }
    }
    return r;
}

}  // namespace sorv::test
