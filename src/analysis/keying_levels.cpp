#include "analysis/keying_levels.h"

#include <algorithm>

namespace sorv {

void SmoothCircular(const double* x, int n, double* y) {
    if (n == 1) {
        y[0] = 3 * x[0];
        return;
    }
    for (int i = 0; i < n; ++i) {
        const int prev = i == 0 ? n - 1 : i - 1;
        const int next = i == n - 1 ? 0 : i + 1;
        y[i] = x[prev] + x[i] + x[next];
    }
}

double BisectLevel(const double* s, int n, int percent) {
    const auto [lo, hi] = std::minmax_element(s, s + n);
    const double minimum = *lo;
    const double maximum = *hi;
    const double tolerance = (maximum - minimum) / 128.0;
    double g = (3.0 * minimum + 2.0 * maximum) / 5.0;
    double step = (maximum - minimum) / 2.0;
    const int q = n * percent / 100;
    while (step > tolerance) {
        int below = 0;
        for (int i = 0; i < n; ++i) below += s[i] < g ? 1 : 0;
        if (below > q) g -= step;
        if (below < q) g += step;
        step /= 2.0;
    }
    return g;
}

KeyingLevels FindKeyingLevels(const double* s, int n) {
    return {BisectLevel(s, n, 50), BisectLevel(s, n, 90)};
}

}  // namespace sorv
