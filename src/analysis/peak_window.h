// How both searches judge a period spectrum: inside the window of bins that the expected ident
// periods cover, a bin is a candidate when it stands above both neighbours and above the
// window's mean by K population standard deviations.
#pragma once

#include <vector>

namespace sorv {

struct PeakWindowInput {
    const double* spectrum = nullptr;  // the period spectrum, at least `periodBins` values
    int periodBins = 0;                // valid bins
    int periodScale = 32;              // divisor of the bins shown and searched
    double rowRate = 0.0;              // rows per second
    double periodMin = 0.0;            // shortest ident period accepted, s
    double periodMax = 0.0;            // longest ident period accepted, s
};

// The window's edges (inclusive); empty when the spectrum is too short to search.
struct PeakWindowBounds {
    int low = 0;
    int high = -1;
    bool empty() const { return high <= low; }
};

PeakWindowBounds PeakWindowFor(const PeakWindowInput& in);

// Candidate bins in ascending order (long periods first); k is 4 for the semi-automatic
// search and 2 for the automatic search.
std::vector<int> FindPeakCandidates(const PeakWindowInput& in, double k);

// Bin width of a period spectrum in hertz: rowRate * 0.5 / periodBins.
double PeriodBinWidth(double rowRate, int periodBins);

}  // namespace sorv
