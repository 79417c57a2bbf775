// The value of a given rank among n numbers: what std::nth_element leaves at that rank, found
// without moving the numbers. The detector takes medians of thousands of blocks of each line
// and spectrum it reads, and the comparisons of nth_element, whose outcome no branch predictor
// can guess, made them a noticeable part of a band survey's time.
#pragma once

#include <cstddef>

namespace sorv {

// rank counts from 0; 0 for a rank not below n. Numbers compare as doubles do (-0 below +0,
// which only matters to the sign of a zero returned); a NaN goes above +infinity or below
// -infinity by its sign bit.
double ValueAtRank(const double* values, size_t n, size_t rank);

// ValueAtRank at n / 2: the upper median, as the detector has always taken it.
inline double UpperMedian(const double* values, size_t n) { return n == 0 ? 0.0 : ValueAtRank(values, n, n / 2); }

}  // namespace sorv
