#include "analysis/sensitive_spectrum.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include "analysis/kaiser.h"
#include "analysis/rank_value.h"

namespace sorv {

namespace {

constexpr int kMaxFftSize = 1 << 22;
constexpr int kMinBlockBins = 32;
constexpr int kBlocksPerSpectrum = 256;  // floor resolution: a 256th of the spectrum
// A fading beacon's harmonics spread over the rate of its fading (a minute-long fade, some
// 0.02 Hz either side), about a block of the floor: such a block would take the harmonic's own
// power for its floor (an ident at 50 deviations in its fold scored 3 here). So no block's
// floor stands more than kWideCap times that of the wider block around it, an eighth as many
// to the spectrum. The narrow blocks still keep a strong keying's harmonics and their skirts
// from raising the floor between them, where another beacon's harmonics may lie.
constexpr int kWideBlocksPerSpectrum = 32;
constexpr double kWideCap = 1.5;
constexpr double kLn2 = 0.6931471805599453;
constexpr double kTaperShare = 0.05;  // of the rows, at either end

// A low-pass for taking every d-th row: flat to 1.1 / 3.15 of the new Nyquist frequency's
// double (the keying's top), down 60 dB from where what lies above would fold onto it.
std::vector<double> DecimationFilter(int d) {
    const double pass = 1.1 / 3.15 / d;  // cycles per row
    const double stop = 1.0 / d - pass;
    const double width = 6.283185307179586 * (stop - pass);
    int taps = static_cast<int>(std::ceil((60.0 - 8.0) / (2.285 * width))) + 1;
    taps |= 1;
    const double beta = 0.1102 * (60.0 - 8.7);
    const double cutoff = 0.5 * (pass + stop);
    std::vector<double> h(static_cast<size_t>(taps));
    double total = 0.0;
    for (int k = 0; k < taps; ++k) {
        const double x = k - (taps - 1) / 2.0;
        const double r = 2.0 * k / (taps - 1) - 1.0;
        const double w = KaiserAt(r, beta);
        const double sinc = x == 0.0 ? 2.0 * cutoff : std::sin(6.283185307179586 * cutoff * x) / (3.141592653589793 * x);
        h[static_cast<size_t>(k)] = sinc * w;
        total += h[static_cast<size_t>(k)];
    }
    for (double& v : h) v /= total;
    return h;
}

// Every d-th row of the low-passed series, scaled by d. Each output's taps are added in the
// filter's order, whichever loop computes it: in the middle, where every tap falls within the
// rows, eight outputs are summed side by side (their additions do not wait on each other).
void DecimateTapered(const double* tapered, int rows, int d, const std::vector<double>& h, int samples, double* out) {
    const int taps = static_cast<int>(h.size());
    const int half = taps / 2;
    auto edgeSample = [&](int m) {
        double sum = 0.0;
        for (int k = 0; k < taps; ++k) {
            const int j = m * d + k - half;
            if (j >= 0 && j < rows) sum += h[static_cast<size_t>(k)] * tapered[j];
        }
        out[m] = d * sum;
    };
    // Outputs whose taps all lie within the rows: m*d - half >= 0 and m*d - half + taps - 1 < rows.
    const int first = std::min(samples, (half + d - 1) / d);
    const int last = std::min(samples, rows - taps + half >= 0 ? (rows - taps + half) / d + 1 : 0);
    int m = 0;
    for (; m < first; ++m) edgeSample(m);
    constexpr int kSide = 8;
    for (; m + kSide <= last; m += kSide) {
        double sum[kSide] = {};
        const double* x = tapered + m * d - half;
        for (int k = 0; k < taps; ++k) {
            const double hk = h[static_cast<size_t>(k)];
            for (int i = 0; i < kSide; ++i) sum[i] += hk * x[i * d + k];
        }
        for (int i = 0; i < kSide; ++i) out[m + i] = d * sum[i];
    }
    for (; m < samples; ++m) edgeSample(m);
}

int PaddedSize(int rows) {
    int n = 1;
    while (n < rows) n *= 2;
    return 2 * n;
}

}  // namespace

bool ComplexFft::Plan(int n) {
    if (n < 2 || n > kMaxFftSize || (n & (n - 1)) != 0) return false;
    if (n == n_) return true;
    n_ = n;
    cos_.resize(static_cast<size_t>(n / 2));
    sin_.resize(static_cast<size_t>(n / 2));
    const double twoPi = 6.283185307179586;
    for (int k = 0; k < n / 2; ++k) {
        cos_[static_cast<size_t>(k)] = std::cos(twoPi * k / n);
        sin_[static_cast<size_t>(k)] = -std::sin(twoPi * k / n);
    }
    reverse_.assign(static_cast<size_t>(n), 0);
    int bits = 0;
    while ((1 << bits) < n) ++bits;
    for (int i = 0; i < n; ++i) {
        int r = 0;
        for (int b = 0; b < bits; ++b)
            if ((i >> b) & 1) r |= 1 << (bits - 1 - b);
        reverse_[static_cast<size_t>(i)] = r;
    }
    return true;
}

void ComplexFft::Run(double* re, double* im) const {
    const int n = n_;
    for (int i = 0; i < n; ++i) {
        const int r = reverse_[static_cast<size_t>(i)];
        if (i < r) {
            std::swap(re[i], re[r]);
            std::swap(im[i], im[r]);
        }
    }
    for (int len = 2; len <= n; len *= 2) {
        const int half = len / 2;
        const int step = n / len;
        for (int start = 0; start < n; start += len) {
            for (int j = 0; j < half; ++j) {
                const double wr = cos_[static_cast<size_t>(j * step)];
                const double wi = sin_[static_cast<size_t>(j * step)];
                const int p = start + j;
                const int q = p + half;
                const double xr = re[q] * wr - im[q] * wi;
                const double xi = re[q] * wi + im[q] * wr;
                re[q] = re[p] - xr;
                im[q] = im[p] - xi;
                re[p] += xr;
                im[p] += xi;
            }
        }
    }
}

bool PrepareKeyingSeries(const double* series, int rows, double rowRate, double topHz, SpectrumWork& work,
                         KeyingSeries& shape) {
    if (rows < 16 || !(rowRate > 0.0) || !std::isfinite(rowRate) || !(topHz > 0.0)) return false;
    // Only the keying frequencies up to topHz are wanted: the series is low-passed and taken
    // every d-th row first, which leaves those frequencies as they are and makes the
    // transform d times shorter.
    const int d = std::max(1, static_cast<int>(rowRate / (3.15 * topHz)));
    const int samples = (rows + d - 1) / d;
    const int n = PaddedSize(samples);
    if (n > kMaxFftSize) return false;
    if (d != work.decimation || work.filter.empty()) {
        work.decimation = d;
        work.filter = DecimationFilter(d);
    }

    double mean = 0.0;
    for (int j = 0; j < rows; ++j) mean += series[j];
    mean /= rows;
    if (!std::isfinite(mean)) return false;
    std::vector<double>& re = work.re;
    re.assign(static_cast<size_t>(n), 0.0);
    // The ends are tapered, so that a strong keying's harmonics do not leak over the whole
    // spectrum (and into the floor that every bin is divided by) from the recording's abrupt
    // start and end.
    std::vector<double>& tapered = work.tapered;
    tapered.resize(static_cast<size_t>(rows));
    const int edge = std::max(1, static_cast<int>(kTaperShare * rows));
    double energy = 0.0;
    for (int j = 0; j < rows; ++j) {
        const int from = std::min(j, rows - 1 - j);
        const double w = from >= edge ? 1.0 : 0.5 - 0.5 * std::cos(3.141592653589793 * (from + 0.5) / edge);
        tapered[static_cast<size_t>(j)] = w * (series[j] - mean);
        energy += w * w;
    }
    if (d == 1) {
        for (int j = 0; j < rows; ++j) re[static_cast<size_t>(j)] = tapered[static_cast<size_t>(j)];
    } else {
        // Scaled by d, so that a keying frequency's power is what the whole series gives it.
        DecimateTapered(tapered.data(), rows, d, work.filter, samples, re.data());
    }
    shape = {d, n, energy};
    return true;
}

namespace {

// |X(k)|^2 for k < used of the real series work.re (n points), from the transform of its n/2
// even and odd points as one complex series z: with Z(k) and C(k) = conj(Z(n/2 - k)),
// X(k) = (Z + C) / 2 - i e^(-2 pi i k / n) (Z - C) / 2.
void RealPower(SpectrumWork& work, int n, int used, std::vector<double>& power) {
    const int h = n / 2;
    work.evenRe.resize(static_cast<size_t>(h));
    work.oddIm.resize(static_cast<size_t>(h));
    for (int m = 0; m < h; ++m) {
        work.evenRe[static_cast<size_t>(m)] = work.re[static_cast<size_t>(2 * m)];
        work.oddIm[static_cast<size_t>(m)] = work.re[static_cast<size_t>(2 * m + 1)];
    }
    work.fft.Run(work.evenRe.data(), work.oddIm.data());
    if (work.turnSize != n) {
        work.turnSize = n;
        work.turnRe.resize(static_cast<size_t>(h));
        work.turnIm.resize(static_cast<size_t>(h));
        for (int k = 0; k < h; ++k) {
            work.turnRe[static_cast<size_t>(k)] = std::cos(6.283185307179586 * k / n);
            work.turnIm[static_cast<size_t>(k)] = -std::sin(6.283185307179586 * k / n);
        }
    }
    const double* zr = work.evenRe.data();
    const double* zi = work.oddIm.data();
    power.resize(static_cast<size_t>(used));
    for (int k = 0; k < used; ++k) {
        const int c = k == 0 ? 0 : h - k;
        const double sr = 0.5 * (zr[k] + zr[c]), si = 0.5 * (zi[k] - zi[c]);   // (Z + C) / 2
        const double dr = 0.5 * (zr[k] - zr[c]), di = 0.5 * (zi[k] + zi[c]);   // (Z - C) / 2
        const double wr = work.turnRe[static_cast<size_t>(k)], wi = work.turnIm[static_cast<size_t>(k)];
        // -i w (Z - C) / 2 = (wr di + wi dr) + i (wi di - wr dr)
        const double xr = sr + wr * di + wi * dr;
        const double xi = si + wi * di - wr * dr;
        power[static_cast<size_t>(k)] = xr * xr + xi * xi;
    }
}

}  // namespace

bool KeyingSpectrum::Compute(const double* series, int rows, double rowRate, double topHz, SpectrumWork& work) {
    power_.clear();
    level_.clear();
    binHz_ = 0.0;
    rows_ = 0;
    KeyingSeries shape;
    if (!PrepareKeyingSeries(series, rows, rowRate, topHz, work, shape) || !work.fft.Plan(shape.size / 2)) return false;
    const int d = shape.decimation;
    const int n = shape.size;
    const double energy = shape.energy;
    binHz_ = rowRate / d / n;
    const double wanted = std::ceil(topHz * 1.1 / binHz_) + 2.0;
    const int used = wanted < n / 2 ? static_cast<int>(wanted) : n / 2;
    std::vector<double>& raw = work.block;
    RealPower(work, n, used, raw);
    rows_ = rows;
    energy_ = energy;
    blockWidth_ = DivideByLocalFloor(n / 2, raw, level_);
    power_.assign(raw.begin(), raw.end());
    return true;
}

// The expected value of the (n/2 + 1)-th smallest of n exponential values of mean 1: the
// median that nth_element picks. It approaches ln 2 only slowly (0.74 for 32 bins), and over
// ln 2 a block's floor would stand some 7 % above its mean.
namespace {
double ExpectedMedian(size_t n) {
    if (n == 0) return kLn2;
    double sum = 0.0;
    for (size_t i = 0; i <= n / 2; ++i) sum += 1.0 / static_cast<double>(n - i);
    return sum;
}

// The median of each block of `width` bins over its expected value in noise.
void BlockLevels(const std::vector<double>& power, int width, std::vector<double>& level) {
    const int used = static_cast<int>(power.size());
    const int blocks = std::max(1, used / width);
    level.assign(static_cast<size_t>(blocks), 0.0);
    for (int b = 0; b < blocks; ++b) {
        const int from = std::min(b * width, used);
        const int to = b == blocks - 1 ? used : from + width;
        if (to <= from) continue;
        const size_t count = static_cast<size_t>(to - from);
        level[static_cast<size_t>(b)] = UpperMedian(power.data() + from, count) / ExpectedMedian(count);
    }
}

// The levels of blocks of `width` bins at bin k, linear between the block centres.
double LevelAt(const std::vector<double>& level, int width, double k) {
    const int blocks = static_cast<int>(level.size());
    const double position = (k + 0.5) / width - 0.5;  // in block centres
    if (blocks == 1 || position <= 0.0) return level[0];
    if (position >= blocks - 1) return level[static_cast<size_t>(blocks - 1)];
    const int b = static_cast<int>(position);
    const double f = position - b;
    return level[static_cast<size_t>(b)] * (1.0 - f) + level[static_cast<size_t>(b + 1)] * f;
}

}  // namespace

int DivideByLocalFloor(int halfSize, std::vector<double>& power, std::vector<double>& level) {
    const int used = static_cast<int>(power.size());
    const int width = std::max(kMinBlockBins, halfSize / kBlocksPerSpectrum);
    const int wideWidth = std::max(kMinBlockBins, halfSize / kWideBlocksPerSpectrum);
    BlockLevels(power, width, level);
    static thread_local std::vector<double> wide;
    BlockLevels(power, wideWidth, wide);
    for (size_t b = 0; b < level.size(); ++b)
        level[b] = std::min(level[b], kWideCap * LevelAt(wide, wideWidth, (b + 0.5) * width - 0.5));
    for (int k = 0; k < used; ++k) {
        const double floor = LevelAt(level, width, k);
        double& p = power[static_cast<size_t>(k)];
        p = floor > 0.0 ? p / floor : 0.0;
    }
    return width;
}

double KeyingSpectrum::NoisePerRow(double hz) const {
    if (level_.empty() || rows_ < 1 || !(binHz_ > 0.0) || !(hz >= 0.0)) return 0.0;
    const double bin = hz / binHz_;
    const double block = std::clamp(bin / blockWidth_, 0.0, static_cast<double>(level_.size() - 1));
    return level_[static_cast<size_t>(block)] / energy_;
}

void KeyingSpectrum::Notch(double f0, double topHz, int bins) {
    if (!(f0 > 0.0) || !(binHz_ > 0.0) || !std::isfinite(f0)) return;
    const long size = static_cast<long>(power_.size());
    for (int k = 1; k * f0 <= topHz; ++k) {
        const long centre = static_cast<long>(std::floor(k * f0 / binHz_ + 0.5));
        for (long b = std::max(0L, centre - bins); b <= std::min(size - 1, centre + bins); ++b)
            power_[static_cast<size_t>(b)] = 1.0f;
    }
}

double KeyingSpectrum::At(double hz) const {
    if (!(binHz_ > 0.0) || !(hz >= 0.0)) return 0.0;
    const double bin = hz / binHz_ + 0.5;
    if (!(bin < static_cast<double>(power_.size()))) return 0.0;
    return power_[static_cast<size_t>(bin)];
}

double KeyingSpectrum::HarmonicSum(double f0, double topHz, int skipMultiplesOf, int& count) const {
    count = 0;
    double sum = 0.0;
    if (!(f0 > 0.0) || !std::isfinite(f0)) return 0.0;
    if (!(binHz_ > 0.0)) return 0.0;
    const double step = f0 / binHz_;
    const double size = static_cast<double>(power_.size());
    const float* power = power_.data();
    for (int k = 1; k * f0 <= topHz; ++k) {
        if (skipMultiplesOf >= 2 && k % skipMultiplesOf == 0) continue;
        const double bin = k * step + 0.5;
        if (bin < size) sum += power[static_cast<size_t>(bin)];
        ++count;
    }
    return sum;
}

// The rounded product k * f0 grows with k, so the harmonics are 1 .. K: K is found from the
// quotient and settled by the same test a count from 1 would make.
int HarmonicsUpTo(double f0, double topHz) {
    const double estimate = std::floor(topHz / f0);
    if (!(estimate < 1e9)) {
        int k = 1;
        while (k * f0 <= topHz) ++k;
        return k - 1;
    }
    int k = std::max(0, static_cast<int>(estimate));
    while ((k + 1) * f0 <= topHz) ++k;
    while (k > 0 && k * f0 > topHz) --k;
    return k;
}

void KeyingSpectrum::HarmonicSums(const double (&f0)[kHarmonicLanes], double topHz, double (&sums)[kHarmonicLanes],
                                  int (&counts)[kHarmonicLanes]) const {
    double step[kHarmonicLanes];
    int most = 0;
    for (int i = 0; i < kHarmonicLanes; ++i) {
        sums[i] = 0.0;
        counts[i] = 0;
        step[i] = 0.0;
        if (!(f0[i] > 0.0) || !std::isfinite(f0[i]) || !(binHz_ > 0.0)) continue;
        step[i] = f0[i] / binHz_;
        counts[i] = HarmonicsUpTo(f0[i], topHz);
        most = std::max(most, counts[i]);
    }
    const double size = static_cast<double>(power_.size());
    const float* power = power_.data();
    for (int k = 1; k <= most; ++k) {
        for (int i = 0; i < kHarmonicLanes; ++i) {
            if (k > counts[i]) continue;
            const double bin = k * step[i] + 0.5;
            if (bin < size) sums[i] += power[static_cast<size_t>(bin)];
        }
    }
}

double NoiseUnitsScore(double sum, int count) {
    if (count < 1 || !(sum >= 0.0)) return 0.0;
    const double v = 1.0 / (9.0 * count);
    return (std::cbrt(sum / count) - (1.0 - v)) / std::sqrt(v);
}

}  // namespace sorv
