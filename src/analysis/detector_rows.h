// The sensitive detector's own copy of a recording: the power of the lines it searches, row by
// row, and each row's noise floor. The rows come either from the audio itself (a finer,
// low-leakage transform of the detector's own, see detector_front_end.h) or, where only the
// stored spectrogram exists (a loaded spectrum file), from the stored rows. Row j of either kind
// is centred on the same moment as stored row j, so a period and a phase found here are the
// ones the integration folds.
//
// The store grows in blocks of rows and keeps floats: a whole night at the default band (a
// million rows of some sixty lines) takes about a quarter of a gigabyte.
#pragma once

#include <cstddef>
#include <memory>
#include <vector>

namespace sorv {

// How one row sees time: the amplitude window of the transform that made it, as the share of
// a steady tone's amplitude that a key-down from the window's start up to a point contributes
// (0 at the window's start, 1 at its end). With it a keyed tone's row powers can be predicted
// exactly, edges and short elements included, and so can the noise's correlation between rows.
class RowResponse {
public:
    // A window of `taps` samples spanning lengthRows rows, with the given weights.
    void Set(const std::vector<double>& weights, double lengthRows);
    // The designed rows' window: rectangular over `lengthRows` rows.
    void SetRectangular(double lengthRows);

    double LengthRows() const { return length_; }
    // Share of a row's amplitude from the part of its window before x rows from the window's
    // start: 0 for x <= 0, 1 for x >= LengthRows(). Inline: the reader's templates call it
    // twice for every sub-sample of every key-down.
    double Cumulative(double x) const {
        if (!(length_ > 0.0) || !(x > 0.0)) return 0.0;
        if (x >= length_) return 1.0;
        const double position = x / length_ * static_cast<double>(weights_.size());
        const size_t k = static_cast<size_t>(position);
        const double f = position - static_cast<double>(k);
        return cumulative_[k] + f * (cumulative_[k + 1] - cumulative_[k]);
    }
    // Correlation of two noise rows' powers `lag` rows apart (the square of their amplitudes'
    // correlation, for Gaussian noise).
    double PowerCorrelation(int lag) const;
    // Sum of the power correlations over all lags, both signs: how much an average over
    // neighbouring rows' noise is worth less than one over independent rows.
    double CorrelationFactor() const;
    // The power a steady tone offsetHz away from a line's centre leaves in the line, relative
    // to one at its centre, for rows at rowRate a second.
    double PowerGain(double offsetHz, double rowRate) const;

private:
    std::vector<double> weights_;
    std::vector<double> cumulative_;  // at taps + 1 points
    double length_ = 0.0;
};

class DetectorRows {
public:
    // lineHz: the audio frequency of each line, ascending.
    void Reset(double rowRate, std::vector<double> lineHz, const RowResponse& response);

    // Appends one row: the power of each line and the row's noise floor (any consistent scale).
    void Append(const float* power, float floor);
    void Clear();

    int Rows() const { return rows_; }
    int Lines() const { return static_cast<int>(lineHz_.size()); }
    double RowRate() const { return rowRate_; }
    double LineHz(int line) const { return lineHz_[static_cast<size_t>(line)]; }
    const std::vector<double>& LineFrequencies() const { return lineHz_; }
    const RowResponse& Response() const { return response_; }

    float Power(int row, int line) const {
        const size_t r = static_cast<size_t>(row);
        return blocks_[r / kBlockRows][(r % kBlockRows) * static_cast<size_t>(Lines()) + static_cast<size_t>(line)];
    }
    float Floor(int row) const {
        const size_t r = static_cast<size_t>(row);
        return floors_[r / kBlockRows][r % kBlockRows];
    }
    // Copies line's power of rows 0 .. Rows()-1 into out.
    void CopyLine(int line, std::vector<double>& out) const;
    void CopyFloors(std::vector<double>& out) const;

    size_t BytesHeld() const;

    static constexpr size_t kBlockRows = 4096;

private:
    double rowRate_ = 0.0;
    std::vector<double> lineHz_;
    RowResponse response_;
    std::vector<std::unique_ptr<float[]>> blocks_;
    std::vector<std::unique_ptr<float[]>> floors_;
    int rows_ = 0;
};

}  // namespace sorv
