// The power of a few spectral lines, row after row, for one channel and one stretch of the
// recording: what the detector reads. A channel keeps only the lines it searches, and keeps
// them in single precision (seven digits, far finer than any noise), so that a band of many
// carriers fits in memory.
#pragma once

#include <algorithm>
#include <cstddef>
#include <vector>

namespace sorv {

class LineHistory {
public:
    explicit LineHistory(std::vector<int> lines) : lines_(std::move(lines)) {}

    const std::vector<int>& Lines() const { return lines_; }
    int Rows() const { return static_cast<int>(values_.size() / std::max<size_t>(1, lines_.size())); }
    // Appends one row: the powers of the lines, in the order of Lines().
    void AddRow(const double* powers) {
        for (size_t i = 0; i < lines_.size(); ++i) values_.push_back(static_cast<float>(powers[i]));
    }
    // Row r, line index i (into Lines()).
    double At(int r, int i) const { return values_[static_cast<size_t>(r) * lines_.size() + static_cast<size_t>(i)]; }
    // Row r, line index i at Values()[r * Lines().size() + i].
    const float* Values() const { return values_.data(); }
    void Clear() { values_.clear(); }
    void Reserve(int rows) { values_.reserve(static_cast<size_t>(rows) * lines_.size()); }
    void Release() { std::vector<float>().swap(values_); }

private:
    std::vector<int> lines_;
    std::vector<float> values_;
};

}  // namespace sorv
