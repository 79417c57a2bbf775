#include "analysis/sensitive_decoding.h"

#include <algorithm>

namespace sorv {

UnitRange AutomaticUnits(double rowRate) {
    return {std::max(2.0, 1.2 * rowRate / 16.0), 1.2 * rowRate / 4.5};
}

UnitRange UnitsForSpeed(double rowRate, int wpm) {
    if (wpm <= 0) return {};
    const double dot = rowRate / wpm;
    return {std::max(1.0, 0.8 * dot), 1.5 * dot};
}

int WpmOfTiming(double rowRate, const KeyingTiming& timing) {
    const double dashRun = 3.0 * timing.unit - 1.0;
    if (!(dashRun > 0.0)) return 0;
    const double w = 3.0 * rowRate / dashRun;
    return w >= 0.0 && w < 1e6 ? static_cast<int>(w) : 0;
}

}  // namespace sorv
