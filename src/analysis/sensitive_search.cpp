#include "analysis/sensitive_search.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <thread>

#include "analysis/detector_lines.h"
#include "analysis/morse_reader.h"
#include "analysis/sensitive_decoding.h"
#include "analysis/sensitive_fold.h"
#include "analysis/sensitive_periods.h"
#include "analysis/sensitive_spectrum.h"

namespace sorv {

namespace {

constexpr double kTopHz = 3.0;            // highest keying harmonic summed (a dot is 0.1 s or more)
constexpr double kPeriodSlack = 0.005;    // an ident period at a limit still counts
constexpr double kNeighbourHz = 320.0;    // how far a strong beacon's keying leaks and clicks
// An accepted beacon's keying is taken out of a line around it only where what it can put
// there (its score times its leak into the line) would stand this many deviations out.
constexpr double kLeastLeak = 0.5;
constexpr double kClickUnitSeconds = 0.1;  // the splatter of a key edge at 12 wpm
constexpr int kPeaksPerLine = 6;          // candidate periods kept per line
constexpr double kPeakSeparation = 0.01;  // relative: peaks closer than this are one
constexpr int kMostRounds = 24;           // candidates read per search
constexpr int kMostMultiples = 3;         // a period may be found as a third of its truth, twice over
constexpr double kNoKeying = 3.0;         // noise units: harmonics this weak hold no keying
constexpr double kMultipleKeying = 7.0;   // ... and this strong carry keying of their own
constexpr int kPeriodsPerHalf = 3;        // each interleaved half must hold this many periods
constexpr int kNotchBins = 3;
// A failed reading spares a line only where its keying stands out this much more (noise
// units): the lines along a carrier's skirt would otherwise be read one by one.
constexpr double kSpareMargin = 0.5;
constexpr double kHeardScore = 3.0;       // a part of the recording in which the ident is heard
constexpr int kWhereParts = 24;           // at most, for where it was heard
constexpr double kLeastPartPeriods = 10.0;

// A strong keying's harmonics leak into the bins around them, so that the harmonics between
// those of a shorter period stand above the noise although nothing repeats at the longer one:
// they then hold only a small share of the power the shorter period's harmonics carry.
constexpr double kLeakShare = 0.02;
bool OnlyLeaksBetween(const KeyingSpectrum& s, double f0, int parts) {
    int between = 0, own = 0;
    const double betweenSum = s.HarmonicSum(f0, kTopHz, parts, between);
    const double ownSum = s.HarmonicSum(parts * f0, kTopHz, 0, own);
    const double ownExcess = ownSum - own;
    return between >= 1 && own >= 1 && ownExcess > 0.0 && betweenSum - between <= kLeakShare * ownExcess;
}

struct LineState {
    KeyingSpectrum spectrum;
    bool usable = false;
    double noisePerRow = 0.0;  // of the normalised series, as slow templates see it
    std::vector<PeriodPeak> peaks;
};

struct Head {
    double hz = 0.0;
    double period = 0.0;
    double score = 0.0;
    std::vector<double> shape;  // one period of its keying as read, at the fold's bins
};

struct Examined {
    MorseReading reading;
    double period = 0.0;
    std::vector<double> series;  // the line's normalised power
    double noisePerRow = 0.0;
    std::vector<double> weights;  // each row's, by the ident's strength around it; empty: all 1
    MorseReading plainReading;    // the reading of the fold with all rows alike
    const std::vector<double>* Weights() const { return weights.empty() ? nullptr : &weights; }
};

class SensitiveSearch {
public:
    SensitiveSearch(const DetectorRows& rows, const std::vector<int>& storedLine, const SensitiveSearchSettings& s)
        : rows_(rows), storedLine_(storedLine), settings_(s) {}
    std::vector<SensitiveDetection> Run();

private:
    bool Prepare();
    void AnalyseLines(int from, int step, SpectrumWork& work);
    bool Strongest(int& line, size_t& peak) const;
    double TruePeriodFrequency(const KeyingSpectrum& s, double f0) const;
    FoldedTrace Fold(const std::vector<double>& series, double noise, double period, int parity, int from = 0,
                     int to = -1, const std::vector<double>* weights = nullptr) const;
    bool Examine(int line, double period, Examined& out, CandidateRecord& record);
    double RefinePeriod(const Examined& e, double period);
    void WeighByStrength(Examined& e);
    bool Verify(const Examined& e, CandidateRecord& record) const;
    bool Judge(const Examined& e, CandidateRecord& record) const;
    void Describe(int line, const Examined& e, double keyingScore, SensitiveDetection& d);
    double MeasureTone(int line, const Examined& e);
    void WhereHeard(const Examined& e, SensitiveDetection& d) const;
    struct PartFit {
        int from = 0, to = 0;  // rows
        MorseFit fit;
    };
    std::vector<PartFit> FitParts(const Examined& e) const;
    bool SeenBefore(double hz, double period) const;
    // Takes the period's keying out of the lines around hz, except those where it stands
    // above spareAbove noise units.
    void TakeOut(double hz, double period, double spareAbove);
    double LeakInto(double apartHz) const;

    const DetectorRows& rows_;
    const std::vector<int>& storedLine_;
    SensitiveSearchSettings settings_;
    DetectorLines lines_;
    std::vector<LineState> state_;
    std::vector<Head> heads_;  // the idents accepted so far
    PeriodFold foldWork_;
    UnitRange units_;
    double periodMin_ = 0.0;
    double periodMax_ = 0.0;
    double seconds_ = 0.0;
};

bool SensitiveSearch::Prepare() {
    const double R = rows_.RowRate();
    if (rows_.Rows() < 16 || rows_.Lines() < 1 || !(R > 0.0) || !std::isfinite(R)) return false;
    if (!std::isfinite(settings_.periodMin) || !std::isfinite(settings_.periodMax) || !(settings_.periodMin > 0.0))
        return false;
    seconds_ = rows_.Rows() / R;
    periodMin_ = settings_.periodMin * (1.0 - kPeriodSlack);
    periodMax_ = std::min({settings_.periodMax * (1.0 + kPeriodSlack), seconds_ / (2.0 * kPeriodsPerHalf),
                           (kMaxFoldLength - 0.5) / R});
    if (settings_.longestPeriod > 0.0) periodMax_ = std::min(periodMax_, settings_.longestPeriod);
    if (!(periodMax_ > periodMin_)) return false;
    units_ = settings_.manualWpm > 0 ? UnitsForSpeed(R, settings_.manualWpm) : AutomaticUnits(R);

    lines_.Prepare(rows_);
    state_.assign(static_cast<size_t>(rows_.Lines()), LineState{});
    const int threads = std::clamp(settings_.threads, 1, 8);
    if (threads == 1) {
        // Kept from one search to the next on this thread: the transform's tables for the
        // same length are then made once, not for every search of a band's many line groups.
        static thread_local SpectrumWork kept;
        AnalyseLines(0, 1, kept);
    } else {
        std::vector<SpectrumWork> work(static_cast<size_t>(threads));
        std::vector<std::thread> pool;
        for (int t = 0; t < threads; ++t)
            pool.emplace_back([this, t, threads, &work] { AnalyseLines(t, threads, work[static_cast<size_t>(t)]); });
        for (std::thread& th : pool) th.join();
    }
    return true;
}

void SensitiveSearch::AnalyseLines(int from, int step, SpectrumWork& work) {
    std::vector<double> series;
    for (int l = from; l < rows_.Lines(); l += step) {
        LineState& s = state_[static_cast<size_t>(l)];
        lines_.Series(l, series);
        s.usable = s.spectrum.Compute(series.data(), rows_.Rows(), rows_.RowRate(), kTopHz, work);
        if (!s.usable) continue;
        s.noisePerRow = s.spectrum.NoisePerRow(1.0);
        s.peaks = TopRepetitions(s.spectrum, 1.0 / periodMax_, 1.0 / periodMin_, kTopHz, kPeaksPerLine, kPeakSeparation);
    }
}

// Of the candidates that score high enough, the one with the most keying power, in the rows'
// floor units: a strong beacon's own line before the lines its leak and key clicks reach (where
// the noise may be lower, and the score higher).
bool SensitiveSearch::Strongest(int& line, size_t& peak) const {
    double best = -1.0;
    bool found = false;
    for (size_t l = 0; l < state_.size(); ++l) {
        const LineState& s = state_[l];
        if (!s.usable) continue;
        const double level = lines_.MeanLevel(static_cast<int>(l));
        for (size_t p = 0; p < s.peaks.size(); ++p) {
            if (!(s.peaks[p].f0 > 0.0) || s.peaks[p].score < kSensitiveThreshold) continue;
            int count = 0;
            const double sum = s.spectrum.HarmonicSum(s.peaks[p].f0, kTopHz, 0, count);
            const double power = (sum - count) * s.noisePerRow * level * level;
            if (power > best) {
                best = power;
                line = static_cast<int>(l);
                peak = p;
                found = true;
            }
        }
    }
    return found;
}

// A peak at f0 may stand for a multiple of the ident's true period (twice the period carries
// all its harmonics, and more when its keying is strong), or for a part of it, when the ident's
// pattern happens to carry little power at the lower harmonics. A shorter period holds all the
// keying when the harmonics between its own hold nothing but noise; a longer one, when they
// carry keying power of their own.
double SensitiveSearch::TruePeriodFrequency(const KeyingSpectrum& s, double f0) const {
    for (int step = 0; step < kMostMultiples; ++step) {
        bool shorter = false;
        for (int parts = 2; parts <= 3 && !shorter; ++parts) {
            if (parts * f0 > kTopHz / 2.0) continue;
            if ((RepeatsWithin(s, f0, parts, kTopHz, kNoKeying) || OnlyLeaksBetween(s, f0, parts)) &&
                KeyingScore(s, parts * f0, kTopHz) >= kMultipleKeying) {
                f0 *= parts;
                shorter = true;
            }
        }
        if (!shorter) break;
    }
    for (int step = 0; step < kMostMultiples; ++step) {
        bool longer = false;
        for (int multiple = 2; multiple <= 3 && !longer; ++multiple) {
            if (1.0 / (f0 / multiple) * rows_.RowRate() > kMaxFoldLength) continue;
            if (RepeatsOnlyEvery(s, f0, multiple, kTopHz, kMultipleKeying)) {
                f0 /= multiple;
                longer = true;
            }
        }
        if (!longer) break;
    }
    return f0;
}

FoldedTrace SensitiveSearch::Fold(const std::vector<double>& series, double noise, double period, int parity,
                                  int from, int to, const std::vector<double>* weights) const {
    FoldedTrace t;
    if (to < 0) to = static_cast<int>(series.size());
    if (!FoldForReading(series.data(), from, to, rows_.RowRate(), period, parity, t, weights ? weights->data() : nullptr))
        return {};
    t.rowNoise = std::sqrt(std::max(noise, 1e-300));
    t.response = &rows_.Response();
    return t;
}

bool SensitiveSearch::Examine(int line, double period, Examined& e, CandidateRecord& record) {
    const LineState& s = state_[static_cast<size_t>(line)];
    lines_.Series(line, e.series);
    // The keying of idents already accepted around here (a stronger one on the same line, or
    // its leak) would stand in this fold as noise the line's spectrum does not know of.
    for (const Head& h : heads_)
        if (h.score * LeakInto(std::fabs(h.hz - rows_.LineHz(line))) >= kLeastLeak)
            RemovePeriodic(e.series.data(), rows_.Rows(), rows_.RowRate(), h.period, foldWork_, &h.shape);
    e.noisePerRow = s.noisePerRow;
    FoldedTrace trace = Fold(e.series, e.noisePerRow, period, -1);
    if (trace.Length() < 8) return false;
    record.bound = KeyingBound(trace, units_);
    if (record.bound < kReadBound && !settings_.readEverything) return false;
    record.read = true;
    MorseReading first = ReadMorse(trace, units_);
    if (first.text.empty()) return false;
    e.reading = first;
    // A strong keying's noise is what its fit leaves, not the leakage of its own harmonics.
    e.noisePerRow = first.rowNoise * first.rowNoise;
    e.period = RefinePeriod(e, period);
    if (e.period != period) {
        trace = Fold(e.series, e.noisePerRow, e.period, -1);
        const MorseReading again = ReadMorse(trace, units_);
        if (again.text.empty()) return false;
        e.reading = again;
        e.noisePerRow = again.rowNoise * again.rowNoise;
    }
    WeighByStrength(e);
    return true;
}

// A beacon that fades is heard far better in some parts of a recording than in others, and
// the parts where it is gone add only noise to the fold: each row is weighed by the ident's
// amplitude in its part of the recording, as far as the parts' amplitudes differ by more
// than their fits' own noise would make them (in noise, or for a steady beacon, hardly at
// all), and the weighted fold is read again.
void SensitiveSearch::WeighByStrength(Examined& e) {
    const int rows = rows_.Rows();
    const std::vector<PartFit> fits = FitParts(e);
    const int parts = static_cast<int>(fits.size());
    if (parts < 3) return;
    std::vector<double> amplitude, centre;
    double mean = 0.0, noise = 0.0;
    for (const PartFit& part : fits) {
        const MorseFit& f = part.fit;
        if (f.score == 0.0) return;
        amplitude.push_back(f.amplitude);
        centre.push_back(0.5 * (part.from + part.to));
        mean += f.amplitude / parts;
        noise += (f.amplitude / f.score) * (f.amplitude / f.score) * (parts - 1.0) / parts;
    }
    double scatter = 0.0;
    for (double a : amplitude) scatter += (a - mean) * (a - mean);
    if (!(mean > 0.0) || !(scatter > noise)) return;
    const double shrink = 1.0 - noise / scatter;
    for (double& a : amplitude) a = std::max(0.0, 1.0 + shrink * (a / mean - 1.0));
    std::vector<double> weights;
    InterpolateOverRows(centre, amplitude, rows, weights);
    const MorseReading weighed = ReadMorse(Fold(e.series, e.noisePerRow, e.period, -1, 0, -1, &weights), units_);
    if (weighed.text.empty()) return;
    // The rows' noise stays as the unweighted fold measured it.
    e.weights = std::move(weights);
    e.plainReading = e.reading;
    e.reading = weighed;
}

// The period at which the text read fits best, over the scan's uncertainty and then finer; the
// timing's start and unit are refitted at each trial, since a change of period moves the
// ident's phase in the fold.
double SensitiveSearch::RefinePeriod(const Examined& e, double period) {
    const LineState& s = state_[static_cast<size_t>(0)];
    const double binHz = s.spectrum.BinHz() > 0.0 ? s.spectrum.BinHz() : rows_.RowRate() / rows_.Rows();
    const double uncertainty = period * period * binHz / std::max(1.0, std::floor(kTopHz * period));
    double best = period;
    double bestScore = e.reading.fit.score;
    MorseTiming timing = e.reading.timing;
    double span = 2.0 * uncertainty;
    for (int pass = 0; pass < 3; ++pass) {
        const int steps = 4;
        const double stepSize = span / steps;
        const double centre = best;
        for (int k = -steps; k <= steps; ++k) {
            if (k == 0) continue;
            const double P = centre + k * stepSize;
            const FoldedTrace t = Fold(e.series, e.noisePerRow, P, -1);
            if (t.Length() < 8) continue;
            // Nearby periods shift the ident by a few rows at most: try the start around.
            MorseTiming trial = timing;
            double trialScore = -1e300;
            MorseTiming trialBest = timing;
            for (double shift = -3.0; shift <= 3.0; shift += 0.5) {
                trial.start = timing.start + shift;
                const double sc = FitMorse(t, e.reading.text, trial).score;
                if (sc > trialScore) {
                    trialScore = sc;
                    trialBest = trial;
                }
            }
            if (trialScore > bestScore) {
                bestScore = trialScore;
                best = P;
                timing = trialBest;
            }
        }
        span = stepSize;
    }
    return best;
}

// Whether the reading is acceptable and its halves confirm it, with what was found recorded.
bool SensitiveSearch::Judge(const Examined& e, CandidateRecord& record) const {
    const MorseReading& r = e.reading;
    record.text = r.text;
    record.score = r.fit.score;
    record.margin = r.margin;
    record.silence = r.silence;
    record.misfit = r.misfit;
    record.residualRms = r.residualRms;
    record.silenceShare = r.silenceShare;
    record.halfLead[0] = record.halfLead[1] = 0.0;
    const bool verified = Verify(e, record);
    return AcceptableReading(r) && r.fit.score >= AcceptScoreFor(seconds_) && verified;
}

// Each interleaved half, read at the whole's timing, must fit the whole's text well on its
// own and read no other text clearly better, and one of them must spell it.
bool SensitiveSearch::Verify(const Examined& e, CandidateRecord& record) const {
    bool agree = true;
    int spelled = 0;
    for (int parity = 0; parity < 2; ++parity) {
        const FoldedTrace half = Fold(e.series, e.noisePerRow, e.period, parity, 0, -1, e.Weights());
        if (half.Length() < 8) return false;
        const MorseReading r = ReadMorseAt(half, e.reading.timing);
        const double own = FitMorse(half, e.reading.text, e.reading.timing).score;
        record.halfScore[parity] = own;
        if (r.text == e.reading.text) {
            ++spelled;
        } else {
            record.halfLead[parity] = std::max(0.0, FitMorse(half, r.text, r.timing).score - own);
            agree &= record.halfLead[parity] < MostHalfLead(own);
        }
    }
    // Near the acceptance score two halves that both lean to neighbours of the text (OHM read
    // as OIEN while each half reads something else) confirm none of them: there a neighbour
    // beats the true text in the whole by the margin often enough. Further from the noise the
    // neighbours' fits fall behind the true text's, and the halves, each with half the
    // evidence, still lean to one or another of them about every other time.
    record.halvesAgree = agree && (spelled > 0 || record.score >= kSpelledBelowScore);
    return record.halvesAgree && record.halfScore[0] >= kHalfScore && record.halfScore[1] >= kHalfScore;
}

// The tone between the detector's lines: the frequency at which the lines' response to a
// steady tone best matches the key-down amplitudes of the lines around the ident's.
double SensitiveSearch::MeasureTone(int line, const Examined& e) {
    const int first = std::max(0, line - 2);
    const int last = std::min(rows_.Lines() - 1, line + 2);
    std::vector<double> amplitude, hz;
    std::vector<double> series;
    for (int l = first; l <= last; ++l) {
        const LineState& s = state_[static_cast<size_t>(l)];
        if (!s.usable) continue;
        lines_.Series(l, series);
        const FoldedTrace t = Fold(series, s.noisePerRow, e.period, -1);
        const MorseFit f = FitMorse(t, e.reading.text, e.reading.timing);
        amplitude.push_back(std::max(0.0, f.amplitude) * lines_.MeanLevel(l));
        hz.push_back(rows_.LineHz(l));
    }
    const double centre = rows_.LineHz(line);
    const double spacing = rows_.Lines() > 1 ? (rows_.LineHz(rows_.Lines() - 1) - rows_.LineHz(0)) / (rows_.Lines() - 1) : 1.0;
    double best = centre, bestFit = -1.0;
    for (double f = centre - 1.5 * spacing; f <= centre + 1.5 * spacing; f += spacing / 64.0) {
        double ag = 0.0, gg = 0.0;
        for (size_t i = 0; i < hz.size(); ++i) {
            const double g = rows_.Response().PowerGain(hz[i] - f, rows_.RowRate());
            ag += amplitude[i] * g;
            gg += g * g;
        }
        const double fit = gg > 0.0 ? ag * ag / gg : 0.0;
        if (fit > bestFit) {
            bestFit = fit;
            best = f;
        }
    }
    return best;
}

// The parts of the recording in which the ident is heard on its own: folds of parts of at
// least ten periods, each fitted with the whole's text and timing.
// The reading's text at its timing fitted in each part of the recording (at least ten
// periods each, at most kWhereParts parts), with all rows alike.
std::vector<SensitiveSearch::PartFit> SensitiveSearch::FitParts(const Examined& e) const {
    const int rows = rows_.Rows();
    const int least = static_cast<int>(std::ceil(kLeastPartPeriods * e.period * rows_.RowRate()));
    const int parts = std::clamp(rows / std::max(1, least), 1, kWhereParts);
    const int length = rows / parts;
    std::vector<PartFit> fits;
    for (int p = 0; p < parts; ++p) {
        const int from = p * length;
        const int to = p == parts - 1 ? rows : from + length;
        fits.push_back({from, to, FitMorse(Fold(e.series, e.noisePerRow, e.period, -1, from, to), e.reading.text,
                                           e.reading.timing)});
    }
    return fits;
}

void SensitiveSearch::WhereHeard(const Examined& e, SensitiveDetection& d) const {
    const int rows = rows_.Rows();
    const double R = rows_.RowRate();
    double strongest = -1e300;
    bool heard = false;
    for (const PartFit& part : FitParts(e)) {
        const double score = part.fit.score;
        if (score > strongest) {
            strongest = score;
            d.strongestSeconds = (part.from + part.to) / 2.0 / R;
        }
        if (score >= kHeardScore) {
            if (!heard) d.firstSeconds = part.from / R;
            d.lastSeconds = part.to / R;
            heard = true;
        }
    }
    if (!heard) {
        // Too weak to be heard in any part alone: the whole recording holds it.
        d.firstSeconds = 0.0;
        d.lastSeconds = rows / R;
    }
}

void SensitiveSearch::Describe(int line, const Examined& e, double keyingScore, SensitiveDetection& d) {
    const double R = rows_.RowRate();
    d.detectorLine = line;
    d.period = e.period;
    d.ident = e.reading.text;
    d.runnerUp = e.reading.runnerUp;
    d.score = e.reading.fit.score;
    d.margin = e.reading.margin;
    d.keyingScore = keyingScore;
    d.wpm = WpmOfTiming(R, KeyingTiming{e.reading.timing.unit, 0.0});
    d.unitSeconds = e.reading.timing.unit / R;
    d.toneHz = MeasureTone(line, e);
    d.line = storedLine_.empty() ? -1 : storedLine_[static_cast<size_t>(line)];
    WhereHeard(e, d);
}

// A period already looked at nearby: what is left of it after its removal must not be
// reported again, nor its key clicks on the lines around.
bool SensitiveSearch::SeenBefore(double hz, double period) const {
    const double tolerance = std::max(3.0 * period * period / seconds_, 0.002 * period);
    for (const Head& h : heads_)
        if (std::fabs(h.hz - hz) <= kNeighbourHz && std::fabs(h.period - period) <= tolerance) return true;
    return false;
}

// The share of a beacon's keying power that reaches a line apartHz from its own: through the
// rows' window (the most over where in its line the tone may lie), or by the splatter of its
// key edges. A beacon at twice another's period holds half its keying in a fold at the other's,
// so the other's is taken out only where it can be.
double SensitiveSearch::LeakInto(double apartHz) const {
    if (apartHz > kNeighbourHz) return 0.0;
    if (apartHz < 1e-6) return 1.0;
    const double spacing = rows_.Lines() > 1 ? rows_.LineHz(1) - rows_.LineHz(0) : 0.0;
    double leak = 0.0;
    for (int k = -2; k <= 2; ++k)
        leak = std::max(leak, rows_.Response().PowerGain(apartHz + k * spacing / 4.0, rows_.RowRate()));
    const double click = 1.0 / (M_PI * apartHz * kClickUnitSeconds);
    return std::min(1.0, std::max(leak, click * click));
}

void SensitiveSearch::TakeOut(double hz, double period, double spareAbove) {
    for (size_t l = 0; l < state_.size(); ++l) {
        LineState& s = state_[l];
        if (!s.usable || std::fabs(rows_.LineHz(static_cast<int>(l)) - hz) > kNeighbourHz) continue;
        if (KeyingScore(s.spectrum, 1.0 / period, kTopHz) > spareAbove) continue;
        s.spectrum.Notch(1.0 / period, kTopHz, kNotchBins);
        for (PeriodPeak& p : s.peaks) p.score = KeyingScore(s.spectrum, p.f0, kTopHz);
    }
}

std::vector<SensitiveDetection> SensitiveSearch::Run() {
    std::vector<SensitiveDetection> found;
    if (!Prepare()) return found;
    for (int round = 0; round < kMostRounds; ++round) {
        int line = -1;
        size_t peak = 0;
        if (!Strongest(line, peak)) break;
        LineState& s = state_[static_cast<size_t>(line)];
        const double keyingScore = s.peaks[peak].score;
        const double original = s.peaks[peak].f0;
        const double f0 = TruePeriodFrequency(s.spectrum, original);
        const double hz = rows_.LineHz(line);
        double period = 1.0 / f0;
        s.peaks[peak].f0 = 0.0;  // read once
        Examined e;
        CandidateRecord record;
        record.hz = hz;
        record.period = period;
        record.keyingScore = keyingScore;
        bool read = false;
        if (period >= periodMin_ && period <= periodMax_ && !SeenBefore(hz, period) && Examine(line, period, e, record)) {
            read = true;
            period = e.period;
            record.period = period;
            bool accepted = Judge(e, record);
            if (!accepted && !e.weights.empty()) {
                // The weighted fold leans on the parts where the beacon is strong, where its own
                // power adds to the noise of the key-downs; the plain fold still decides alone.
                e.weights.clear();
                e.reading = e.plainReading;
                accepted = Judge(e, record);
            }
            if (accepted && period >= periodMin_ && period <= periodMax_) {
                SensitiveDetection d;
                Describe(line, e, keyingScore, d);
                found.push_back(d);
                record.accepted = true;
            }
        }
        if (settings_.observer) settings_.observer(record);
        if (read) {
            // Whatever the verdict, the lines around carry no more of this period's keying:
            // what leaks from it and clicks around it would only be read again. A reading
            // that failed spares the lines where the keying stands further out of their own
            // noise than here: a strong carrier's line holds a trace of a weak ident's keying
            // beside it with more power than the ident's own line, and far less clearly.
            if (record.accepted) {
                // Its keying as read, to be taken out of the lines around only where it is
                // there: a beacon at twice its period holds half its keying in a fold at it.
                Head head{hz, period, e.reading.fit.score, {}};
                RenderMorse(e.reading.text, e.reading.timing, &rows_.Response(), FoldLength(rows_.RowRate(), period),
                            head.shape);
                heads_.push_back(std::move(head));
            }
            TakeOut(hz, period, record.accepted ? std::numeric_limits<double>::infinity() : keyingScore + kSpareMargin);
        }
        // The candidate's own line carries none of it either, as found or as corrected.
        for (double f : {original, f0, 1.0 / period}) s.spectrum.Notch(f, kTopHz, kNotchBins);
        for (PeriodPeak& p : s.peaks)
            if (p.f0 > 0.0) p.score = KeyingScore(s.spectrum, p.f0, kTopHz);
    }
    std::sort(found.begin(), found.end(), [](const SensitiveDetection& a, const SensitiveDetection& b) {
        return a.line != b.line ? a.line < b.line : a.period < b.period;
    });
    return found;
}

}  // namespace

std::vector<SensitiveDetection> SearchDetectorRows(const DetectorRows& rows, const std::vector<int>& storedLine,
                                                   const SensitiveSearchSettings& settings) {
    SensitiveSearch search(rows, storedLine, settings);
    return search.Run();
}

void CopyStoredRows(const SensitiveSearchInput& in, DetectorRows& rows, std::vector<int>& storedLine) {
    storedLine.clear();
    const int first = std::max(0, in.firstLine);
    const int last = std::min(kLines - 1, in.lastLine);
    RowResponse response;
    response.SetRectangular(in.windowRows > 0.0 ? in.windowRows : 1.0);
    std::vector<double> hz;
    for (int l = first; l <= last; ++l) {
        hz.push_back(in.centreHz + (l - 63) * in.lineHz);
        storedLine.push_back(l);
    }
    rows.Reset(in.rowRate, hz, response);
    const SearchedLineRows* given = in.lineRows;
    if (given && (!given->values || given->column.size() < static_cast<size_t>(last - first + 1) || in.floorFromLines))
        return;
    if ((!in.power && !given) || first > last) return;
    // The floor from the lines around the searched ones too, never below what the 8-bit
    // samples' rounding leaves in a stored line (sums of D samples of 1/12 count squared, times
    // 0.7 squared, over 128).
    const double decimation = in.lineHz > 0.0 ? 48000.0 / (128.0 * in.lineHz) : 1.0;
    const double rounding = 0.49 * decimation / 12.0 / 128.0 * 0.6931471805599453;
    const int floorFirst = std::max(0, first - 8);
    const int floorLast = std::min(kLines - 1, last + 8);
    std::vector<float> row(static_cast<size_t>(last - first + 1));
    std::vector<double> around(static_cast<size_t>(floorLast - floorFirst + 1));
    for (int j = 0; j < in.rows; ++j) {
        if (given) {
            const float* values = given->values + static_cast<size_t>(j) * given->rowStride;
            for (int l = first; l <= last; ++l) row[static_cast<size_t>(l - first)] = values[given->column[static_cast<size_t>(l - first)]];
            rows.Append(row.data(), static_cast<float>(rounding));
            continue;
        }
        for (int l = first; l <= last; ++l) row[static_cast<size_t>(l - first)] = static_cast<float>(in.power[j][l]);
        if (!in.floorFromLines) {
            rows.Append(row.data(), static_cast<float>(rounding));
            continue;
        }
        for (int l = floorFirst; l <= floorLast; ++l) around[static_cast<size_t>(l - floorFirst)] = in.power[j][l];
        const size_t mid = around.size() / 2;
        std::nth_element(around.begin(), around.begin() + static_cast<long>(mid), around.end());
        rows.Append(row.data(), static_cast<float>(std::max(around[mid], rounding)));
    }
}

std::vector<SensitiveDetection> RunSensitiveSearch(const SensitiveSearchInput& input) {
    if ((!input.power && !input.lineRows) || input.rows < 16) return {};
    DetectorRows rows;
    std::vector<int> storedLine;
    CopyStoredRows(input, rows, storedLine);
    SensitiveSearchSettings settings;
    settings.periodMin = input.periodMin;
    settings.periodMax = input.periodMax;
    settings.manualWpm = input.manualWpm;
    settings.longestPeriod = (kPhaseBins - 1.5) / input.rowRate;
    return SearchDetectorRows(rows, storedLine, settings);
}

bool AcceptableReading(const MorseReading& r) {
    const bool explained = (r.silence < kMostSilence || r.silenceShare < kMostSilenceShare) && r.misfit < kMostMisfit &&
                           r.residualRms < kMostResidualRms + kResidualRmsPerScore * r.fit.score;
    return !r.text.empty() && r.fit.score >= kAcceptScore && r.margin >= kAcceptMargin && explained;
}

double AcceptScoreFor(double seconds) {
    constexpr double kCalibratedMinutes = 35.0;
    constexpr double kPerInverseRootMinute = 18.0;
    const double minutes = seconds / 60.0;
    if (!(minutes > 0.0)) return std::numeric_limits<double>::infinity();
    if (minutes >= kCalibratedMinutes) return kAcceptScore;
    const double shortfall = 1.0 / std::sqrt(minutes) - 1.0 / std::sqrt(kCalibratedMinutes);
    return kAcceptScore + kPerInverseRootMinute * shortfall;
}

double MostHalfLead(double halfScore) {
    return kMostHalfLead + kMostHalfLeadPerDeviation * std::max(0.0, halfScore - kAcceptScore);
}

double MiddleTrialPeriod(double period) {
    const double low = period - kSensitiveHalfRange;
    const double high = period + kSensitiveHalfRange;
    return low + (high - low) * (256 * 0.001953125);
}

}  // namespace sorv
