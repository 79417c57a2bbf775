#include "analysis/morse_reader.h"

#include <algorithm>
#include <array>
#include <initializer_list>
#include <string>
#include <cmath>
#include <limits>

#include "analysis/rank_value.h"
#include "analysis/sensitive_decoding.h"

namespace sorv {

namespace {

constexpr int kSymbols = 36;
constexpr int kMostLetters = 4;
constexpr double kShortestIdentGap = 5.0;  // units of silence between repetitions, at least
constexpr double kCoarseUnitStep = 0.04;   // relative, first pass
constexpr double kCoarseStartStep = 1.0;   // rows
constexpr double kFineUnitStep = 0.01;     // relative, second pass around the best
constexpr double kFineSpan = 0.03;
constexpr double kFineStartReach = 1.0;  // rows either side of the refined start
constexpr double kStartStep = 0.5;         // rows
constexpr int kSubSamples = 4;             // per bin, for the template
constexpr size_t kKept = 24;               // texts kept from the programme
constexpr size_t kRefined = 6;             // of which fitted exactly
constexpr size_t kSecondPassTexts = 3;     // whose speeds the second pass looks at
// How far a transmitter's key-downs may be off their units (the rows' own smearing is in the
// model already). Beyond these a text of a longer unit could pass for one of a shorter (a
// shortened dash and a short gap, M, for T T).
constexpr double kMostDotShortening = 0.2, kMostDotLengthening = 0.2;
constexpr double kMostDashShortening = 0.5, kMostDashLengthening = 1.0;
// A residual over a unit counts as the text's misfit only where it stands this far out of the
// noise (deviations). Its worst over every start in the trace is looked for, and over a unit
// the rows' noise is a little more than a long fold's: at 4 the noise alone reached it in
// about every other trace and refused a third of the idents read at 20 to 55 deviations, and
// at 5 still some. A shape the text does not fit at all is caught by the residual over all
// the units instead (residualRms).
constexpr double kSignificantMisfit = 6.0;

// Dots and dashes of A..Z, 0..9.
const char* const kCodes[kSymbols] = {
    ".-",   "-...", "-.-.", "-..",  ".",    "..-.", "--.",  "....", "..",   ".---", "-.-",  ".-..",
    "--",   "-.",   "---",  ".--.", "--.-", ".-.",  "...",  "-",    "..-",  "...-", ".--",  "-..-",
    "-.--", "--..", "-----", ".----", "..---", "...--", "....-", ".....", "-....", "--...", "---..", "----."};

char SymbolChar(int s) { return static_cast<char>(s < 26 ? 'A' + s : '0' + (s - 26)); }

int SymbolOf(char c) {
    if (c >= 'A' && c <= 'Z') return c - 'A';
    if (c >= 'a' && c <= 'z') return c - 'a';
    if (c >= '0' && c <= '9') return 26 + (c - '0');
    return -1;
}

struct Symbol {
    int elements = 0;
    std::array<int, 5> length{};  // 1 or 3 units
    std::array<int, 5> offset{};  // units from the letter's start
    int units = 0;                // first key-down to last key-up
};

const std::array<Symbol, kSymbols>& Symbols() {
    static const std::array<Symbol, kSymbols> table = [] {
        std::array<Symbol, kSymbols> t{};
        for (int s = 0; s < kSymbols; ++s) {
            Symbol& y = t[static_cast<size_t>(s)];
            int at = 0;
            for (const char* p = kCodes[s]; *p; ++p) {
                const int len = *p == '-' ? 3 : 1;
                y.length[static_cast<size_t>(y.elements)] = len;
                y.offset[static_cast<size_t>(y.elements)] = at;
                ++y.elements;
                at += len + 1;
            }
            y.units = at - 1;
        }
        return t;
    }();
    return table;
}

// Texts as up to four symbols of six bits each (symbol + 1, first letter lowest).
using TextCode = uint32_t;

std::string TextOf(TextCode code) {
    std::string s;
    for (; code; code >>= 6) s += SymbolChar(static_cast<int>(code & 63u) - 1);
    return s;
}

TextCode Append(TextCode code, int letters, int symbol) {
    return code | (static_cast<TextCode>(symbol + 1) << (6 * letters));
}

// The weighted noise-free-model fit of a rendered template.
MorseFit Fit(const FoldedTrace& trace, const std::vector<double>& t) {
    MorseFit fit;
    const int n = trace.Length();
    double w = 0.0, st = 0.0, sy = 0.0;
    for (int i = 0; i < n; ++i) {
        const double c = trace.count[static_cast<size_t>(i)];
        w += c;
        st += c * t[static_cast<size_t>(i)];
        sy += c * trace.value[static_cast<size_t>(i)];
    }
    if (!(w > 0.0)) return fit;
    const double mt = st / w, my = sy / w;
    double stt = 0.0, sty = 0.0;
    for (int i = 0; i < n; ++i) {
        const double c = trace.count[static_cast<size_t>(i)];
        const double dt = t[static_cast<size_t>(i)] - mt;
        stt += c * dt * dt;
        sty += c * dt * (trace.value[static_cast<size_t>(i)] - my);
    }
    if (!(stt > 1e-12) || !(trace.rowNoise > 0.0)) return fit;
    fit.amplitude = sty / stt;
    fit.level = my - fit.amplitude * mt;
    fit.score = sty / (trace.rowNoise * std::sqrt(stt));
    return fit;
}

// Cumulative sums of c (y - threshold) over the trace three times over, for the programme.
class TraceSums {
public:
    void Set(const FoldedTrace& trace, double threshold) {
        const int n = trace.Length();
        n_ = n;
        gain_.resize(static_cast<size_t>(3 * n));
        prefix_.resize(static_cast<size_t>(3 * n) + 1);
        prefix_[0] = 0.0;
        for (int i = 0; i < 3 * n; ++i) {
            const size_t k = static_cast<size_t>(i % n);
            gain_[static_cast<size_t>(i)] = trace.count[k] * (trace.value[k] - threshold);
            prefix_[static_cast<size_t>(i) + 1] = prefix_[static_cast<size_t>(i)] + gain_[static_cast<size_t>(i)];
        }
    }
    // The integral from -0.5 to x (bin i spans i - 0.5 .. i + 0.5).
    double At(double x) const {
        const double p = x + 0.5;
        if (!(p > 0.0)) return 0.0;
        const double top = 3.0 * n_;
        if (p >= top) return prefix_.back();
        const size_t i = static_cast<size_t>(p);
        return prefix_[i] + (p - static_cast<double>(i)) * gain_[i];
    }
    int Length() const { return n_; }

private:
    int n_ = 0;
    std::vector<double> gain_, prefix_;
};

struct Candidate {
    TextCode text = 0;
    double score = -1e300;  // the programme's, or the fit's
    MorseTiming timing;
    MorseFit fit;
};

// Keeps the best entry of each text, at most `most` texts.
void Keep(std::vector<Candidate>& list, const Candidate& c, size_t most) {
    for (Candidate& k : list) {
        if (k.text != c.text) continue;
        if (c.score > k.score) k = c;
        return;
    }
    if (list.size() < most) {
        list.push_back(c);
        return;
    }
    auto worst = std::min_element(list.begin(), list.end(),
                                  [](const Candidate& a, const Candidate& b) { return a.score < b.score; });
    if (c.score > worst->score) *worst = c;
}

// The best texts found so far, with a quick refusal of those below all of them.
class KeptTexts {
public:
    void Clear() {
        list_.clear();
        floor_ = -1e300;
    }
    bool Full() const { return list_.size() >= kKept; }
    // The lowest kept score, once full.
    double Floor() const { return floor_; }
    void Offer(const Candidate& c) {
        Keep(list_, c, kKept);
        if (list_.size() == kKept) {
            floor_ = 1e300;
            for (const Candidate& k : list_) floor_ = std::min(floor_, k.score);
        }
    }
    std::vector<Candidate>& List() { return list_; }

private:
    std::vector<Candidate> list_;
    double floor_ = -1e300;
};

// The symbols of at most L units from first key-down to last key-up, for each L, in table
// order (the order in which the programme offers them decides between texts of equal score).
// A letter that would run past the programme's end or the text's longest is never looked at.
constexpr int kLongestSymbol = 19;  // units of the longest code, "-----"

struct SymbolsWithin {
    std::array<std::array<uint8_t, kSymbols>, kLongestSymbol + 1> list{};
    std::array<int, kLongestSymbol + 1> count{};
};

const SymbolsWithin& SymbolsWithinUnits() {
    static const SymbolsWithin table = [] {
        SymbolsWithin t;
        for (int limit = 0; limit <= kLongestSymbol; ++limit)
            for (int s = 0; s < kSymbols; ++s)
                if (Symbols()[static_cast<size_t>(s)].units <= limit)
                    t.list[static_cast<size_t>(limit)][static_cast<size_t>(t.count[static_cast<size_t>(limit)]++)] =
                        static_cast<uint8_t>(s);
        return t;
    }();
    return table;
}

// The dynamic programme over the letters for one unit and one grid of starts.
class LetterProgramme {
public:
    // Every text of 1 to 4 letters whose first key-down starts at t0 + s x unit (s = 0, 1, ...,
    // within the trace, or only s = 0 when fixedStart), with its score: the sum of the trace
    // above the threshold over its key-downs.
    void Run(const TraceSums& sums, double unit, double t0, bool fixedStart, KeptTexts& kept) {
        const int n = sums.Length();
        const double circle = n / unit;                       // units around the trace
        const double longest = circle - kShortestIdentGap;    // a text's units at most
        if (!(longest >= 1.0)) return;
        const int starts = fixedStart ? 1 : std::max(1, static_cast<int>(std::ceil((n - t0) / unit - 1e-9)));
        const int span = starts + static_cast<int>(std::ceil(longest)) + 4;
        const int units = std::min(span + 8, static_cast<int>(3.0 * n / unit) - 4);
        if (units <= starts) return;
        ScoreLetters(sums, unit, t0, units);
        // cells[k][p]: the two best texts of k letters whose next letter would start at unit p.
        const size_t cellsPerLayer = static_cast<size_t>(units) + 1;
        cells_.assign(static_cast<size_t>(kMostLetters) * cellsPerLayer * 2, Entry{});
        auto cell = [&](int k, int p) { return &cells_[(static_cast<size_t>(k) * cellsPerLayer + static_cast<size_t>(p)) * 2]; };
        for (int s = 0; s < starts; ++s) {
            Entry* c = cell(0, s);
            c[0] = Entry{0.0, s, 0, 0, true};
        }
        const SymbolsWithin& within = SymbolsWithinUnits();
        // A text's end may lie at most this many units after its start (end - start is whole).
        const double reach = std::floor(longest);
        bool full = kept.Full();
        double floor = kept.Floor();
        const std::array<Symbol, kSymbols>& symbols = Symbols();
        for (int k = 0; k < kMostLetters; ++k) {
            const bool last = k + 1 == kMostLetters;
            for (int p = 0; p < units; ++p) {
                const Entry* here = cell(k, p);
                // Letters that leave room for the gap and another letter go on to the next layer.
                const int carried = units - p - 4;
                for (int e = 0; e < 2; ++e) {
                    const Entry& from = here[e];
                    if (!from.used) continue;
                    const double room = std::min(static_cast<double>(units - p), reach + static_cast<double>(from.start - p));
                    if (!(room >= 1.0)) continue;
                    // The last letter is only offered: when even the best letter here cannot
                    // lift this text above the kept ones, none can.
                    if (last && full && !(from.score + bestLetter_[static_cast<size_t>(p)] > floor)) continue;
                    if (k > 0 && full && bounded_ && !Promising(from.score, p, kMostLetters - k, floor)) continue;
                    const int limit = room >= kLongestSymbol ? kLongestSymbol : static_cast<int>(room);
                    const uint8_t* list = within.list[static_cast<size_t>(limit)].data();
                    const int count = within.count[static_cast<size_t>(limit)];
                    const uint32_t idle = full ? IdleLengths(from.score, p, k, carried, floor) : 0u;
                    for (int i = 0; i < count; ++i) {
                        const int s = list[i];
                        const Symbol& symbol = symbols[static_cast<size_t>(s)];
                        const int length = symbol.units;
                        if (idle >> (length / 2) & 1u) continue;
                        const double v = from.score + letterAt_[static_cast<size_t>(s)][p];
                        const int elements = from.elements + symbol.elements;
                        const TextCode text = Append(from.text, k, s);
                        if (elements >= 2 && (!full || v > floor)) {
                            Candidate c;
                            c.text = text;
                            c.score = v;
                            c.timing.unit = unit;
                            c.timing.start = std::fmod(t0 + from.start * unit, static_cast<double>(n));
                            kept.Offer(c);
                            full = kept.Full();
                            floor = kept.Floor();
                        }
                        if (last || length > carried) continue;
                        const int q = p + length + 3;
                        if (full && bounded_ && !Promising(v, q, kMostLetters - k - 1, floor)) continue;
                        Insert(cell(k + 1, q), Entry{v, from.start, text, elements, true});
                    }
                }
            }
        }
    }

private:
    struct Entry {
        double score = 0.0;
        int start = 0;
        TextCode text = 0;
        int elements = 0;
        bool used = false;
    };
    // Whether a text of this score whose next letter starts at unit p could, with 1 to
    // `letters` more letters, score above the lowest kept text. Only for scores free of
    // overflow (bounded_); slack_ covers the rounding of the sums far over.
    //
    // Passing over texts that cannot changes no text that is kept, nor the order in which they
    // are offered: the kept list fills with the same texts in the same order, and a cell's two
    // best texts that can still reach the list are the same ones (any text that can outscores
    // every text that cannot), so what each cell passes on that can reach it is the same too.
    // The lowest kept score only rises, so a text that cannot reach it now never will.
    bool Promising(double score, int p, int letters, double floor) const {
        return score + followers_[static_cast<size_t>(letters - 1)][static_cast<size_t>(p)] + slack_ > floor;
    }

    // The letter lengths (bit units / 2) of which no letter can do anything after a text of
    // this score at unit p, once the kept list is full: the best letter of the length neither
    // lifts the text above the lowest kept one nor, with its gap, leaves it a promising start
    // for the next layer. Sums round monotonically, so what holds for the best letter holds
    // for every letter of its length; and the lowest kept score only rises, so a length idle
    // now stays idle for the rest of this text's letters. Passing them over therefore offers
    // and carries on the same texts in the same order.
    uint32_t IdleLengths(double score, int p, int k, int carried, double floor) const {
        constexpr int kLengths = (kLongestSymbol + 1) / 2;
        const size_t length = bestLetter_.size();
        const bool last = k + 1 == kMostLetters;
        uint32_t idle = 0;
        for (int g = 0; g < kLengths; ++g) {
            const double best = score + bestOfLength_[static_cast<size_t>(g) * length + static_cast<size_t>(p)];
            if (best > floor) continue;
            const int units = 2 * g + 1;
            const bool carriedOn = !last && units <= carried &&
                                   (!bounded_ || Promising(best, p + units + 3, kMostLetters - k - 1, floor));
            if (!carriedOn) idle |= 1u << g;
        }
        return idle;
    }

    static void Insert(Entry* c, const Entry& e) {
        if (!c[0].used || e.score > c[0].score) {
            if (c[0].used && c[0].text != e.text) c[1] = c[0];
            c[0] = e;
        } else if (c[0].text != e.text && (!c[1].used || e.score > c[1].score)) {
            c[1] = e;
        }
    }

    // Each letter's score at each unit it fits from (the sum over its key-downs, in element
    // order), and the best of them at each unit. Codes that begin alike share the sum over
    // their common beginning: each prefix of a code adds its last element to its own prefix's
    // sum, so every letter's sum is the one element by element, in the same order.
    void ScoreLetters(const TraceSums& sums, double unit, double t0, int units) {
        const CodePrefixes& prefixes = Prefixes();
        const size_t length = static_cast<size_t>(units);
        dot_.resize(length);
        dash_.resize(length);
        for (int m = 0; m < units; ++m) {
            const double at = t0 + m * unit;
            const double base = sums.At(at);
            dot_[static_cast<size_t>(m)] = sums.At(at + unit) - base;
            dash_[static_cast<size_t>(m)] = sums.At(at + 3.0 * unit) - base;
        }
        // prefixSums_[i * units + m]: prefix i's sum from unit m, where it fits.
        prefixSums_.resize(static_cast<size_t>(prefixes.count) * length);
        for (int i = 0; i < prefixes.count; ++i) {
            const CodePrefixes::Prefix& x = prefixes.prefix[static_cast<size_t>(i)];
            double* sum = &prefixSums_[static_cast<size_t>(i) * length];
            const double* element = (x.dash ? dash_ : dot_).data() + x.offset;
            const int fits = units - x.units;  // from units 0 .. fits
            if (x.parent < 0) {
                for (int m = 0; m <= fits; ++m) sum[m] = 0.0 + element[m];
            } else {
                const double* before = &prefixSums_[static_cast<size_t>(x.parent) * length];
                for (int m = 0; m <= fits; ++m) sum[m] = before[m] + element[m];
            }
        }
        constexpr double kNone = -std::numeric_limits<double>::infinity();
        // The best letter of each length at each unit (codes are 1, 3, .. 19 units long), and
        // the best of all.
        constexpr int kLengths = (kLongestSymbol + 1) / 2;
        bestOfLength_.assign(static_cast<size_t>(kLengths) * length, kNone);
        for (int s = 0; s < kSymbols; ++s) {
            const int units_s = Symbols()[static_cast<size_t>(s)].units;
            letterAt_[static_cast<size_t>(s)] = &prefixSums_[static_cast<size_t>(prefixes.ofSymbol[static_cast<size_t>(s)]) * length];
            double* best = &bestOfLength_[static_cast<size_t>(units_s / 2) * length];
            const double* letter = letterAt_[static_cast<size_t>(s)];
            // Written as a selection, not a branch, so that it runs several units at a time;
            // what it keeps is the same.
            for (int m = 0; m <= units - units_s; ++m) best[m] = letter[m] > best[m] ? letter[m] : best[m];
        }
        bestLetter_.assign(length, kNone);
        double* bestLetter = bestLetter_.data();
        for (int g = 0; g < kLengths; ++g) {
            const double* best = &bestOfLength_[static_cast<size_t>(g) * length];
            for (int m = 0; m < units; ++m) bestLetter[m] = best[m] > bestLetter[m] ? best[m] : bestLetter[m];
        }
        // Sums of at most four letters of at most five elements of these cannot overflow.
        bounded_ = true;
        double largest = 0.0;
        for (int m = 0; m < units; ++m) {
            const double a = std::fabs(dot_[static_cast<size_t>(m)]), b = std::fabs(dash_[static_cast<size_t>(m)]);
            bounded_ = bounded_ && a <= 1e290 && b <= 1e290;
            largest = std::max({largest, a, b});
        }
        if (!bounded_) return;
        // No score of this programme is beyond four letters of five elements of the largest.
        slack_ = 1e-9 * largest;
        // followers[r-1][m]: the best 1 to r letters from unit m on (the first starting at m).
        followers_[0] = bestLetter_;
        for (int r = 1; r < kFollowed; ++r) {
            std::vector<double>& now = followers_[static_cast<size_t>(r)];
            const std::vector<double>& after = followers_[static_cast<size_t>(r - 1)];
            now.assign(length, kNone);
            for (int g = 0; g < kLengths; ++g) {
                const int units_g = 2 * g + 1;
                const double* best = &bestOfLength_[static_cast<size_t>(g) * length];
                double* to = now.data();
                const double* next = after.data() + units_g + 3;  // next[m]: after the letter and its gap
                // Units whose letter leaves room for another, then those that end the text.
                const int followed = units - units_g - 4;
                int m = 0;
                for (; m <= followed; ++m) {
                    const double v = best[m] + std::max(0.0, next[m]);
                    to[m] = to[m] < v ? v : to[m];
                }
                for (; m <= units - units_g; ++m) {
                    const double v = best[m] + 0.0;
                    to[m] = to[m] < v ? v : to[m];
                }
            }
        }
    }

    // Every beginning of every code, each after its own beginning.
    struct CodePrefixes {
        static constexpr int kMost = 64;
        struct Prefix {
            int parent = -1;  // the prefix one element shorter; -1: none
            int offset = 0;   // units from the letter's start to the last element
            bool dash = false;
            int units = 0;    // to the last element's end
        };
        std::array<Prefix, kMost> prefix{};
        int count = 0;
        std::array<int, kSymbols> ofSymbol{};
    };
    static const CodePrefixes& Prefixes() {
        static const CodePrefixes table = [] {
            CodePrefixes t;
            std::array<std::string, CodePrefixes::kMost> code;
            for (int s = 0; s < kSymbols; ++s) {
                int parent = -1;
                std::string c;
                const Symbol& y = Symbols()[static_cast<size_t>(s)];
                for (int e = 0; e < y.elements; ++e) {
                    c += kCodes[s][e];
                    int found = -1;
                    for (int i = 0; i < t.count; ++i)
                        if (code[static_cast<size_t>(i)] == c) found = i;
                    if (found < 0) {
                        found = t.count++;
                        code[static_cast<size_t>(found)] = c;
                        CodePrefixes::Prefix& x = t.prefix[static_cast<size_t>(found)];
                        x.parent = parent;
                        x.offset = y.offset[static_cast<size_t>(e)];
                        x.dash = y.length[static_cast<size_t>(e)] == 3;
                        x.units = x.offset + y.length[static_cast<size_t>(e)];
                    }
                    parent = found;
                }
                t.ofSymbol[static_cast<size_t>(s)] = parent;
            }
            return t;
        }();
        return table;
    }

    std::vector<double> dot_, dash_, prefixSums_, bestLetter_, bestOfLength_;
    std::array<const double*, kSymbols> letterAt_{};  // each symbol's row of prefixSums_
    static constexpr int kFollowed = kMostLetters - 1;  // letters after the first, at most
    std::array<std::vector<double>, kFollowed> followers_;
    double slack_ = 0.0;
    bool bounded_ = false;
    std::vector<Entry> cells_;
};

// The best sequence of key-downs of one or three units, with gaps of one or three units, at
// one unit and one grid of starts: a letter-free relative of LetterProgramme. Every text is
// such a sequence, so no text fits the trace better than the best of them.
class ElementProgramme {
public:
    // The best sequence's key-down intervals (empty when none has two key-downs).
    double Run(const TraceSums& sums, double unit, double t0, std::vector<KeyInterval>& best) {
        const int n = sums.Length();
        const double longest = n / unit - kShortestIdentGap;
        best.clear();
        if (!(longest >= 1.0)) return -1e300;
        const int starts = std::max(1, static_cast<int>(std::ceil((n - t0) / unit - 1e-9)));
        const int units = std::min(starts + static_cast<int>(std::ceil(longest)) + 4, static_cast<int>(3.0 * n / unit) - 4);
        if (units <= starts) return -1e300;
        const size_t size = static_cast<size_t>(units) + 4;
        // free_[m]: a sequence may start a key-down at unit m; end_[m]: one ends a key-down at m.
        free_.assign(size, Cell{});
        end_.assign(size, Cell{});
        for (int m = 0; m < starts; ++m) free_[static_cast<size_t>(m)] = Cell{0.0, m, 0, -1, 0, true};
        double bestScore = -1e300;
        int bestEnd = -1;
        for (int m = 0; m < units; ++m) {
            const Cell& f = free_[static_cast<size_t>(m)];
            const double at = t0 + m * unit;
            if (f.used) {
                for (int len : {1, 3}) {
                    const int e = m + len;
                    if (e > units || e - f.start > longest) continue;
                    const double v = f.score + sums.At(at + len * unit) - sums.At(at);
                    Cell& c = end_[static_cast<size_t>(e)];
                    if (!c.used || v > c.score) c = Cell{v, f.start, std::min(2, f.elements + 1), m, len, true};
                }
            }
            const Cell& c = end_[static_cast<size_t>(m)];
            if (!c.used) continue;
            if (c.elements >= 2 && c.score > bestScore) {
                bestScore = c.score;
                bestEnd = m;
            }
            for (int gap : {1, 3}) {
                Cell& next = free_[static_cast<size_t>(m + gap)];
                if (!next.used || c.score > next.score) next = Cell{c.score, c.start, c.elements, m, -gap, true};
            }
        }
        if (bestEnd < 0) return -1e300;
        // Back through the key-downs.
        for (int m = bestEnd; m >= 0;) {
            const Cell& c = end_[static_cast<size_t>(m)];
            if (!c.used || c.from < 0) break;
            best.push_back({t0 + c.from * unit, t0 + m * unit});
            const Cell& before = free_[static_cast<size_t>(c.from)];
            if (before.from < 0) break;
            m = before.from;
        }
        std::reverse(best.begin(), best.end());
        return bestScore;
    }

private:
    struct Cell {
        double score = 0.0;
        int start = 0;
        int elements = 0;
        int from = -1;  // the unit this cell was reached from
        int length = 0;
        bool used = false;
    };
    std::vector<Cell> free_, end_;
};

// Two levels to start from: the split of the trace's values into two groups with the largest
// variance between them (however short the ident is against its period), and its midpoint.
double StartingThreshold(const FoldedTrace& trace) {
    std::vector<double> v(trace.value);
    std::sort(v.begin(), v.end());
    const size_t n = v.size();
    std::vector<double> prefix(n + 1, 0.0);
    for (size_t i = 0; i < n; ++i) prefix[i + 1] = prefix[i] + v[i];
    double best = -1.0;
    size_t cut = n / 2;
    for (size_t k = 1; k < n; ++k) {
        const double low = prefix[k] / static_cast<double>(k);
        const double high = (prefix[n] - prefix[k]) / static_cast<double>(n - k);
        const double between = static_cast<double>(k) * static_cast<double>(n - k) * (high - low) * (high - low);
        if (between > best) {
            best = between;
            cut = k;
        }
    }
    const double low = prefix[cut] / static_cast<double>(cut);
    const double high = (prefix[n] - prefix[cut]) / static_cast<double>(n - cut);
    return 0.5 * (low + high);
}

// Best start, unit and lengthenings for a text, from a timing near it, by steps that halve.
Candidate Refine(const FoldedTrace& trace, TextCode text, MorseTiming t, bool keepStartAndUnit) {
    const std::string s = TextOf(text);
    Candidate best;
    best.text = text;
    best.timing = t;
    best.fit = FitMorse(trace, s, t);
    best.score = best.fit.score;
    auto attempt = [&](MorseTiming trial) {
        const MorseFit f = FitMorse(trace, s, trial);
        if (f.score > best.score) {
            best.score = f.score;
            best.fit = f;
            best.timing = trial;
            return true;
        }
        return false;
    };
    double startStep = 0.5, unitStep = 0.01 * t.unit, extraStep = 0.25 * t.unit;
    for (int round = 0; round < 4; ++round) {
        for (int sweep = 0; sweep < 3; ++sweep) {
            bool moved = false;
            if (!keepStartAndUnit) {
                for (double d : {-startStep, startStep}) {
                    MorseTiming m = best.timing;
                    m.start += d;
                    moved |= attempt(m);
                }
                for (double d : {-unitStep, unitStep}) {
                    MorseTiming m = best.timing;
                    m.unit += d;
                    moved |= attempt(m);
                }
            }
            for (double d : {-extraStep, extraStep}) {
                MorseTiming m = best.timing;
                m.dotExtra = std::clamp(m.dotExtra + d, -kMostDotShortening * m.unit, kMostDotLengthening * m.unit);
                moved |= attempt(m);
                m = best.timing;
                m.dashExtra = std::clamp(m.dashExtra + d, -kMostDashShortening * m.unit, kMostDashLengthening * m.unit);
                moved |= attempt(m);
            }
            if (!moved) break;
        }
        startStep *= 0.5;
        unitStep *= 0.5;
        extraStep *= 0.5;
    }
    return best;
}

MorseReading Conclude(std::vector<Candidate>& refined) {
    MorseReading r;
    std::sort(refined.begin(), refined.end(), [](const Candidate& a, const Candidate& b) { return a.score > b.score; });
    if (refined.empty() || !(refined[0].score > 0.0)) return r;
    r.text = TextOf(refined[0].text);
    r.timing = refined[0].timing;
    r.fit = refined[0].fit;
    const double best = refined[0].score * refined[0].score;
    if (refined.size() > 1 && refined[1].score > 0.0) {
        r.runnerUp = TextOf(refined[1].text);
        r.margin = best - refined[1].score * refined[1].score;
    } else {
        r.margin = best;
    }
    return r;
}

void RefineKept(const FoldedTrace& trace, std::vector<Candidate>& kept, bool keepStartAndUnit,
                std::vector<Candidate>& refined) {
    std::sort(kept.begin(), kept.end(), [](const Candidate& a, const Candidate& b) { return a.score > b.score; });
    for (size_t i = 0; i < kept.size() && i < kRefined; ++i) {
        const Candidate c = Refine(trace, kept[i].text, kept[i].timing, keepStartAndUnit);
        Keep(refined, c, kKept);
    }
}

bool Usable(const FoldedTrace& trace) {
    const int n = trace.Length();
    if (n < 8 || trace.count.size() != trace.value.size() || !(trace.rowNoise > 0.0)) return false;
    for (int i = 0; i < n; ++i)
        if (!std::isfinite(trace.value[static_cast<size_t>(i)]) || !(trace.count[static_cast<size_t>(i)] >= 0.0))
            return false;
    return true;
}

}  // namespace

double MorseUnits(const std::string& text) {
    int units = 0, letters = 0;
    for (char c : text) {
        const int s = SymbolOf(c);
        if (s < 0) return 0.0;
        units += Symbols()[static_cast<size_t>(s)].units + (letters++ > 0 ? 3 : 0);
    }
    return units;
}

namespace {

// MorseIntervals into a vector the caller keeps; false for a text with a character that has
// no code.
bool MorseIntervalsInto(const std::string& text, const MorseTiming& timing, std::vector<KeyInterval>& out) {
    out.clear();
    double units = 0.0;
    const double u = timing.unit;
    for (char c : text) {
        const int s = SymbolOf(c);
        if (s < 0) return false;
        const Symbol& y = Symbols()[static_cast<size_t>(s)];
        for (int e = 0; e < y.elements; ++e) {
            const double on = timing.start + (units + y.offset[static_cast<size_t>(e)]) * u;
            const bool dot = y.length[static_cast<size_t>(e)] == 1;
            const double off = on + (dot ? u + timing.dotExtra : 3.0 * u + timing.dashExtra);
            out.push_back({on, std::max(on, off)});
        }
        units += y.units + 3;
    }
    return true;
}

// What the templates are built in, kept from one to the next: the reader renders hundreds of
// them for every fold it reads.
struct RenderScratch {
    std::vector<KeyInterval> keys;
    std::vector<double> amplitude;
    std::vector<double> trace;
};

RenderScratch& Scratch() {
    thread_local RenderScratch scratch;
    return scratch;
}

// Where a template's sub-sample k lies, in rows.
double SubSamplePosition(int k) { return (k + 0.5) / kSubSamples - 0.5; }

// The sub-samples m0 .. m1 of k0 .. k1 whose response window, `window` rows long and centred
// on them, lies wholly within the key-down from `on` to `off`, by the very comparisons the
// response makes (m0 > m1 when there are none). Both ends move monotonically with the
// sub-sample, so a guess from the key's times needs at most a step or two to settle.
void WhollyInside(double on, double off, double half, double window, int k0, int k1, int& m0, int& m1) {
    m0 = k1 + 1;
    m1 = k0 - 1;
    if (!std::isfinite(on) || !std::isfinite(off) || !(off - on >= window)) return;
    const auto started = [&](int k) { return !(on - SubSamplePosition(k) + half > 0.0); };
    const auto notEnded = [&](int k) { return off - SubSamplePosition(k) + half >= window; };
    const auto clampTo = [](double k, int lo, int hi) {
        return static_cast<int>(std::clamp(k, static_cast<double>(lo), static_cast<double>(hi)));
    };
    int first = clampTo(std::ceil((on + half + 0.5) * kSubSamples - 0.5), k0, k1 + 1);
    while (first > k0 && started(first - 1)) --first;
    while (first <= k1 && !started(first)) ++first;
    int last = clampTo(std::floor((off + half - window + 0.5) * kSubSamples - 0.5), k0 - 1, k1);
    while (last < k1 && notEnded(last + 1)) ++last;
    while (last >= k0 && !notEnded(last)) --last;
    m0 = first;
    m1 = last;
}

void RenderKeyingWith(const std::vector<KeyInterval>& keys, const RowResponse* response, int length,
                      std::vector<double>& amplitude, std::vector<double>& out) {
    out.assign(static_cast<size_t>(std::max(length, 0)), 0.0);
    if (length <= 0) return;
    const double window = response ? response->LengthRows() : 0.0;
    const double half = window / 2.0;
    const int subs = length * kSubSamples;
    amplitude.assign(static_cast<size_t>(subs), 0.0);
    double* a = amplitude.data();
    const bool smeared = response && window > 0.0;
    for (const KeyInterval& key : keys) {
        for (int wrap = -1; wrap <= 1; ++wrap) {
            const double on = key.on + wrap * length;
            const double off = key.off + wrap * length;
            // Rows whose window touches the key-down.
            const double from = on - half - 1.0, to = off + half + 1.0;
            // Most wrapped copies lie wholly outside the trace (no sub-sample from k0 to k1).
            if ((to + 0.5) * kSubSamples <= -1.0 || (from + 0.5) * kSubSamples >= subs) continue;
            const int k0 = std::max(0, static_cast<int>(std::floor((from + 0.5) * kSubSamples)));
            const int k1 = std::min(subs - 1, static_cast<int>(std::ceil((to + 0.5) * kSubSamples)));
            if (smeared) {
                const auto smear = [&](int k) {
                    const double tau = SubSamplePosition(k);
                    a[k] += response->Cumulative(off - tau + half) - response->Cumulative(on - tau + half);
                };
                // Sub-samples whose whole window lies inside the key-down take it whole: the
                // window's share is exactly 0 before its start and exactly 1 past its end.
                int m0, m1;
                WhollyInside(on, off, half, window, k0, k1, m0, m1);
                for (int k = k0; k < std::min(m0, k1 + 1); ++k) smear(k);
                for (int k = m0; k <= m1; ++k) a[k] += 1.0;
                for (int k = std::max(m0, m1 + 1); k <= k1; ++k) smear(k);
            } else {
                for (int k = k0; k <= k1; ++k) {
                    const double tau = SubSamplePosition(k);
                    a[k] += tau >= on && tau < off ? 1.0 : 0.0;
                }
            }
        }
    }
    for (int i = 0; i < length; ++i) {
        double sum = 0.0;
        for (int s = 0; s < kSubSamples; ++s) {
            const double x = a[i * kSubSamples + s];
            sum += x * x;
        }
        out[static_cast<size_t>(i)] = sum / kSubSamples;
    }
}

// The template of a text into out; false (out all key-up) for a text that has no code.
void RenderMorseInto(const std::string& text, const MorseTiming& timing, const RowResponse* response, int length,
                     std::vector<double>& out) {
    RenderScratch& scratch = Scratch();
    if (!MorseIntervalsInto(text, timing, scratch.keys)) scratch.keys.clear();
    RenderKeyingWith(scratch.keys, response, length, scratch.amplitude, out);
}

}  // namespace

std::vector<KeyInterval> MorseIntervals(const std::string& text, const MorseTiming& timing) {
    std::vector<KeyInterval> out;
    if (!MorseIntervalsInto(text, timing, out)) out.clear();
    return out;
}

void RenderMorse(const std::string& text, const MorseTiming& timing, const RowResponse* response, int length,
                 std::vector<double>& out) {
    RenderMorseInto(text, timing, response, length, out);
}

void RenderKeying(const std::vector<KeyInterval>& keys, const RowResponse* response, int length,
                  std::vector<double>& out) {
    RenderKeyingWith(keys, response, length, Scratch().amplitude, out);
}

MorseFit FitMorse(const FoldedTrace& trace, const std::string& text, const MorseTiming& timing) {
    if (!Usable(trace) || !(timing.unit > 0.0)) return {};
    std::vector<double>& t = Scratch().trace;
    RenderMorseInto(text, timing, trace.response, trace.Length(), t);
    return Fit(trace, t);
}

// The row noise the residual of a reading's fit shows: the median of the bins' squared
// residuals (a few bins off the model cannot move it), times the rows' correlation factor.
double ResidualNoise(const FoldedTrace& trace, const MorseReading& r) {
    const int n = trace.Length();
    std::vector<double> t;
    RenderMorse(r.text, r.timing, trace.response, n, t);
    std::vector<double> squares;
    for (int i = 0; i < n; ++i) {
        const double c = trace.count[static_cast<size_t>(i)];
        if (!(c > 0.0)) continue;
        const double e = trace.value[static_cast<size_t>(i)] - r.fit.level - r.fit.amplitude * t[static_cast<size_t>(i)];
        squares.push_back(c * e * e);
    }
    if (squares.empty()) return 0.0;
    const double kappa = trace.response ? trace.response->CorrelationFactor() : 1.0;
    return std::sqrt(UpperMedian(squares.data(), squares.size()) / 0.4549 * kappa);
}

// Takes the smaller of the trace's noise and the residual's for the reading's scores.
void SettleNoise(const FoldedTrace& trace, MorseReading& r) {
    r.rowNoise = trace.rowNoise;
    if (r.text.empty()) return;
    const double residual = ResidualNoise(trace, r);
    if (residual > 0.0 && residual < trace.rowNoise) {
        const double k = trace.rowNoise / residual;
        r.fit.score *= k;
        r.margin *= k * k;
        r.rowNoise = residual;
    }
}

void JudgeMorse(const FoldedTrace& given, MorseReading& r) {
    FoldedTrace traceWithNoise;
    const FoldedTrace* use = &given;
    if (r.rowNoise > 0.0 && r.rowNoise != given.rowNoise) {
        traceWithNoise = given;
        traceWithNoise.rowNoise = r.rowNoise;
        use = &traceWithNoise;
    }
    const FoldedTrace& trace = *use;
    r.silence = 0.0;
    r.silenceShare = 0.0;
    r.misfit = 0.0;
    if (r.text.empty() || !Usable(trace) || !(r.timing.unit > 0.0)) return;
    const int n = trace.Length();
    std::vector<double> t;
    RenderMorse(r.text, r.timing, trace.response, n, t);
    const MorseFit& f = r.fit;
    // The residual over every stretch of a unit: where it stands out of the noise, the share
    // of the key-down amplitude it amounts to (a key-down the text lacks, or one it has where
    // the trace has none, leaves a whole unit's amplitude).
    const double u = r.timing.unit;
    const int width = std::max(1, static_cast<int>(std::lround(u)));
    // A key-down's power is noisier than a gap's: the signal beats with the noise. For
    // exponential noise of mean m a tone of power S leaves a variance of m^2 + 2 S m, and the
    // detector's series are in units of the noise's mean power (a steady tone or a keying that
    // raises a line's level only makes them smaller, and this allowance with them). Judged by
    // the gaps' noise, a strong ident's key-downs (S twice m: at 80 deviations in ten minutes)
    // stood out by 6 deviations over some unit in about every other trace, and refused it. The
    // allowance holds only where the text and the trace both hold a key-down: one that either
    // lacks must still stand out by the gaps' noise.
    std::vector<double> residual(static_cast<size_t>(n)), spread(static_cast<size_t>(n));
    for (int i = 0; i < n; ++i) {
        const size_t b = static_cast<size_t>(i);
        residual[b] = trace.count[b] * (trace.value[b] - f.level - f.amplitude * t[b]);
        const double both = std::min(f.amplitude * t[b], trace.value[b] - f.level);
        spread[b] = trace.count[b] * (1.0 + 2.0 * std::max(0.0, both));
    }
    // The same sums over whole units, one after another, give what a shape the text does not
    // fit (a slow swell fitted by dashes) leaves everywhere, each unit a little.
    double worst = 0.0, squares = 0.0;
    int windows = 0;
    for (int i = 0; i < n; ++i) {
        double s = 0.0, c = 0.0, v = 0.0;
        for (int k = 0; k < width; ++k) {
            const size_t b = static_cast<size_t>((i + k) % n);
            s += residual[b];
            c += trace.count[b];
            v += spread[b];
        }
        if (!(c > 0.0)) continue;
        const double z = s / (trace.rowNoise * std::sqrt(c));
        if (i % width == 0 && i + width <= n) {
            squares += z * z;
            ++windows;
        }
        const double zOwn = s / (trace.rowNoise * std::sqrt(v));
        if (f.amplitude > 0.0 && std::fabs(zOwn) >= kSignificantMisfit)
            worst = std::max(worst, std::fabs(s) / (c * f.amplitude));
    }
    r.misfit = worst;
    r.residualRms = windows > 0 ? std::sqrt(squares / windows) : 0.0;

    // Key-downs of a unit's length where the text is silent (two units clear of its keying).
    std::vector<bool> clear(static_cast<size_t>(n), true);
    for (const KeyInterval& k : MorseIntervals(r.text, r.timing)) {
        for (double x = k.on - 2.0 * u; x <= k.off + 2.0 * u; x += 0.5) {
            const long i = static_cast<long>(std::floor(x + 0.5));
            clear[static_cast<size_t>(((i % n) + n) % n)] = false;
        }
    }
    double best = 0.0, bestShare = 0.0;
    for (int i = 0; i < n; ++i) {
        double s = 0.0, c = 0.0;
        bool inside = true;
        for (int k = 0; k < width && inside; ++k) {
            const size_t b = static_cast<size_t>((i + k) % n);
            inside = clear[b];
            s += trace.count[b] * (trace.value[b] - f.level);
            c += trace.count[b];
        }
        if (!inside || !(c > 0.0)) continue;
        best = std::max(best, s / (trace.rowNoise * std::sqrt(c)));
        if (f.amplitude > 0.0) bestShare = std::max(bestShare, s / (c * f.amplitude));
    }
    r.silence = best;
    r.silenceShare = f.amplitude > 0.0 ? bestShare : (best > 0.0 ? 1.0 : 0.0);
}

double KeyingBound(const FoldedTrace& trace, const UnitRange& units) {
    if (!Usable(trace) || !(units.shortest > 0.0) || !(units.longest >= units.shortest)) return 0.0;
    TraceSums sums;
    sums.Set(trace, StartingThreshold(trace));
    ElementProgramme programme;
    std::vector<KeyInterval> keys, bestKeys;
    double bestScore = -1e300;
    for (double u = units.shortest; u <= units.longest * (1.0 + 1e-9); u *= 1.0 + kCoarseUnitStep) {
        for (double t0 = 0.0; t0 < u; t0 += kCoarseStartStep) {
            const double v = programme.Run(sums, u, t0, keys);
            if (v > bestScore && !keys.empty()) {
                bestScore = v;
                bestKeys = keys;
            }
        }
    }
    if (bestKeys.empty()) return 0.0;
    std::vector<double> t;
    RenderKeying(bestKeys, trace.response, trace.Length(), t);
    return Fit(trace, t).score;
}

MorseReading ReadMorse(const FoldedTrace& trace, const UnitRange& units) {
    if (!Usable(trace) || !(units.shortest > 0.0) || !(units.longest >= units.shortest)) return {};
    TraceSums sums;
    LetterProgramme programme;
    KeptTexts kept;
    std::vector<Candidate> refined;

    // First pass: the whole speed range, coarsely, with levels from the trace's quantiles.
    sums.Set(trace, StartingThreshold(trace));
    for (double u = units.shortest; u <= units.longest * (1.0 + 1e-9); u *= 1.0 + kCoarseUnitStep)
        for (double t0 = 0.0; t0 < u; t0 += kCoarseStartStep) programme.Run(sums, u, t0, false, kept);
    RefineKept(trace, kept.List(), false, refined);
    MorseReading first = Conclude(refined);
    if (first.text.empty()) return first;

    // Second pass: the fitted levels' midpoint, finely around the speeds of the best few texts
    // (a text at a third of the speed may mimic another).
    sums.Set(trace, first.fit.level + 0.5 * first.fit.amplitude);
    std::vector<MorseTiming> centres;
    for (size_t i = 0; i < refined.size() && i < kSecondPassTexts; ++i) {
        const MorseTiming& t = refined[i].timing;
        bool near = false;
        for (const MorseTiming& c : centres) near |= std::fabs(t.unit - c.unit) <= kFineSpan * c.unit;
        if (!near && refined[i].score > 0.0) centres.push_back(t);
    }
    for (const MorseTiming& centre : centres) {
        kept.Clear();
        const double u0 = centre.unit;
        for (double u = u0 * (1.0 - kFineSpan); u <= u0 * (1.0 + kFineSpan); u *= 1.0 + kFineUnitStep) {
            if (u < units.shortest * 0.97 || u > units.longest * 1.03) continue;
            // Starts near the refined one only (the grid of starts repeats every unit).
            const double phase = std::fmod(centre.start, u);
            for (double d = -kFineStartReach; d <= kFineStartReach; d += kStartStep) {
                double t0 = phase + d;
                if (t0 < 0.0) t0 += u;
                if (t0 >= u) t0 -= u;
                programme.Run(sums, u, t0, false, kept);
            }
        }
        RefineKept(trace, kept.List(), false, refined);
    }
    MorseReading reading = Conclude(refined);
    SettleNoise(trace, reading);
    JudgeMorse(trace, reading);
    return reading;
}

MorseReading ReadMorseAt(const FoldedTrace& trace, const MorseTiming& timing) {
    if (!Usable(trace) || !(timing.unit > 0.0)) return {};
    TraceSums sums;
    LetterProgramme programme;
    KeptTexts kept;
    std::vector<Candidate> refined;
    double threshold = StartingThreshold(trace);
    MorseReading reading;
    for (int pass = 0; pass < 2; ++pass) {
        sums.Set(trace, threshold);
        kept.Clear();
        programme.Run(sums, timing.unit, timing.start, true, kept);
        for (Candidate& c : kept.List()) c.timing = timing;
        RefineKept(trace, kept.List(), true, refined);
        reading = Conclude(refined);
        if (reading.text.empty()) break;
        threshold = reading.fit.level + 0.5 * reading.fit.amplitude;
    }
    SettleNoise(trace, reading);
    JudgeMorse(trace, reading);
    return reading;
}

}  // namespace sorv
