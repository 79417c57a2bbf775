// The spectral density: each line's amplitude summed over every stored row, so that a line
// carrying a steady signal stands out above the noise even when no single row shows it.
#include <algorithm>
#include <cmath>

#include "engine/sorvantel_doc.h"

namespace sorv {

void CSorvantelDoc::OnSpectralDensity() {
    // Rows outer, lines inner: the same additions in the same (row) order for every line as a
    // line-by-line walk, but reading the store the way it lies in memory.
    double sums[kLines] = {};
    const int rows = std::clamp(m_nRows, 0, kMaxRows);
    for (int r = 0; r < rows; ++r) {
        const double* row = m_power[r];
        for (int k = 0; k < kLines; ++k) sums[k] += std::sqrt(row[k]);
    }
    std::copy(std::begin(sums), std::end(sums), std::begin(m_specDensity));
    m_nViewMode = 2;
    UpdateAllViews();
}

}  // namespace sorv
