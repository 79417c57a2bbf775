#include "analysis/detector_lines.h"

#include <algorithm>
#include <cmath>

#include "analysis/rank_value.h"

namespace sorv {

namespace {

constexpr int kFloorBlockRows = 128;  // the slow floor: medians of about 4 s
constexpr double kLn2 = 0.6931471805599453;
constexpr double kTiny = 1e-30;

}  // namespace

void BlockLevels(const double* series, int n, int blockRows, double* levels) {
    const int blocks = BlockCount(n, blockRows);
    for (int b = 0; b < blocks; ++b) {
        const int from = b * blockRows;
        const int to = std::min(n, from + blockRows);
        const double m = UpperMedian(series + from, static_cast<size_t>(std::max(0, to - from))) / kLn2;
        levels[b] = m > kTiny && std::isfinite(m) ? m : 1.0;
    }
}

double LevelBetweenBlocks(const double* values, int blocks, int blockRows, int row) {
    if (blocks <= 1) return values[0];
    const double position = (row + 0.5) / blockRows - 0.5;
    if (position <= 0.0) return values[0];
    if (position >= blocks - 1) return values[blocks - 1];
    const int b = static_cast<int>(position);
    const double f = position - b;
    return values[b] * (1.0 - f) + values[b + 1] * f;
}

void DetectorLines::Prepare(const DetectorRows& rows) {
    rows_ = &rows;
    const int n = rows.Rows();
    const int lines = rows.Lines();
    rows.CopyFloors(floor_);
    for (double& f : floor_)
        if (!(f > kTiny) || !std::isfinite(f)) f = kTiny;

    // The slow floor and each row's weight against it.
    const int floorBlocks = BlockCount(n, kFloorBlockRows);
    std::vector<double> slow(static_cast<size_t>(floorBlocks));
    for (int b = 0; b < floorBlocks; ++b) {
        const int from = b * kFloorBlockRows;
        const int to = std::min(n, from + kFloorBlockRows);
        slow[static_cast<size_t>(b)] = to > from ? UpperMedian(floor_.data() + from, static_cast<size_t>(to - from)) : kTiny;
    }
    weight_.resize(static_cast<size_t>(n));
    for (int j = 0; j < n; ++j) {
        const double expected = LevelBetweenBlocks(slow.data(), floorBlocks, kFloorBlockRows, j);
        const double ratio = expected / floor_[static_cast<size_t>(j)];
        weight_[static_cast<size_t>(j)] = std::isfinite(ratio) ? std::clamp(ratio, 0.0, 1.0) : 0.0;
    }

    // Each line's level over the floor, per block: the median over ln 2 (an exponential's
    // median is ln 2 times its mean).
    blocks_ = BlockCount(n, kLevelBlockRows);
    level_.assign(static_cast<size_t>(lines) * static_cast<size_t>(blocks_), 1.0);
    mean_.assign(static_cast<size_t>(lines), 0.0);
    std::vector<double> series;
    for (int l = 0; l < lines; ++l) {
        rows.CopyLine(l, series);
        for (int j = 0; j < n; ++j) series[static_cast<size_t>(j)] /= floor_[static_cast<size_t>(j)];
        BlockLevels(series.data(), n, kLevelBlockRows, &level_[static_cast<size_t>(l) * static_cast<size_t>(blocks_)]);
        double sum = 0.0, weights = 0.0;
        for (int j = 0; j < n; ++j) {
            const double w = weight_[static_cast<size_t>(j)];
            sum += w * series[static_cast<size_t>(j)] / LevelAt(l, j);
            weights += w;
        }
        mean_[static_cast<size_t>(l)] = weights > 0.0 ? sum / weights : 1.0;
    }
}

double DetectorLines::LevelAt(int line, int row) const {
    return LevelBetweenBlocks(level_.data() + static_cast<size_t>(line) * static_cast<size_t>(blocks_), blocks_,
                         kLevelBlockRows, row);
}

double DetectorLines::MeanLevel(int line) const {
    double sum = 0.0;
    for (int b = 0; b < blocks_; ++b) sum += level_[static_cast<size_t>(line) * static_cast<size_t>(blocks_) + static_cast<size_t>(b)];
    return blocks_ > 0 ? sum / blocks_ : 1.0;
}

void DetectorLines::Series(int line, std::vector<double>& out) const {
    const int n = Rows();
    rows_->CopyLine(line, out);
    const double mean = mean_[static_cast<size_t>(line)];
    for (int j = 0; j < n; ++j) {
        const size_t i = static_cast<size_t>(j);
        const double r = out[i] / (floor_[i] * LevelAt(line, j));
        out[i] = std::isfinite(r) ? (r - mean) * weight_[i] : 0.0;
    }
}

}  // namespace sorv
