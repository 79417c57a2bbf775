#include "analysis/sensitive_search.h"

#include <algorithm>
#include <cmath>

#include "analysis/sensitive_decoding.h"
#include "analysis/sensitive_fold.h"
#include "analysis/sensitive_periods.h"
#include "analysis/sensitive_spectrum.h"

namespace sorv {

namespace {

constexpr double kTopHz = 3.0;            // highest keying harmonic summed (a dot is 0.1 s or more)
constexpr double kPeriodSlack = 0.005;    // an ident period at a limit still counts
constexpr double kNeighbourHz = 320.0;    // how far a strong beacon's keying leaks
constexpr double kAdjacentShare = 0.6;    // a neighbour line this strong carries the same tone
constexpr int kMostRounds = 12;           // beacons (and leftovers) looked at per search
constexpr int kMostMultiples = 3;         // a period may be found as a third of its truth, twice over
constexpr double kNoKeying = 3.0;         // noise units: harmonics this weak hold no keying
constexpr int kPeriodsPerHalf = 3;        // each half of the recording must hold this many periods
constexpr int kImageLength = kPhaseBins - 1;  // the longest trace the integration can show

struct LineState {
    int line = 0;
    std::vector<double> raw;      // the line's power, as the integration will fold it
    std::vector<double> cleaned;  // the same less the keying of beacons already looked at
    KeyingSpectrum spectrum;
    bool usable = false;
    PeriodPeak best;
};

struct Head {
    int line = 0;
    double period = 0.0;
};

class SensitiveSearch {
public:
    explicit SensitiveSearch(const SensitiveSearchInput& in) : in_(in) {}
    std::vector<SensitiveDetection> Run();

private:
    bool Prepare();
    void Analyse(LineState& s);
    LineState* Strongest();
    double TruePeriodFrequency(const LineState& s, double f0) const;
    double Refine(const LineState& s, double f0);
    bool Verify(const LineState& s, double period, SensitiveDetection& found);
    bool VerifyWithNeighbours(const LineState& s, double period, double score, SensitiveDetection& found);
    bool SeenBefore(int line, double period) const;
    bool Near(int a, int b) const { return std::abs(a - b) * in_.lineHz <= kNeighbourHz; }
    void RemoveFromNeighbours(int line, double period);

    const SensitiveSearchInput& in_;
    std::vector<LineState> lines_;
    std::vector<Head> heads_;
    PeriodFold fold_;
    SpectrumWork work_;
    UnitRange units_;
    double periodMin_ = 0.0;  // with the slack
    double periodMax_ = 0.0;
    double seconds_ = 0.0;    // length of the recording
};

bool SensitiveSearch::Prepare() {
    const double R = in_.rowRate;
    if (!in_.power || in_.rows < 16 || !(R > 0.0) || !std::isfinite(R)) return false;
    if (!std::isfinite(in_.periodMin) || !std::isfinite(in_.periodMax) || !(in_.periodMin > 0.0)) return false;
    seconds_ = in_.rows / R;
    periodMin_ = in_.periodMin * (1.0 - kPeriodSlack);
    // The longest period: one the integration image can show whole, and that each half of the
    // recording holds a few times.
    periodMax_ = std::min({in_.periodMax * (1.0 + kPeriodSlack), (kImageLength - 0.5) / R,
                           seconds_ / (2.0 * kPeriodsPerHalf)});
    if (!(periodMax_ > periodMin_)) return false;
    units_ = in_.manualWpm > 0 ? UnitsForSpeed(R, in_.manualWpm) : AutomaticUnits(R);

    const int first = std::max(0, in_.firstLine);
    const int last = std::min(kLines - 1, in_.lastLine);
    for (int line = first; line <= last; ++line) {
        LineState s;
        s.line = line;
        s.raw.resize(static_cast<size_t>(in_.rows));
        for (int j = 0; j < in_.rows; ++j) s.raw[static_cast<size_t>(j)] = in_.power[j][line];
        s.cleaned = s.raw;
        lines_.push_back(std::move(s));
    }
    for (LineState& s : lines_) Analyse(s);
    return true;
}

void SensitiveSearch::Analyse(LineState& s) {
    s.usable = s.spectrum.Compute(s.cleaned.data(), in_.rows, in_.rowRate, kTopHz, work_);
    s.best = s.usable ? BestRepetition(s.spectrum, 1.0 / periodMax_, 1.0 / periodMin_, kTopHz) : PeriodPeak{};
}

LineState* SensitiveSearch::Strongest() {
    LineState* best = nullptr;
    for (LineState& s : lines_)
        if (s.usable && s.best.f0 > 0.0 && (!best || s.best.score > best->best.score)) best = &s;
    return best && best->best.score >= kSensitiveThreshold ? best : nullptr;
}

// A peak at f0 may stand for a multiple of the ident's true period (twice the period carries
// all its harmonics, and more when its keying is strong), or for a part of it, when the ident's
// pattern happens to carry little power at the lower harmonics. A shorter period holds all the
// keying when the harmonics between its own hold nothing but noise; a longer one, when they
// carry keying power of their own.
double SensitiveSearch::TruePeriodFrequency(const LineState& s, double f0) const {
    for (int step = 0; step < kMostMultiples; ++step) {
        bool shorter = false;
        for (int parts = 2; parts <= 3 && !shorter; ++parts) {
            if (parts * f0 > kTopHz / 2.0) continue;
            if (RepeatsWithin(s.spectrum, f0, parts, kTopHz, kNoKeying) &&
                KeyingScore(s.spectrum, parts * f0, kTopHz) >= kSensitiveThreshold) {
                f0 *= parts;
                shorter = true;
            }
        }
        if (!shorter) break;
    }
    for (int step = 0; step < kMostMultiples; ++step) {
        bool longer = false;
        for (int multiple = 2; multiple <= 3 && !longer; ++multiple) {
            if (1.0 / (f0 / multiple) * in_.rowRate > kMaxFoldLength) continue;
            if (RepeatsOnlyEvery(s.spectrum, f0, multiple, kTopHz, kSensitiveThreshold)) {
                f0 /= multiple;
                longer = true;
            }
        }
        if (!longer) break;
    }
    return f0;
}

// The period whose fold varies most near 1 / f0: first over the scan's uncertainty, then
// finer around the best.
double SensitiveSearch::Refine(const LineState& s, double f0) {
    const double P0 = 1.0 / f0;
    // The scan steps the top harmonic by half a bin: the period is known to about that.
    const double uncertainty = P0 * P0 * 0.5 * s.spectrum.BinHz() / std::max(1.0, std::floor(kTopHz * P0));
    double best = P0;
    double span = 2.0 * uncertainty;
    for (int pass = 0; pass < 2; ++pass) {
        const int steps = pass == 0 ? 8 : 4;
        const double step = span / steps;
        const double centre = best;
        double bestVariance = -1.0;
        for (int k = -steps; k <= steps; ++k) {
            const double P = centre + k * step;
            const int rows = FoldedRows(in_.rows, in_.rowRate, P);
            if (!fold_.Fold(s.cleaned.data(), 0, rows, in_.rowRate, P)) continue;
            const double variance = fold_.SmoothedVariance();
            if (variance > bestVariance) {
                bestVariance = variance;
                best = P;
            }
        }
        span = step;
    }
    return best;
}

bool SensitiveSearch::Verify(const LineState& s, double period, SensitiveDetection& found) {
    const double P = MiddleTrialPeriod(period);
    const int rows = FoldedRows(in_.rows, in_.rowRate, P);
    if (!fold_.Fold(s.raw.data(), 0, rows, in_.rowRate, P) || fold_.Length() > kImageLength) return false;
    const int n = fold_.Length();
    const KeyingReading whole = ReadKeying(fold_.Trace(), n, units_);
    if (!whole.plausible) return false;
    // The same ident from each half of the recording, read at the whole's timing and threshold:
    // the halves' noise is independent, so a misreading that one half's noise put into the
    // whole does not come out of the other half too.
    const int halves[3] = {0, rows / 2, rows};
    for (int h = 0; h < 2; ++h) {
        if (!fold_.Fold(s.raw.data(), halves[h], halves[h + 1], in_.rowRate, P)) return false;
        const KeyingReading half = ReadKeyingLike(fold_.Trace(), n, whole);
        if (!half.plausible || half.text != whole.text) return false;
    }
    found.line = s.line;
    found.period = period;
    found.ident = whole.text;
    found.wpm = WpmOfTiming(in_.rowRate, whole.timing);
    found.score = KeyingScore(s.spectrum, 1.0 / period, kTopHz);
    return true;
}

// A tone between two lines shows on both nearly equally; when the stronger cannot be read,
// the other may be.
bool SensitiveSearch::VerifyWithNeighbours(const LineState& s, double period, double score,
                                           SensitiveDetection& found) {
    if (Verify(s, period, found)) return true;
    const LineState* options[2] = {nullptr, nullptr};
    double scores[2] = {0.0, 0.0};
    for (LineState& other : lines_) {
        if (std::abs(other.line - s.line) != 1 || !other.usable) continue;
        const double sc = KeyingScore(other.spectrum, 1.0 / period, kTopHz);
        if (sc < kSensitiveThreshold || sc < kAdjacentShare * score) continue;
        const int slot = other.line < s.line ? 0 : 1;
        options[slot] = &other;
        scores[slot] = sc;
    }
    const int first = scores[1] > scores[0] ? 1 : 0;
    for (int k = 0; k < 2; ++k) {
        const LineState* o = options[(first + k) % 2];
        if (o && Verify(*o, period, found)) return true;
    }
    return false;
}

// A period already looked at nearby: what is left of it after its removal (the fold removes a
// slightly wrong period imperfectly) must not be reported again.
bool SensitiveSearch::SeenBefore(int line, double period) const {
    const double tolerance = std::max(3.0 * period * period / seconds_, 0.002 * period);
    for (const Head& h : heads_)
        if (Near(h.line, line) && std::fabs(h.period - period) <= tolerance) return true;
    return false;
}

void SensitiveSearch::RemoveFromNeighbours(int line, double period) {
    for (LineState& s : lines_) {
        if (!Near(s.line, line)) continue;
        RemovePeriodic(s.cleaned.data(), in_.rows, in_.rowRate, period, fold_);
        Analyse(s);
    }
}

std::vector<SensitiveDetection> SensitiveSearch::Run() {
    std::vector<SensitiveDetection> found;
    if (!Prepare()) return found;
    for (int round = 0; round < kMostRounds; ++round) {
        LineState* s = Strongest();
        if (!s) break;
        const double score = s->best.score;
        const int line = s->line;
        const double period = Refine(*s, TruePeriodFrequency(*s, s->best.f0));
        const bool inRange = period >= periodMin_ && period <= periodMax_;
        SensitiveDetection d;
        if (inRange && !SeenBefore(line, period) && VerifyWithNeighbours(*s, period, score, d)) found.push_back(d);
        heads_.push_back({line, period});
        RemoveFromNeighbours(line, period);
    }
    std::sort(found.begin(), found.end(), [](const SensitiveDetection& a, const SensitiveDetection& b) {
        return a.line != b.line ? a.line < b.line : a.period < b.period;
    });
    return found;
}

}  // namespace

double MiddleTrialPeriod(double period) {
    const double low = period - kSensitiveHalfRange;
    const double high = period + kSensitiveHalfRange;
    return low + (high - low) * (256 * 0.001953125);
}

std::vector<SensitiveDetection> RunSensitiveSearch(const SensitiveSearchInput& input) {
    SensitiveSearch search(input);
    return search.Run();
}

}  // namespace sorv
