// Each line of the detector's rows in units of its own noise, robust against what real
// receivers deliver besides white noise:
//
//   - the noise floor of each row (the median over the passband of the bins no strong signal
//     fills, which a beacon or a carrier barely moves) divides the row, so that static
//     crashes, a receiver's gain control and any change of level over the night leave the
//     rows' noise at one level;
//   - a row whose floor stands far above the floor of the rows around it (a static crash)
//     counts for less, in proportion: its noise is as large as any row's after the division,
//     but a beacon's share of it is smaller by the same factor;
//   - each line's own level relative to the floor (coloured noise, the receiver's filter, hum,
//     a steady carrier) is measured over about a minute at a time and divided out.
//
// The result, x(j) = (p(j) / (floor(j) x level(j)) - mean) x weight(j), has mean 0 and the same
// noise everywhere; a keyed beacon adds its keying on top. The stored rows are never changed:
// this is the detector's copy, made line by line when it is needed.
#pragma once

#include <algorithm>
#include <vector>

#include "analysis/detector_rows.h"

namespace sorv {

// Blocks of blockRows rows that n rows make, the last one short; at least one.
inline int BlockCount(int n, int blockRows) { return std::max(1, (n + blockRows - 1) / blockRows); }

// A line's level over blocks of `blockRows` values of its series: each block's median over
// ln 2 (an exponential's median is ln 2 times its mean), 1 where that is not a positive number.
// levels gets one value per block.
void BlockLevels(const double* series, int n, int blockRows, double* levels);
// The level at a row, between the centres of the blocks.
double LevelBetweenBlocks(const double* levels, int blocks, int blockRows, int row);

class DetectorLines {
public:
    // Measures the floors, weights and line levels of all rows of `rows`, which must stay
    // unchanged while this is used.
    void Prepare(const DetectorRows& rows);

    int Rows() const { return rows_ ? rows_->Rows() : 0; }
    int Lines() const { return rows_ ? rows_->Lines() : 0; }
    const DetectorRows& Source() const { return *rows_; }

    // The normalised series of a line, rows 0 .. Rows() - 1.
    void Series(int line, std::vector<double>& out) const;
    // A line's level relative to the rows' floor, over the whole recording: what a power in
    // the line's units is worth in the floor's.
    double MeanLevel(int line) const;
    // A row's weight, 0 .. 1 (1 for an ordinary row).
    double Weight(int row) const { return weight_[static_cast<size_t>(row)]; }

    static constexpr int kLevelBlockRows = 2048;  // about a minute at 31 rows a second

private:
    double LevelAt(int line, int row) const;

    const DetectorRows* rows_ = nullptr;
    std::vector<double> floor_;   // per row
    std::vector<double> weight_;  // per row
    std::vector<double> level_;   // [line][block]
    std::vector<double> mean_;    // per line, of p / (floor x level) weighted
    int blocks_ = 0;
};

}  // namespace sorv
