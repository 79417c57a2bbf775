// Geometry and arithmetic shared by the graphs and the mouse handlers, so that a click always
// hits what the paint drew there: the plot rectangle, the period axis, the hit tests, the
// min/max normalisation and the period window of a designated bin.
#pragma once

#include "engine/sorvantel_doc.h"

namespace sorv::view {

// Truncates toward zero into an int; huge values are clamped first and NaN gives `fallback`.
int TruncToInt(double v, int fallback = 0);

// Plot rectangle of the Spectral Density and Periodicity graphs.
struct PlotRect {
    int L = 10, T = 10, R = 0, B = 0;
    int P = 0, Q = 0;  // width R - L and height B - T
    static PlotRect ForClient(int w, int h);
    // A window too small for the plot draws no graph and takes no clicks there.
    bool Usable() const { return P > 0 && Q > 0; }
};

// The period axis: M bins shown, bin width b in Hz.
struct PeriodAxis {
    int M = 0;
    double b = 0.0;
    static PeriodAxis Of(const CSorvantelDoc& doc);
    bool Usable() const;
    // Period of bin p in seconds, 1 / (p b).
    double PeriodOfBin(int p) const { return 1.0 / (p * b); }
    // Whether bin p has a finite period that the graph shows.
    bool ShowsBin(int p) const { return Usable() && p >= 1 && p < M; }
};

// The spectral line whose bar lies strictly around x, or -1 (on an edge or outside all bars).
int LineUnderX(int x, const PlotRect& plot);
// The period bin whose curve point is nearest to x, or -1 when it has no finite period
// (bin 0 or left of it) or no bins are shown.
int PeriodBinUnderX(int x, const PlotRect& plot, const PeriodAxis& axis);
// The trial period of the Integral graph's picture row at y, in seconds.
double PeriodUnderY(int y, int clientHeight, const CSorvantelDoc& doc);

// Writes the integration window Tp +- 0.5 s of the designated bin when it is one of the bins
// 1 .. M-1 shown; returns whether it did.
bool WriteDesignatedPeriodWindow(CSorvantelDoc& doc);

// The min/max scaling of the density bars, the periodicity curve, the Integral and Loran-C
// pictures: equal extremes count as a range of 1.
class Normaliser {
public:
    Normaliser(const double* values, int count);
    Normaliser(double minimum, double maximum);
    // trunc((v - min) / (max - min) * full), clamped into int.
    int Scale(double v, double full) const { return TruncToInt((v - min_) / (max_ - min_) * full); }
    // trunc((v - min) * 255 / (max - min)), as the pictures scale grey.
    int Grey(double v) const { return TruncToInt((v - min_) * 255.0 / (max_ - min_)); }

private:
    double min_, max_;
};

}  // namespace sorv::view
