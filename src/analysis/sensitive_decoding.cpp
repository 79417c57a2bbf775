#include "analysis/sensitive_decoding.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

#include "engine/sorvantel_doc.h"

namespace sorv {

namespace {

constexpr double kUnitStep = 0.02;      // rows between the units tried
constexpr double kMostBias = 0.4;       // of a unit
constexpr double kLongestOn = 4.5;      // units: beyond a dash with room for smearing
constexpr double kShortestOn = 0.4;     // units
constexpr double kShortestIdentGap = 5.0;
constexpr double kWordGap = 5.0;        // an inner gap this long would split the ident
constexpr double kMostMisfit = 0.3;     // rms, in units
constexpr int kMostRuns = 80;           // 4 letters of 5 elements, on and off
constexpr size_t kMostLetters = 4;

struct Run {
    bool on = false;
    int length = 0;
};

void SmoothCircular3(const double* x, int n, std::vector<double>& y) {
    y.resize(static_cast<size_t>(n));
    for (int i = 0; i < n; ++i) y[static_cast<size_t>(i)] = x[(i + n - 1) % n] + x[i] + x[(i + 1) % n];
}

// The threshold between the two levels: the split of the sorted values with the largest
// between-group variance, refined to the midpoint of the two groups' means until it settles.
double TwoLevelThreshold(const std::vector<double>& values) {
    std::vector<double> v(values);
    std::sort(v.begin(), v.end());
    const int n = static_cast<int>(v.size());
    std::vector<double> prefix(static_cast<size_t>(n) + 1, 0.0);
    for (int i = 0; i < n; ++i) prefix[static_cast<size_t>(i) + 1] = prefix[static_cast<size_t>(i)] + v[static_cast<size_t>(i)];
    const double total = prefix[static_cast<size_t>(n)];
    double best = -1.0;
    int cut = n / 2;
    for (int k = 1; k < n; ++k) {
        const double low = prefix[static_cast<size_t>(k)] / k;
        const double high = (total - prefix[static_cast<size_t>(k)]) / (n - k);
        const double between = static_cast<double>(k) * (n - k) * (high - low) * (high - low);
        if (between > best) {
            best = between;
            cut = k;
        }
    }
    double threshold = 0.5 * (v[static_cast<size_t>(cut - 1)] + v[static_cast<size_t>(cut)]);
    for (int iteration = 0; iteration < 32; ++iteration) {
        double lowSum = 0.0, highSum = 0.0;
        int lowCount = 0, highCount = 0;
        for (double x : v) {
            if (x < threshold) {
                lowSum += x;
                ++lowCount;
            } else {
                highSum += x;
                ++highCount;
            }
        }
        if (lowCount == 0 || highCount == 0) break;
        const double next = 0.5 * (lowSum / lowCount + highSum / highCount);
        if (next == threshold) break;
        threshold = next;
    }
    return threshold;
}

// The runs of the circular on/off sequence, single-bin runs merged into their neighbours,
// starting right after the longest off run (the gap between repetitions), which comes last.
// False when there is no keying at all.
bool RunsAfterIdentGap(const std::vector<int>& on, std::vector<Run>& runs) {
    const int n = static_cast<int>(on.size());
    int start = -1;
    for (int i = 0; i < n && start < 0; ++i)
        if (on[static_cast<size_t>(i)] != on[static_cast<size_t>((i + n - 1) % n)]) start = i;
    if (start < 0) return false;
    std::vector<Run> circle;
    for (int i = start, walked = 0; walked < n;) {
        const int value = on[static_cast<size_t>(i)];
        int length = 0;
        while (walked < n && on[static_cast<size_t>(i)] == value) {
            ++length;
            ++walked;
            i = (i + 1) % n;
        }
        circle.push_back({value == 1, length});
    }
    // Merge the shortest single-bin run (with both neighbours, which share a value) until none
    // is left; two runs are the least a keyed period has.
    while (circle.size() > 2) {
        size_t shortest = circle.size();
        for (size_t q = 0; q < circle.size(); ++q)
            if (circle[q].length < 2 && (shortest == circle.size() || circle[q].length < circle[shortest].length)) shortest = q;
        if (shortest == circle.size()) break;
        const size_t m = circle.size();
        const size_t before = (shortest + m - 1) % m;
        const size_t after = (shortest + 1) % m;
        circle[before].length += circle[shortest].length + circle[after].length;
        std::vector<Run> merged;
        for (size_t q = 0; q < m; ++q)
            if (q != shortest && q != after) merged.push_back(circle[q]);
        circle.swap(merged);
    }
    size_t gap = circle.size();
    for (size_t q = 0; q < circle.size(); ++q)
        if (!circle[q].on && (gap == circle.size() || circle[q].length > circle[gap].length)) gap = q;
    if (gap == circle.size()) return false;
    runs.clear();
    for (size_t q = 1; q <= circle.size(); ++q) runs.push_back(circle[(gap + q) % circle.size()]);
    return true;
}

double OnUnits(const Run& r, const KeyingTiming& t) { return (r.length - t.bias) / t.unit; }
double OffUnits(const Run& r, const KeyingTiming& t) { return (r.length + t.bias) / t.unit; }
double NearestOn(double units) { return units < 2.0 ? 1.0 : 3.0; }
double NearestOff(double units) { return units < 2.0 ? 1.0 : units < kWordGap ? 3.0 : 7.0; }

// Mean squared distance from whole units of every run but the ident gap (the last).
double Misfit(const std::vector<Run>& runs, const KeyingTiming& t) {
    const size_t inner = runs.size() - 1;
    if (inner == 0) return 0.0;
    double squares = 0.0;
    for (size_t q = 0; q < inner; ++q) {
        const double x = runs[q].on ? OnUnits(runs[q], t) : OffUnits(runs[q], t);
        const double d = x - (runs[q].on ? NearestOn(x) : NearestOff(x));
        squares += d * d;
    }
    return squares / static_cast<double>(inner);
}

// The bias that best fits a unit, for the runs' current classification, a few times over.
KeyingTiming FitBias(const std::vector<Run>& runs, double unit) {
    KeyingTiming t{unit, 0.0};
    const size_t inner = runs.size() - 1;
    if (inner == 0) return t;
    for (int iteration = 0; iteration < 3; ++iteration) {
        double onExcess = 0.0, offExcess = 0.0;
        for (size_t q = 0; q < inner; ++q) {
            if (runs[q].on) onExcess += runs[q].length - NearestOn(OnUnits(runs[q], t)) * unit;
            else offExcess += runs[q].length - NearestOff(OffUnits(runs[q], t)) * unit;
        }
        const double bias = (onExcess - offExcess) / static_cast<double>(inner);
        t.bias = std::clamp(bias, -kMostBias * unit, kMostBias * unit);
    }
    return t;
}

KeyingTiming BestTiming(const std::vector<Run>& runs, const UnitRange& units) {
    KeyingTiming best{units.shortest, 0.0};
    double bestMisfit = std::numeric_limits<double>::infinity();
    for (double unit = units.shortest; unit <= units.longest + 1e-9; unit += kUnitStep) {
        const KeyingTiming t = FitBias(runs, unit);
        const double misfit = Misfit(runs, t);
        if (misfit < bestMisfit) {
            bestMisfit = misfit;
            best = t;
        }
    }
    return best;
}

// Letters from the runs at a timing, and whether they look like a beacon's ident.
void Spell(const std::vector<Run>& runs, KeyingReading& reading) {
    const KeyingTiming& t = reading.timing;
    reading.misfit = std::sqrt(Misfit(runs, t));
    unsigned pattern = 0;
    int elements = 0;
    auto endLetter = [&]() {
        const std::string c = CSorvantelDoc::MorseChar(pattern, elements);
        if (c.empty() || c == "?") {
            reading.reason = "no such letter";
            return false;
        }
        reading.text += c;
        pattern = 0;
        elements = 0;
        return true;
    };
    for (size_t q = 0; q + 1 < runs.size(); ++q) {
        if (runs[q].on) {
            const double x = OnUnits(runs[q], t);
            if (x < kShortestOn || x > kLongestOn) {
                reading.reason = "a key-down of no Morse length";
                return;
            }
            pattern = 2 * pattern + (x < 2.0 ? 0u : 1u);
            ++elements;
        } else {
            const double x = OffUnits(runs[q], t);
            if (x >= kWordGap) {
                reading.reason = "a word gap inside the ident";
                return;
            }
            if (x >= 2.0 && !endLetter()) return;
        }
    }
    if (!endLetter()) return;
    if (runs.size() < 4) {
        // One key-down alone: a dot at one speed is a dash at a third of it.
        reading.reason = "a single key-down has no speed";
    } else if (OffUnits(runs.back(), t) < kShortestIdentGap) {
        reading.reason = "no silence between repetitions";
    } else if (reading.text.size() > kMostLetters) {
        reading.reason = "more than four letters";
    } else if (reading.misfit > kMostMisfit) {
        reading.reason = "runs off the Morse timing";
    } else {
        reading.plausible = true;
    }
}

bool Runs(const double* trace, int n, const double* fixedThreshold, std::vector<Run>& runs, KeyingReading& reading) {
    if (n < 4) {
        reading.reason = "too short a period";
        return false;
    }
    std::vector<double> smooth;
    SmoothCircular3(trace, n, smooth);
    const double threshold = fixedThreshold ? *fixedThreshold : TwoLevelThreshold(smooth);
    reading.threshold = threshold;
    std::vector<int> on(static_cast<size_t>(n));
    for (int i = 0; i < n; ++i) on[static_cast<size_t>(i)] = smooth[static_cast<size_t>(i)] >= threshold ? 1 : 0;
    if (!RunsAfterIdentGap(on, runs) || runs.size() < 2) {
        reading.reason = "no keying";
        return false;
    }
    if (static_cast<int>(runs.size()) > kMostRuns) {
        reading.reason = "too many runs";
        return false;
    }
    return true;
}

}  // namespace

KeyingReading ReadKeying(const double* trace, int n, const UnitRange& units) {
    KeyingReading reading;
    std::vector<Run> runs;
    if (!Runs(trace, n, nullptr, runs, reading)) return reading;
    if (!(units.shortest > 0.0) || !(units.longest >= units.shortest)) {
        reading.reason = "no speed to read at";
        return reading;
    }
    reading.timing = BestTiming(runs, units);
    Spell(runs, reading);
    return reading;
}

KeyingReading ReadKeyingLike(const double* trace, int n, const KeyingReading& whole) {
    KeyingReading reading;
    std::vector<Run> runs;
    if (!Runs(trace, n, &whole.threshold, runs, reading)) return reading;
    if (!(whole.timing.unit > 0.0)) {
        reading.reason = "no speed to read at";
        return reading;
    }
    reading.timing = whole.timing;
    Spell(runs, reading);
    return reading;
}

UnitRange AutomaticUnits(double rowRate) {
    return {std::max(2.0, 1.2 * rowRate / 16.0), 1.2 * rowRate / 4.5};
}

UnitRange UnitsForSpeed(double rowRate, int wpm) {
    if (wpm <= 0) return {};
    const double dot = rowRate / wpm;
    return {std::max(1.0, 0.8 * dot), 1.5 * dot};
}

int WpmOfTiming(double rowRate, const KeyingTiming& timing) {
    const double dashRun = 3.0 * timing.unit - 1.0;
    if (!(dashRun > 0.0)) return 0;
    const double w = 3.0 * rowRate / dashRun;
    return w >= 0.0 && w < 1e6 ? static_cast<int>(w) : 0;
}

}  // namespace sorv
