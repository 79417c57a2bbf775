#include "display/view_geometry.h"

#include <cmath>
#include <limits>

namespace sorv::view {

int TruncToInt(double v, int fallback) {
    if (std::isnan(v)) return fallback;
    constexpr double lo = std::numeric_limits<int>::min();
    constexpr double hi = std::numeric_limits<int>::max();
    if (v <= lo) return std::numeric_limits<int>::min();
    if (v >= hi) return std::numeric_limits<int>::max();
    return static_cast<int>(v);
}

PlotRect PlotRect::ForClient(int w, int h) {
    PlotRect r;
    r.R = w - 10;
    r.B = h - 30;
    r.P = r.R - r.L;
    r.Q = r.B - r.T;
    return r;
}

PeriodAxis PeriodAxis::Of(const CSorvantelDoc& doc) {
    PeriodAxis a;
    if (doc.m_nPeriodScale > 0 && doc.m_nPeriodBins > 0) {
        a.M = doc.m_nPeriodBins / doc.m_nPeriodScale;
        a.b = 0.5 * doc.RowRate() / doc.m_nPeriodBins;
    }
    return a;
}

bool PeriodAxis::Usable() const { return M >= 1 && std::isfinite(b) && b > 0.0; }

int LineUnderX(int x, const PlotRect& plot) {
    if (!plot.Usable() || x <= plot.L) return -1;
    for (int i = 0; i < kLines; ++i) {
        const int x0 = plot.L + static_cast<int>(static_cast<long long>(i) * plot.P / kLines);
        const int x1 = plot.L + static_cast<int>(static_cast<long long>(i + 1) * plot.P / kLines);
        if (x0 < x && x < x1) return i;
        if (x <= x1) return -1;  // on the edge x1, or left of the next bar's span
    }
    return -1;
}

int PeriodBinUnderX(int x, const PlotRect& plot, const PeriodAxis& axis) {
    if (!plot.Usable() || axis.M < 1) return -1;
    const int p = TruncToInt(static_cast<double>(x - plot.L) / plot.P * axis.M + 0.5, -1);
    return p >= 1 ? p : -1;
}

double PeriodUnderY(int y, int clientHeight, const CSorvantelDoc& doc) {
    if (clientHeight <= 0) return doc.m_dPeriodMin;
    return doc.m_dPeriodMin + (doc.m_dPeriodMax - doc.m_dPeriodMin) * y / clientHeight;
}

bool WriteDesignatedPeriodWindow(CSorvantelDoc& doc) { return doc.WriteDesignatedPeriodWindow(); }

Normaliser::Normaliser(const double* values, int count) : min_(1e99), max_(-1e99) {
    for (int i = 0; i < count; ++i) {
        if (values[i] < min_) min_ = values[i];
        if (values[i] > max_) max_ = values[i];
    }
    if (count <= 0) min_ = max_ = 0.0;
    if (min_ == max_) max_ = min_ + 1.0;
}

Normaliser::Normaliser(double minimum, double maximum) : min_(minimum), max_(maximum) {
    if (min_ == max_) max_ = min_ + 1.0;
}

}  // namespace sorv::view
