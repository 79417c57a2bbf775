// Mode 1 in Loran-C mode: slot s of the accumulation ring on pixel row s, spread over the
// width, each slot scaled between its own extremes.
#include <algorithm>
#include <cmath>

#include "display/graphs.h"
#include "display/view_geometry.h"

namespace sorv::view {

namespace {

// The extremes of a slot leave out its first and last value, which straddle the group's
// edges. A slot too short for that (2 values or fewer) is scaled over all its values.
Normaliser SlotScale(const double* values, int n) {
    if (n > 2) return Normaliser(values + 1, n - 2);
    return Normaliser(values, n);
}

}  // namespace

void DrawLoranGraph(Canvas& c, const CSorvantelDoc& doc) {
    const double length = doc.m_dLoranLength;
    if (!std::isfinite(length) || length <= 0.0) return;
    const int n = std::min(TruncToInt(length), kLoranSlotLength);
    const int w = c.Width();
    for (int s = 0; s < kLoranSlots; ++s) {
        QRgb* pixels = c.Row(s);
        if (!pixels) break;
        const double* values = doc.m_loranRing[s];
        const Normaliser scale = SlotScale(values, n);
        for (int i = 0; i < n; ++i) {
            const int x = TruncToInt(static_cast<double>(static_cast<long long>(i) * w) / length);
            if (x >= 0 && x < w) pixels[x] = Grey(scale.Grey(values[i]));
        }
    }
}

}  // namespace sorv::view
