#include "analysis/detector_rows.h"

#include <algorithm>
#include <cmath>

namespace sorv {

void RowResponse::Set(const std::vector<double>& weights, double lengthRows) {
    weights_ = weights;
    length_ = lengthRows > 0.0 && std::isfinite(lengthRows) ? lengthRows : 0.0;
    cumulative_.assign(weights_.size() + 1, 0.0);
    double total = 0.0;
    for (size_t k = 0; k < weights_.size(); ++k) {
        total += weights_[k];
        cumulative_[k + 1] = total;
    }
    if (total > 0.0)
        for (double& c : cumulative_) c /= total;
}

void RowResponse::SetRectangular(double lengthRows) {
    // Enough taps that the edge is a straight line to well within a hundredth of a row.
    const int taps = std::max(8, static_cast<int>(std::ceil(lengthRows * 64.0)));
    Set(std::vector<double>(static_cast<size_t>(taps), 1.0), lengthRows);
}

double RowResponse::PowerCorrelation(int lag) const {
    if (weights_.empty() || !(length_ > 0.0)) return lag == 0 ? 1.0 : 0.0;
    const double tapsPerRow = static_cast<double>(weights_.size()) / length_;
    const long shift = std::lround(std::fabs(static_cast<double>(lag)) * tapsPerRow);
    double product = 0.0, energy = 0.0;
    const long n = static_cast<long>(weights_.size());
    for (long k = 0; k < n; ++k) {
        energy += weights_[static_cast<size_t>(k)] * weights_[static_cast<size_t>(k)];
        if (k + shift < n) product += weights_[static_cast<size_t>(k)] * weights_[static_cast<size_t>(k + shift)];
    }
    if (!(energy > 0.0)) return 0.0;
    const double amplitude = product / energy;
    return amplitude * amplitude;
}

double RowResponse::CorrelationFactor() const {
    double factor = 1.0;
    for (int lag = 1; lag <= static_cast<int>(std::ceil(length_)) + 1; ++lag) factor += 2.0 * PowerCorrelation(lag);
    return factor;
}

double RowResponse::PowerGain(double offsetHz, double rowRate) const {
    if (weights_.empty() || !(length_ > 0.0) || !(rowRate > 0.0)) return 0.0;
    const double tapsPerSecond = static_cast<double>(weights_.size()) / (length_ / rowRate);
    double re = 0.0, im = 0.0, total = 0.0;
    for (size_t k = 0; k < weights_.size(); ++k) {
        const double phase = 6.283185307179586 * offsetHz * static_cast<double>(k) / tapsPerSecond;
        re += weights_[k] * std::cos(phase);
        im += weights_[k] * std::sin(phase);
        total += weights_[k];
    }
    return total > 0.0 ? (re * re + im * im) / (total * total) : 0.0;
}

void DetectorRows::Reset(double rowRate, std::vector<double> lineHz, const RowResponse& response) {
    rowRate_ = rowRate;
    lineHz_ = std::move(lineHz);
    response_ = response;
    Clear();
}

void DetectorRows::Clear() {
    blocks_.clear();
    floors_.clear();
    rows_ = 0;
}

void DetectorRows::Append(const float* power, float floor) {
    const size_t lines = static_cast<size_t>(Lines());
    const size_t r = static_cast<size_t>(rows_);
    if (r % kBlockRows == 0) {
        blocks_.push_back(std::make_unique<float[]>(kBlockRows * std::max<size_t>(lines, 1)));
        floors_.push_back(std::make_unique<float[]>(kBlockRows));
    }
    float* row = blocks_.back().get() + (r % kBlockRows) * lines;
    std::copy(power, power + lines, row);
    floors_.back()[r % kBlockRows] = floor;
    ++rows_;
}

void DetectorRows::CopyLine(int line, std::vector<double>& out) const {
    out.resize(static_cast<size_t>(rows_));
    const size_t lines = static_cast<size_t>(Lines());
    for (size_t r = 0; r < static_cast<size_t>(rows_); ++r)
        out[r] = blocks_[r / kBlockRows][(r % kBlockRows) * lines + static_cast<size_t>(line)];
}

void DetectorRows::CopyFloors(std::vector<double>& out) const {
    out.resize(static_cast<size_t>(rows_));
    for (size_t r = 0; r < static_cast<size_t>(rows_); ++r) out[r] = floors_[r / kBlockRows][r % kBlockRows];
}

size_t DetectorRows::BytesHeld() const {
    return blocks_.size() * kBlockRows * (static_cast<size_t>(Lines()) + 1) * sizeof(float);
}

}  // namespace sorv
