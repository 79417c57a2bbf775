// The spectral density: each line's amplitude summed over every stored row, so that a line
// carrying a steady signal stands out above the noise even when no single row shows it.
#include <algorithm>
#include <cmath>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "engine/sorvantel_doc.h"

namespace sorv {

namespace {

// Adds the square root of each of a row's 128 powers to its line's sum. The packed square
// root is the same correctly rounded operation as std::sqrt, two lines at a time; the library
// call cannot be vectorised because it may have to set errno.
void AddRowAmplitudes(const double* row, double* sums) {
#if defined(__SSE2__)
    for (int k = 0; k < kLines; k += 2) {
        const __m128d amplitude = _mm_sqrt_pd(_mm_loadu_pd(row + k));
        _mm_storeu_pd(sums + k, _mm_add_pd(_mm_loadu_pd(sums + k), amplitude));
    }
#else
    for (int k = 0; k < kLines; ++k) sums[k] += std::sqrt(row[k]);
#endif
}

}  // namespace

void CSorvantelDoc::OnSpectralDensity() {
    // Rows outer, lines inner: the same additions in the same (row) order for every line as a
    // line-by-line walk, but reading the store the way it lies in memory.
    double sums[kLines] = {};
    const int rows = std::clamp(m_nRows, 0, kMaxRows);
    for (int r = 0; r < rows; ++r) AddRowAmplitudes(m_power[r], sums);
    std::copy(std::begin(sums), std::end(sums), std::begin(m_specDensity));
    m_nViewMode = 2;
    UpdateAllViews();
}

}  // namespace sorv
