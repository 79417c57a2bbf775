// The keying spectrum of one spectral line, for the sensitive search: the power spectrum of the
// line's power history, in units of the noise expected in each bin.
//
// A beacon keyed with a period P puts its keying power into the harmonics k / P of this
// spectrum, and nowhere else; the folded trace at P holds exactly that power. Noise spreads
// evenly, and each bin of a noise spectrum is exponentially distributed about the local noise
// level, whatever the audio level or the recording's length. Dividing by that level, found as
// the median of the bins around (which a few harmonics cannot move), makes every bin a number
// of noise units, and the sum over the harmonics of P a statistic whose distribution under
// noise is known (a gamma distribution with one unit per harmonic).
//
// The history is low-passed to the keying frequencies and thinned first, then zero-padded to
// twice a power of two, so that every harmonic lies within a quarter of the recording's
// frequency resolution of a bin centre.
#pragma once

#include <vector>

namespace sorv {

// In-place radix-2 complex transform of a power-of-two size, with its own twiddles.
class ComplexFft {
public:
    // Prepares for size n (a power of two, 2 .. 2^22); false otherwise. Allocates once per size.
    bool Plan(int n);
    int Size() const { return n_; }
    // X(k) = sum x(j) e^(-2 pi i jk / n), in natural order.
    void Run(double* re, double* im) const;

private:
    int n_ = 0;
    std::vector<double> cos_, sin_;
    std::vector<int> reverse_;
};

// The transform and its work space, shared by the spectra of all the lines of a search. A real
// series of n points is transformed as n/2 complex ones (even points real, odd imaginary),
// half the work of a complex transform of n.
struct SpectrumWork {
    ComplexFft fft;
    std::vector<double> re, block;
    std::vector<double> evenRe, oddIm;  // the half-length transform's input and output
    std::vector<double> turnRe, turnIm;  // e^(-2 pi i k / n), k < n/2, for n = turnSize
    int turnSize = 0;
    std::vector<double> filter;  // the low-pass for taking every decimation-th row
    std::vector<double> tapered;
    int decimation = 0;
};

// A line's power history made ready for its keying transform.
struct KeyingSeries {
    int decimation = 1;   // rows per sample
    int size = 0;         // points of the transform: a power of two, twice the samples or more
    double energy = 0.0;  // of the taper, in rows
};

// Writes work.re (shape.size points) with the deviations of series[0..rows-1] from their mean,
// the ends tapered, low-passed and thinned to what keying up to topHz needs, then zero-padded.
// False when nothing usable results (fewer than 16 rows, a non-positive or non-finite rate, a
// non-finite value, a transform too long).
bool PrepareKeyingSeries(const double* series, int rows, double rowRate, double topHz, SpectrumWork& work,
                         KeyingSeries& shape);

// The number of harmonics k = 1, 2, ... with k * f0 (as rounded) not above topHz: what
// HarmonicSum counts.
int HarmonicsUpTo(double f0, double topHz);

class KeyingSpectrum {
public:
    // The spectrum of series[0..rows-1] (rows >= 16) at rowRate rows per second, normalised up
    // to topHz (the highest keying frequency that will be asked for). False when nothing
    // usable results (too few rows, a non-finite value, a non-positive rate).
    bool Compute(const double* series, int rows, double rowRate, double topHz, SpectrumWork& work);

    double BinHz() const { return binHz_; }
    int Rows() const { return rows_; }
    // Normalised power at the bin nearest to hz; 0 beyond the normalised range.
    double At(double hz) const;
    // The noise level the bins near hz were divided by, per row of the series: for a series of
    // independent rows its variance, and in general what a slow template sees of it (the
    // variance times the sum of the rows' correlations).
    double NoisePerRow(double hz) const;
    // Sets the bins within `bins` of every harmonic of f0 up to topHz to the noise level (1):
    // that period's keying is taken out of further searches.
    void Notch(double f0, double topHz, int bins);
    // Sum of the normalised powers at the harmonics k * f0 for k = 1, 2, ... while k * f0 is
    // not above topHz, skipping the multiples of `skipMultiplesOf` when it is 2 or more;
    // count receives the number of harmonics summed.
    double HarmonicSum(double f0, double topHz, int skipMultiplesOf, int& count) const;
    // HarmonicSum(f0[i], topHz, 0, counts[i]) for kHarmonicLanes trial frequencies at once,
    // each sum exactly as HarmonicSum makes it: a scan's trials side by side, so that no
    // trial's additions wait on another's.
    static constexpr int kHarmonicLanes = 4;
    void HarmonicSums(const double (&f0)[kHarmonicLanes], double topHz, double (&sums)[kHarmonicLanes],
                      int (&counts)[kHarmonicLanes]) const;

private:
    std::vector<float> power_;  // normalised power, bins 0 .. power_.size() - 1
    std::vector<double> level_; // the noise level of each block of bins
    int blockWidth_ = 1;
    double binHz_ = 0.0;
    int rows_ = 0;
    double energy_ = 0.0;  // of the taper: the rows' worth of noise in the transform
};

// Divides each bin of a power spectrum (bins 0 .. power.size() - 1 of a transform of 2 *
// halfSize points) by the local noise level: the median of its block of bins over what the
// median of as many exponential values is expected to be, but no more than 1.5 times that of
// a block eight times as wide around it, interpolated linearly between the block centres. A
// block with no power at all leaves its bins at 0. `level` receives each block's level.
// Returns the width of a block in bins.
int DivideByLocalFloor(int halfSize, std::vector<double>& power, std::vector<double>& level);

// A sum of `count` independent exponential noise units (gamma distributed) expressed as the
// standard normal deviate with the same upper tail (the Wilson-Hilferty cube-root transform):
// about 0 for noise, growing with the keying power above it.
double NoiseUnitsScore(double sum, int count);

}  // namespace sorv
