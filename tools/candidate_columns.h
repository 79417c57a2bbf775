// One candidate of the sensitive detector as a line of tab-separated columns, for the tools
// that study its decisions: line Hz, period, keying score, free-keying bound, read (0/1),
// text, score, margin, silence, misfit, the halves' scores, the halves agree (0/1), accepted
// (0/1), how much better each half fits its own reading, the residual's rms over units.
#pragma once

#include <cstdio>

#include "analysis/sensitive_search.h"

namespace sorv {

inline void PrintCandidateColumns(const CandidateRecord& c) {
    std::printf("%.2f\t%.4f\t%.2f\t%.2f\t%d\t%s\t%.2f\t%.2f\t%.2f\t%.3f\t%.2f\t%.2f\t%d\t%d\t%.2f\t%.2f\t%.2f\n", c.hz,
                c.period, c.keyingScore, c.bound, c.read ? 1 : 0, c.text.empty() ? "-" : c.text.c_str(), c.score,
                c.margin, c.silence, c.misfit, c.halfScore[0], c.halfScore[1], c.halvesAgree ? 1 : 0,
                c.accepted ? 1 : 0, c.halfLead[0], c.halfLead[1], c.residualRms);
}

}  // namespace sorv
