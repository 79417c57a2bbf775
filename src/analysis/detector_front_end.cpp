#include "analysis/detector_front_end.h"

#include <algorithm>
#include <cmath>

#include "analysis/kaiser.h"

namespace sorv {

namespace {

constexpr double kTwoPi = 6.283185307179586;
constexpr int kMixTable = 4800;           // the mixing frequency is a multiple of 10 Hz
constexpr double kMixStepHz = 48000.0 / kMixTable;
constexpr double kWindowSeconds = 0.16;
constexpr double kWindowBeta = 9.0;       // sidelobes below -74 dB from 25 Hz
constexpr double kLineSpacingHz = 48000.0 / 96.0 / 128.0;  // 3.906 Hz
constexpr int kMostLines = 128;           // more lines than this are taken every other bin...
constexpr double kStopAttenuationDb = 85.0;
constexpr size_t kChunk = 4096;
constexpr double kLn2 = 0.6931471805599453;  // an exponential's median over its mean
constexpr float kStrongBinOverMedian = 8.0f;

std::vector<double> KaiserWindow(int n, double beta) {
    std::vector<double> w(static_cast<size_t>(n));
    for (int k = 0; k < n; ++k) {
        const double r = 2.0 * (k + 0.5) / n - 1.0;
        w[static_cast<size_t>(k)] = KaiserAt(r, beta);
    }
    return w;
}

// The boxcar of d samples three times over: nulls at every multiple of the decimated rate,
// where what would fold onto the passband lies.
std::vector<float> CubedBoxcar(int d) {
    std::vector<double> h(1, 1.0);
    for (int pass = 0; pass < 3; ++pass) {
        std::vector<double> next(h.size() + static_cast<size_t>(d) - 1, 0.0);
        for (size_t i = 0; i < h.size(); ++i)
            for (int k = 0; k < d; ++k) next[i + static_cast<size_t>(k)] += h[i];
        h.swap(next);
    }
    double total = 0.0;
    for (double v : h) total += v;
    std::vector<float> out(h.size());
    for (size_t i = 0; i < h.size(); ++i) out[i] = static_cast<float>(h[i] / total);
    return out;
}

// A Kaiser-windowed low-pass at rate fs passing up to pass Hz and stopping from stop Hz.
std::vector<float> LowPass(double fs, double pass, double stop) {
    const double width = kTwoPi * (stop - pass) / fs;
    const double beta = 0.1102 * (kStopAttenuationDb - 8.7);
    int n = static_cast<int>(std::ceil((kStopAttenuationDb - 8.0) / (2.285 * width))) + 1;
    n |= 1;
    const double cutoff = 0.5 * (pass + stop) / fs;  // cycles per sample
    const std::vector<double> w = KaiserWindow(n, beta);
    std::vector<double> h(static_cast<size_t>(n));
    double total = 0.0;
    for (int k = 0; k < n; ++k) {
        const double x = k - (n - 1) / 2.0;
        const double sinc = x == 0.0 ? 2.0 * cutoff : std::sin(kTwoPi * cutoff * x) / (M_PI * x);
        h[static_cast<size_t>(k)] = sinc * w[static_cast<size_t>(k)];
        total += h[static_cast<size_t>(k)];
    }
    std::vector<float> out(h.size());
    for (size_t i = 0; i < h.size(); ++i) out[i] = static_cast<float>(h[i] / total);
    return out;
}

struct Cadence {
    int decimation = 0;  // the producer's D
    int slotsPerRow = 0; // S
};

bool ProducerCadence(const FrontEndSettings& s, Cadence& c) {
    const int width = s.bandHigh - s.bandLow;
    if (width <= 0) return false;
    c.decimation = std::max(1, 48000 / width);
    const int r = s.rowsPerFrame >= 1 && s.rowsPerFrame <= 128 ? s.rowsPerFrame : 1;
    c.slotsPerRow = 128 / r;
    return true;
}

// One output of a real low-pass over complex samples (real and imaginary parts apart) that
// start at xr, xi.
inline void FilterAt(const std::vector<float>& h, const float* xr, const float* xi, float& sr, float& si) {
    sr = 0.0f;
    si = 0.0f;
    for (size_t k = 0; k < h.size(); ++k) {
        sr += h[k] * xr[k];
        si += h[k] * xi[k];
    }
}

// The noise's median power over the passband, without the bins a strong signal fills. A plain
// median moves by a rank for every bin a key-down lifts far above the noise, whatever the
// signal's strength: a beacon 10 to 20 dB over the noise of its line fills some eight of the
// passband's bins and raised the floor of each row it keyed by about 14 %. Every line divided
// by that floor then carried the beacon's keying upside down, and an ident at twice the
// beacon's period folded it as a misfit of 40 % of its own key-down. So the bins far above the
// median (eight times: noise alone gets there once in 256 bins) count as a signal's, less the
// one noise bin in four rows that gets there alone, and the floor is the median of the others:
// the value at half the rank of those.
float NoiseFloorOfRow(std::vector<float>& powers) {
    const size_t mid = powers.size() / 2;
    std::nth_element(powers.begin(), powers.begin() + static_cast<long>(mid), powers.end());
    const float median = powers[mid];
    const float strong = kStrongBinOverMedian * median;
    size_t above = 0;
    for (size_t i = mid + 1; i < powers.size(); ++i) above += powers[i] > strong ? 1 : 0;
    const double noiseAbove = std::exp2(-static_cast<double>(kStrongBinOverMedian)) * static_cast<double>(powers.size());
    const double signal = static_cast<double>(above) - noiseAbove;
    if (signal < 1.0) return median;
    const size_t rank = static_cast<size_t>((static_cast<double>(powers.size()) - signal) / 2.0);
    std::nth_element(powers.begin(), powers.begin() + static_cast<long>(rank), powers.begin() + static_cast<long>(mid));
    return powers[rank];
}

}  // namespace

int DetectorFrontEnd::StoredLineOfTone(const FrontEndSettings& s, double toneHz) {
    Cadence c;
    if (!ProducerCadence(s, c) || !std::isfinite(toneHz)) return -1;
    const double centre = (s.bandHigh + s.bandLow) / 2.0;
    const double binHz = 48000.0 / (128.0 * c.decimation);
    const double k = std::nearbyint((toneHz - centre) / binHz);
    if (!(k >= -63.0 && k <= 64.0)) return -1;
    return 63 + static_cast<int>(k);
}

bool DetectorFrontEnd::Configure(const FrontEndSettings& settings, DetectorRows& rows) {
    rows_ = nullptr;
    settings_ = settings;
    Cadence c;
    const bool finite = std::isfinite(settings.toneMin) && std::isfinite(settings.toneMax);
    if (!ProducerCadence(settings, c) || !finite || settings.toneMin > settings.toneMax) {
        rows.Reset(0.0, {}, RowResponse{});
        return false;
    }
    samplesPerRow_ = static_cast<long long>(c.decimation) * c.slotsPerRow;
    rowCentreOffset_ = 64.0 * c.decimation + 0.5;
    const double rowRate = (settings.bandHigh - settings.bandLow) / (128.0 / (128 / c.slotsPerRow));

    // The tones searched, half a stored line either side, within what the band's lines hold.
    const double storedBinHz = 48000.0 / (128.0 * c.decimation);
    const double bandCentre = (settings.bandHigh + settings.bandLow) / 2.0;
    const double lowest = std::max(settings.toneMin - storedBinHz / 2.0, bandCentre - 63.5 * storedBinHz);
    const double highest = std::min(settings.toneMax + storedBinHz / 2.0, bandCentre + 64.5 * storedBinHz);
    if (!(lowest <= highest) || lowest < 0.0 || highest > 24000.0) {
        rows.Reset(0.0, {}, RowResponse{});
        return false;
    }
    const double mixHz = std::nearbyint((lowest + highest) / 2.0 / kMixStepHz) * kMixStepHz;
    const double half = std::max(mixHz - lowest, highest - mixHz) + 20.0;

    // Decimated rate 500 x 2^k Hz, wide enough for the lines and a floor around them.
    int k = 0;
    while (k < 5 && 500.0 * (1 << k) < 2.6 * half) ++k;
    const int total = 96 >> k;
    d2_ = 3;
    d1_ = total / 3;
    if (total % 12 == 0) {
        d2_ = total / 8;
        d1_ = 8;
    }
    const double rate1 = 48000.0 / d1_;
    const double rate = rate1 / d2_;
    const double pass = std::max(half, 0.3 * rate);
    const double stop = rate - pass;
    h1_ = d1_ > 1 ? CubedBoxcar(d1_) : std::vector<float>{1.0f};
    h2_ = LowPass(rate1, pass, stop);
    const size_t p1 = h1_.size() - static_cast<size_t>(d1_);
    const size_t p2 = h2_.size() - static_cast<size_t>(d2_);
    in1Re_.assign(h1_.size() + kChunk, 0.0f);
    in1Im_.assign(h1_.size() + kChunk, 0.0f);
    in1Used_ = p1;
    in2Re_.assign(p2 + kChunk, 0.0f);
    in2Im_.assign(p2 + kChunk, 0.0f);
    in2Used_ = p2;
    decimatedTime0_ = (d2_ - 1 - (h2_.size() - 1) / 2.0) * d1_ + d1_ - 1 - (h1_.size() - 1) / 2.0;

    hum_.Configure(rate, mixHz, lowest, highest, pass);

    mixCos_.resize(kMixTable);
    mixSin_.resize(kMixTable);
    for (int n = 0; n < kMixTable; ++n) {
        const double phase = kTwoPi * mixHz * n / 48000.0;
        mixCos_[static_cast<size_t>(n)] = static_cast<float>(std::cos(phase));
        mixSin_[static_cast<size_t>(n)] = static_cast<float>(-std::sin(phase));
    }
    mixPhase_ = 0;
    audio_.assign(kChunk, 0.0f);
    blanker_.Reset();

    windowLength_ = static_cast<int>(std::lround(kWindowSeconds * rate));
    window_ = KaiserWindow(windowLength_, kWindowBeta);
    const double heldBack = (windowLength_ + 2.0 * hum_.HopSamples()) * d1_ * d2_ +
                            static_cast<double>(h1_.size() + h2_.size() * static_cast<size_t>(d1_));
    mostWaiting_ = static_cast<long long>(std::ceil(heldBack / static_cast<double>(samplesPerRow_))) + 2;
    int size = 1;
    while (size < windowLength_ * 3 / 2 || rate / size > kLineSpacingHz + 1e-9) size *= 2;
    fft_.Plan(size);
    re_.assign(static_cast<size_t>(size), 0.0);
    im_.assign(static_cast<size_t>(size), 0.0);
    const double spacing = rate / size;
    const long firstBin = static_cast<long>(std::ceil((lowest - mixHz) / spacing - 1e-9));
    const long lastBin = static_cast<long>(std::floor((highest - mixHz) / spacing + 1e-9));
    const long count = lastBin - firstBin + 1;
    const long stride = std::max(1L, (count + kMostLines - 1) / kMostLines);
    std::vector<double> lineHz;
    lineBins_.clear();
    for (long b = firstBin; b <= lastBin; b += stride) {
        lineBins_.push_back(static_cast<int>(((b % size) + size) % size));
        lineHz.push_back(mixHz + b * spacing);
    }
    floorBins_.clear();
    const long floorReach = static_cast<long>(std::floor(0.9 * pass / spacing));
    for (long b = -floorReach; b <= floorReach; ++b) floorBins_.push_back(static_cast<int>(((b % size) + size) % size));
    power_.assign(lineBins_.size(), 0.0f);
    // The rounding's noise (1/12 of a count squared, white) as a line sees it: spread over the
    // decimated band and gathered by the window.
    double windowEnergy = 0.0;
    for (double w : window_) windowEnergy += w * w;
    quantisationFloor_ = static_cast<float>(windowEnergy * (1.0 / 12.0) * rate / 48000.0 * kLn2);
    floorWork_.assign(floorBins_.size(), 0.0f);

    // The ring holds a window and a few rows' hops more.
    const double hop = static_cast<double>(samplesPerRow_) / (d1_ * d2_);
    size_t ring = 1;
    while (ring < static_cast<size_t>(2.0 * (windowLength_ + hop) + 16.0)) ring *= 2;
    ringRe_.assign(ring, 0.0f);
    ringIm_.assign(ring, 0.0f);
    decimated_ = 0;
    fed_ = 0;
    rowsMade_ = 0;
    rowLimit_ = -1;
    dropBefore_ = 0;

    RowResponse response;
    response.Set(window_, windowLength_ / rate * rowRate);
    rows.Reset(rowRate, std::move(lineHz), response);
    rows_ = &rows;
    return true;
}

void DetectorFrontEnd::DropRowsBefore(long long row) {
    if (!rows_) return;
    rows_->Clear();
    dropBefore_ = row;
}

long long DetectorFrontEnd::ProducerRows() const {
    return samplesPerRow_ > 0 ? static_cast<long long>(fed_ / static_cast<uint64_t>(samplesPerRow_)) : 0;
}

void DetectorFrontEnd::Feed(const uint8_t* samples, size_t count) {
    if (!rows_ || (rowLimit_ >= 0 && rowsMade_ >= rowLimit_)) return;
    while (count > 0) {
        const size_t n = std::min(count, kChunk);
        float* re = in1Re_.data() + in1Used_;
        float* im = in1Im_.data() + in1Used_;
        for (size_t i = 0; i < n; ++i) audio_[i] = static_cast<float>(static_cast<int>(samples[i]) - 128);
        blanker_.Run(audio_.data(), n);
        for (size_t i = 0; i < n; ++i) {
            re[i] = audio_[i] * mixCos_[mixPhase_];
            im[i] = audio_[i] * mixSin_[mixPhase_];
            if (++mixPhase_ == kMixTable) mixPhase_ = 0;
        }
        in1Used_ += n;
        fed_ += n;
        Stage1();
        samples += n;
        count -= n;
    }
}

void DetectorFrontEnd::Stage1() {
    const size_t taps = h1_.size();
    const size_t d = static_cast<size_t>(d1_);
    size_t at = 0;
    for (; at + taps <= in1Used_; at += d) {
        float sr, si;
        FilterAt(h1_, in1Re_.data() + at, in1Im_.data() + at, sr, si);
        in2Re_[in2Used_] = sr;
        in2Im_[in2Used_] = si;
        if (++in2Used_ == in2Re_.size()) Stage2();
    }
    // Keep what the next outputs still need.
    std::copy(in1Re_.begin() + static_cast<long>(at), in1Re_.begin() + static_cast<long>(in1Used_), in1Re_.begin());
    std::copy(in1Im_.begin() + static_cast<long>(at), in1Im_.begin() + static_cast<long>(in1Used_), in1Im_.begin());
    in1Used_ -= at;
    Stage2();
}

void DetectorFrontEnd::Stage2() {
    const size_t taps = h2_.size();
    const size_t d = static_cast<size_t>(d2_);
    const size_t mask = ringRe_.size() - 1;
    size_t at = 0;
    for (; at + taps <= in2Used_; at += d) {
        float sr, si;
        FilterAt(h2_, in2Re_.data() + at, in2Im_.data() + at, sr, si);
        hum_.Push(sr, si);
        while (hum_.Pop(sr, si)) {
            const size_t slot = static_cast<size_t>(decimated_) & mask;
            ringRe_[slot] = sr;
            ringIm_[slot] = si;
            ++decimated_;
            MakeRows(rowLimit_ >= 0 ? rowLimit_ : ProducerRows());
        }
    }
    std::copy(in2Re_.begin() + static_cast<long>(at), in2Re_.begin() + static_cast<long>(in2Used_), in2Re_.begin());
    std::copy(in2Im_.begin() + static_cast<long>(at), in2Im_.begin() + static_cast<long>(in2Used_), in2Im_.begin());
    in2Used_ -= at;
}

void DetectorFrontEnd::MakeRows(long long limit) {
    const double total = static_cast<double>(d1_ * d2_);
    while (rowsMade_ < limit) {
        const double centre = static_cast<double>(rowsMade_ + 1) * static_cast<double>(samplesPerRow_) - rowCentreOffset_;
        const long long first =
            std::llround((centre - decimatedTime0_) / total - (windowLength_ - 1) / 2.0);
        if (first + windowLength_ > decimated_) return;
        MakeRow(first);
    }
}

void DetectorFrontEnd::MakeRow(long long first) {
    const size_t mask = ringRe_.size() - 1;
    std::fill(re_.begin(), re_.end(), 0.0);
    std::fill(im_.begin(), im_.end(), 0.0);
    for (int k = 0; k < windowLength_; ++k) {
        const long long m = first + k;
        if (m < 0) continue;
        const size_t slot = static_cast<size_t>(m) & mask;
        re_[static_cast<size_t>(k)] = window_[static_cast<size_t>(k)] * ringRe_[slot];
        im_[static_cast<size_t>(k)] = window_[static_cast<size_t>(k)] * ringIm_[slot];
    }
    fft_.Run(re_.data(), im_.data());
    for (size_t i = 0; i < lineBins_.size(); ++i) {
        const size_t b = static_cast<size_t>(lineBins_[i]);
        power_[i] = static_cast<float>(re_[b] * re_[b] + im_[b] * im_[b]);
    }
    for (size_t i = 0; i < floorBins_.size(); ++i) {
        const size_t b = static_cast<size_t>(floorBins_[i]);
        floorWork_[i] = static_cast<float>(re_[b] * re_[b] + im_[b] * im_[b]);
    }
    // Never below what the 8-bit samples' rounding alone leaves: in a silent recording the
    // floor would otherwise follow the keying of the one signal in it.
    const float floor = std::max(NoiseFloorOfRow(floorWork_), quantisationFloor_);
    if (rowsMade_ >= dropBefore_) rows_->Append(power_.data(), floor);
    ++rowsMade_;
}

void DetectorFrontEnd::Finish(long long rows) {
    if (!rows_ || rowLimit_ >= 0) return;
    rowLimit_ = std::max(0LL, std::min(rows, ProducerRows()));
    // Silence after the end, until the last rows' windows are full; it counts as no audio.
    std::vector<uint8_t> silence(kChunk, 128);
    const uint64_t fed = fed_;
    while (rowsMade_ < rowLimit_) {
        Feed(silence.data(), silence.size());
        fed_ = fed;
    }
}

}  // namespace sorv
