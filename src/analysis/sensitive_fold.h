// Folding a line's power history at one period, for the sensitive search. The phase of a row
// is computed exactly as the integration computes it for one trial, so that the trace judged
// here is, bin for bin, the middle trial that the integration then shows and the decoding
// reads.
#pragma once

#include <vector>

#include "analysis/morse_reader.h"

namespace sorv {

constexpr int kMaxFoldLength = 4095;  // phase bins of the longest period folded

class PeriodFold {
public:
    PeriodFold() : sum_(kMaxFoldLength + 1), count_(kMaxFoldLength + 1), mean_(kMaxFoldLength) {}

    // Folds rows from .. to-1 of series at period seconds (row j at j / rowRate seconds).
    // False, with an empty trace, when the period is not a positive length of 1 to 4095 rows.
    bool Fold(const double* series, int from, int to, double rowRate, double period);

    // The period in rows, rounded: the trace's length.
    int Length() const { return length_; }
    // Sums and counts per phase bin as the integration stores them: bins 0 .. Length(), the
    // last one receiving the rows whose phase rounds up to a whole period.
    const double* Sums() const { return sum_.data(); }
    const int* Counts() const { return count_.data(); }
    // The mean power per phase bin over Length() bins, the last bin folded into bin 0 (the
    // same phase); a bin that received no row holds the overall mean.
    const double* Trace() const { return mean_.data(); }
    // Variance of the trace after the three-bin smoothing: what the period refinement
    // maximises.
    double SmoothedVariance() const;

private:
    std::vector<double> sum_;
    std::vector<int> count_;
    std::vector<double> mean_;
    int length_ = 0;
};

// Rows of a recording that the integration folds at a period: the last whole period's worth
// of rows and one more never are. 0 when the period does not fit.
int FoldedRows(int rows, double rowRate, double period);

// Removes from series[0..rows-1] the part that repeats with the period: each row loses its
// phase bin's keying (the bin's mean over the whole series, less the overall mean), scaled by
// how strong the keying is around that row, fitted over a period at a time and
// interpolated between. What is left holds no keying at that period, nor at any multiple of
// its repetition frequency, even from a beacon that fades or a receiver's AGC: removing only
// the mean keying would leave what the fading did to it, which folds at other periods into
// texts of its own.
// With a shape (one period of the keying to take out, in as many bins as the fold), only the
// part of the series' own fold that looks like it goes: a beacon at twice the period keeps the
// half of its keying that a fold at this period also holds.
void RemovePeriodic(double* series, int rows, double rowRate, double period, PeriodFold& work,
                    const std::vector<double>* shape = nullptr);

// The length in rows (bins) of a fold at period seconds: the period in rows, rounded; 0 when
// the period is not 1 to 4095 rows long.
int FoldLength(double rowRate, double period);

// Values given at ascending row positions, interpolated linearly to every row 0..rows-1 and
// held beyond the first and the last: a gain or weight known part by part, for each row.
void InterpolateOverRows(const std::vector<double>& at, const std::vector<double>& value, int rows,
                         std::vector<double>& out);

// The fold of rows from .. to-1 of series at a period as the reader takes it: the mean of each
// phase bin and the rows it holds (bin Length() folded into bin 0, the same phase). parity 0
// or 1 takes only the even or the odd repetitions (whole periods since row 0), -1 all of them.
// False when the period is not 1 to 4095 rows long. With weights (one per row of series),
// each bin holds the weighted mean, and as its count the number of equally weighted rows
// that would leave the same noise in it.
bool FoldForReading(const double* series, int from, int to, double rowRate, double period, int parity,
                    FoldedTrace& out, const double* weights = nullptr);

// Trace of a fold given as the integration's sums with their counts (n + 1 bins, bin n folded
// into bin 0); n values into trace.
void TraceFromSums(const double* sums, const int* counts, int n, double* trace);

}  // namespace sorv
