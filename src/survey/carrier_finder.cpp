#include "survey/carrier_finder.h"

#include <algorithm>
#include <cmath>

#include "analysis/rank_value.h"

namespace sorv {

namespace {

constexpr double kFloorBlockHz = 25.0;    // the floor is the median of medians of blocks this wide
constexpr int kFloorBlocksEachSide = 12;  // ...over this many blocks to either side (about 600 Hz in all)
constexpr int kPeakBinsEachSide = 3;      // a Hann-windowed tone keeps nearly all its power within these
// A peak that belongs to a stronger one rather than being a carrier: the drift and keying
// lines right beside a carrier, the keying's spread further out when far weaker (around a
// keyed carrier, or around a keyed tone), and a keyed tone in a carrier's sideband.
constexpr double kSkirtHz = 40.0;
constexpr double kSpreadHz = 200.0, kSpreadDropDb = 30.0;
constexpr double kFarSpreadHz = 400.0, kFarSpreadDropDb = 45.0;  // the keying of a very strong one
constexpr double kSidebandDropDb = 3.0;  // a sideband is weaker than its carrier at least by this
constexpr double kByHandReachHz = 25.0;

bool AtSidebandDistance(double d) { return (d >= 330.0 && d <= 470.0) || (d >= 930.0 && d <= 1110.0); }

// The median of a gamma variate of shape k and mean 1 (Wilson-Hilferty; within 2 % at k = 1).
double GammaMedian(int k) {
    const double a = 1.0 - 1.0 / (9.0 * k);
    return a * a * a;
}

// The chance that a gamma variate of integer shape k and mean 1 exceeds x.
double GammaUpperTail(int k, double x) {
    const double y = k * x;
    // e^-y * sum_{i<k} y^i / i!, summed in logarithms so that large y does not underflow early.
    double logTerm = -y, sum = 0.0;
    for (int i = 0; i < k; ++i) {
        if (i > 0) logTerm += std::log(y) - std::log(static_cast<double>(i));
        sum += std::exp(logTerm);
    }
    return sum;
}

// The standard normal deviate with upper tail p.
double NormalDeviate(double p) {
    double lo = 0.0, hi = 40.0;
    for (int i = 0; i < 200; ++i) {
        const double mid = 0.5 * (lo + hi);
        (0.5 * std::erfc(mid / std::sqrt(2.0)) > p ? lo : hi) = mid;
    }
    return 0.5 * (lo + hi);
}

struct Peak {
    double bin = 0.0;  // interpolated
    int at = 0;        // the strongest bin
    double power = 0.0;
};

// The tone's frequency between bins from the two strongest bins of its Hann-windowed peak: the
// ratio r of the second to the first magnitude puts it (2r - 1) / (r + 1) bins over.
double InterpolatedBin(const std::vector<double>& p, int k) {
    const int n = static_cast<int>(p.size());
    if (k <= 0 || k >= n - 1) return k;
    const bool up = p[static_cast<size_t>(k + 1)] > p[static_cast<size_t>(k - 1)];
    const double peak = std::sqrt(p[static_cast<size_t>(k)]);
    const double side = std::sqrt(p[static_cast<size_t>(up ? k + 1 : k - 1)]);
    if (!(peak > 0.0)) return k;
    const double r = side / peak;
    const double d = std::clamp((2.0 * r - 1.0) / (r + 1.0), 0.0, 0.5);
    return up ? k + d : k - d;
}

Peak PeakAround(const AverageSpectrum& s, const std::vector<double>& floor, int k) {
    Peak peak;
    peak.at = k;
    peak.bin = InterpolatedBin(s.power, k);
    const int n = s.Bins();
    for (int i = std::max(0, k - kPeakBinsEachSide); i <= std::min(n - 1, k + kPeakBinsEachSide); ++i)
        peak.power += std::max(0.0, s.power[static_cast<size_t>(i)] - floor[static_cast<size_t>(i)]);
    return peak;
}

Carrier CarrierOf(const AverageSpectrum& s, const std::vector<double>& floor, const Peak& peak) {
    Carrier c;
    const size_t k = static_cast<size_t>(peak.at);
    c.offsetHz = s.OffsetOfBin(peak.bin);
    c.power = peak.power;
    c.floorPerHz = floor[k] / s.binHz;
    c.peakDb = floor[k] > 0.0 ? 10.0 * std::log10(s.power[k] / floor[k]) : 0.0;
    return c;
}

// The bins a carrier may lie in: far enough from the band's edges for its whole channel.
void UsableBins(const AverageSpectrum& s, const CarrierSearch& search, int& first, int& last) {
    const int n = s.Bins();
    const int margin = static_cast<int>(std::ceil(search.channelHalfWidthHz / s.binHz)) + kPeakBinsEachSide;
    first = std::max(1, margin);
    last = std::min(n - 2, n - 1 - margin);
}

}  // namespace

double Carrier::LevelDb() const {
    const double noise = floorPerHz * 2500.0;
    return noise > 0.0 && power > 0.0 ? 10.0 * std::log10(power / noise) : -999.0;
}

std::vector<double> NoiseFloor(const AverageSpectrum& s) {
    const int n = s.Bins();
    std::vector<double> floor(static_cast<size_t>(n), 0.0);
    if (n == 0 || s.segments == 0) return floor;
    const int block = std::max(1, static_cast<int>(std::lround(kFloorBlockHz / s.binHz)));
    const int blocks = (n + block - 1) / block;
    std::vector<double> blockMedian(static_cast<size_t>(blocks));
    for (int b = 0; b < blocks; ++b) {
        const int from = b * block, to = std::min(n, from + block);
        blockMedian[static_cast<size_t>(b)] = UpperMedian(s.power.data() + from, static_cast<size_t>(to - from));
    }
    // The median of a bin's noise lies below its mean by a known factor for this many averages.
    const double toMean = 1.0 / GammaMedian(s.segments);
    std::vector<double> level(static_cast<size_t>(blocks));
    for (int b = 0; b < blocks; ++b) {
        const int from = std::max(0, b - kFloorBlocksEachSide), to = std::min(blocks, b + kFloorBlocksEachSide + 1);
        level[static_cast<size_t>(b)] = UpperMedian(blockMedian.data() + from, static_cast<size_t>(to - from)) * toMean;
    }
    // Between block centres the floor is interpolated.
    for (int i = 0; i < n; ++i) {
        const double x = (i + 0.5) / block - 0.5;
        const int b = std::clamp(static_cast<int>(std::floor(x)), 0, blocks - 1);
        const int b2 = std::min(blocks - 1, b + 1);
        const double t = std::clamp(x - b, 0.0, 1.0);
        floor[static_cast<size_t>(i)] = level[static_cast<size_t>(b)] * (1.0 - t) + level[static_cast<size_t>(b2)] * t;
    }
    return floor;
}

double NoiseThresholdFactor(int segments, double tail) {
    const int k = std::max(1, segments);
    if (k >= 60) {
        const double z = NormalDeviate(tail);
        const double a = 1.0 - 1.0 / (9.0 * k) + z * std::sqrt(1.0 / (9.0 * k));
        return a * a * a;
    }
    double lo = 1.0, hi = 200.0;
    for (int i = 0; i < 200; ++i) {
        const double mid = 0.5 * (lo + hi);
        (GammaUpperTail(k, mid) > tail ? lo : hi) = mid;
    }
    return hi;
}

std::vector<Carrier> FindCarriers(const AverageSpectrum& s, const CarrierSearch& search) {
    std::vector<Carrier> carriers;
    if (s.segments == 0 || s.Bins() < 8) return carriers;
    const std::vector<double> floor = NoiseFloor(s);
    const double factor = NoiseThresholdFactor(s.segments, search.tail);
    int first = 0, last = -1;
    UsableBins(s, search, first, last);

    // The strongest bin of every run of bins above the threshold.
    std::vector<Peak> peaks;
    for (int i = first; i <= last; ++i) {
        if (!(s.power[static_cast<size_t>(i)] > floor[static_cast<size_t>(i)] * factor)) continue;
        int best = i;
        while (i + 1 <= last && s.power[static_cast<size_t>(i + 1)] > floor[static_cast<size_t>(i + 1)] * factor) {
            ++i;
            if (s.power[static_cast<size_t>(i)] > s.power[static_cast<size_t>(best)]) best = i;
        }
        peaks.push_back(PeakAround(s, floor, best));
    }

    // Strongest first: a peak near a carrier already taken is its skirt, one at a tone's
    // distance from a clearly stronger carrier its sideband.
    std::sort(peaks.begin(), peaks.end(), [](const Peak& a, const Peak& b) { return a.power > b.power; });
    std::vector<Peak> taken, seen;
    for (const Peak& p : peaks) {
        bool belongs = false;
        for (const Peak& t : seen) {
            const double d = std::fabs(p.bin - t.bin) * s.binHz;
            const double drop = 10.0 * std::log10(s.power[static_cast<size_t>(t.at)] / s.power[static_cast<size_t>(p.at)]);
            if (d <= kSkirtHz || (d <= kSpreadHz && drop >= kSpreadDropDb) || (d <= kFarSpreadHz && drop >= kFarSpreadDropDb))
                belongs = true;
        }
        for (const Peak& t : taken) {
            const double d = std::fabs(p.bin - t.bin) * s.binHz;
            const double drop = 10.0 * std::log10(s.power[static_cast<size_t>(t.at)] / s.power[static_cast<size_t>(p.at)]);
            if (AtSidebandDistance(d) && drop >= kSidebandDropDb) belongs = true;
        }
        if (!belongs) taken.push_back(p);
        seen.push_back(p);
    }
    for (const Peak& p : taken) carriers.push_back(CarrierOf(s, floor, p));
    std::sort(carriers.begin(), carriers.end(), [](const Carrier& a, const Carrier& b) { return a.offsetHz < b.offsetHz; });
    return carriers;
}

Carrier CarrierAt(const AverageSpectrum& s, const std::vector<double>& floor, double offsetHz,
                  const CarrierSearch& search) {
    Carrier c;
    c.offsetHz = offsetHz;
    c.givenByHand = true;
    c.seenInSpectrum = false;
    if (s.segments == 0 || s.Bins() < 8 || floor.size() != s.power.size()) return c;
    const int n = s.Bins();
    const int centre = static_cast<int>(std::lround(s.BinOfOffset(offsetHz)));
    const int reach = static_cast<int>(std::ceil(kByHandReachHz / s.binHz));
    const double factor = NoiseThresholdFactor(s.segments, search.tail);
    int best = -1;
    for (int i = std::max(1, centre - reach); i <= std::min(n - 2, centre + reach); ++i) {
        const size_t u = static_cast<size_t>(i);
        if (s.power[u] > floor[u] * factor && (best < 0 || s.power[u] > s.power[static_cast<size_t>(best)])) best = i;
    }
    if (best >= 0) {
        c = CarrierOf(s, floor, PeakAround(s, floor, best));
        c.givenByHand = true;
        return c;
    }
    const int k = std::clamp(centre, 0, n - 1);
    c.floorPerHz = floor[static_cast<size_t>(k)] / s.binHz;
    c.power = PeakAround(s, floor, k).power;
    return c;
}

}  // namespace sorv
