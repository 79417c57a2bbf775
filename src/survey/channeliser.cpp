#include "survey/channeliser.h"

#include <algorithm>
#include <cmath>
#include <numeric>

#include "analysis/kaiser.h"
#include "engine/text_format.h"
#include "survey/channel_layout.h"

namespace sorv {

namespace {

constexpr double kStopbandDb = 80.0;
constexpr int kBlocksPerFilter = 8;  // the block is about this many filter lengths: ~88 % of it is new

// The smallest power of two, or three or five times one, that is at least n: FFTW's transforms
// of such lengths cost about a quarter less per point than those of other lengths made of 2, 3
// and 5 (10240 points against 10000, say).
int FastLengthAtLeast(int n) {
    int best = 0;
    for (int odd : {1, 3, 5}) {
        int m = odd;
        while (m < n) m *= 2;
        if (best == 0 || m < best) best = m;
    }
    return best;
}

}  // namespace

std::string CheckChannelRate(double rate) {
    if (!std::isfinite(rate) || rate < 2.0 * kBasebandRate || rate > 20e6)
        return FormatC("a sample rate of %.0f Hz cannot be surveyed", rate);
    if (rate != std::floor(rate)) return FormatC("the survey needs a whole number of samples a second, not %.3f", rate);
    return {};
}

ChannelGeometry ChooseChannelGeometry(int rate) {
    ChannelGeometry g;
    g.sampleRate = rate;
    const int q = rate / std::gcd(rate, kBasebandRate);  // N, L and the filter's half length are multiples of q
    // Kaiser's estimate of the length for the transition from the passband to the stopband.
    const double transition = 2.0 * M_PI * (kChannelStopHz - kChannelPassHz) / rate;
    const int minHalf = static_cast<int>(std::ceil((kStopbandDb - 8.0) / (2.285 * transition) / 2.0));
    const int half = q * ((minHalf + q - 1) / q);
    g.filterLength = 2 * half + 1;
    const int multiples = FastLengthAtLeast((kBlocksPerFilter * g.filterLength + q - 1) / q);
    g.blockSize = q * multiples;
    g.hop = (g.blockSize - 2 * half) / q * q;
    const int64_t n = g.blockSize;
    g.audioSize = static_cast<int>(n * 48000 / rate);
    g.audioHop = static_cast<int>(static_cast<int64_t>(g.hop) * 48000 / rate);
    g.basebandSize = static_cast<int>(n * kBasebandRate / rate);
    g.basebandHop = static_cast<int>(static_cast<int64_t>(g.hop) * kBasebandRate / rate);
    g.binHz = static_cast<double>(rate) / g.blockSize;
    return g;
}

ChannelBank::ChannelBank(int rate)
    : g_(ChooseChannelGeometry(rate)),
      forward_(FftPlan::Kind::Forward, g_.blockSize, true),
      audio_(FftPlan::Kind::ComplexToReal, g_.audioSize, true),
      baseband_(FftPlan::Kind::Inverse, g_.basebandSize, true) {
    // A zero-phase lowpass: a Kaiser-windowed sinc centred on sample 0, cut off half-way
    // between the passband and the stopband, with unit gain at 0 Hz.
    const int half = (g_.filterLength - 1) / 2;
    const double cutoff = 0.5 * (kChannelPassHz + kChannelStopHz) / rate;  // cycles per sample
    const double beta = 0.1102 * (kStopbandDb - 8.7);
    std::vector<double> h(static_cast<size_t>(half + 1));
    double sum = 0.0;
    for (int n = 0; n <= half; ++n) {
        const double x = 2.0 * cutoff * n;
        const double sinc = n == 0 ? 1.0 : std::sin(M_PI * x) / (M_PI * x);
        const double r = static_cast<double>(n) / half;
        const double window = KaiserAt(r, beta);
        h[static_cast<size_t>(n)] = 2.0 * cutoff * sinc * window;
        sum += (n == 0 ? 1.0 : 2.0) * h[static_cast<size_t>(n)];
    }
    // Beyond the stopband edge (and a little more) the response is below -80 dB: left out.
    halfWidth_ = static_cast<int>(std::ceil((kChannelStopHz + 50.0) / g_.binHz));
    response_.resize(static_cast<size_t>(halfWidth_ + 1));
    for (int d = 0; d <= halfWidth_; ++d) {
        double r = h[0];
        for (int n = 1; n <= half; ++n) r += 2.0 * h[static_cast<size_t>(n)] * std::cos(2.0 * M_PI * d * n / g_.blockSize);
        response_[static_cast<size_t>(d)] = static_cast<float>(r / sum);
    }
}

float ChannelBank::Response(int d) const {
    d = std::abs(d);
    return d <= halfWidth_ ? response_[static_cast<size_t>(d)] : 0.0f;
}

ChannelScratch::ChannelScratch(const ChannelGeometry& g)
    : audioBins(static_cast<size_t>(g.audioSize / 2 + 1)),
      basebandBins(static_cast<size_t>(g.basebandSize)),
      baseband(static_cast<size_t>(g.basebandSize)),
      audio(static_cast<size_t>(g.audioSize)) {}

ChannelTap::ChannelTap(const ChannelBank& bank, double offsetHz) : bank_(bank) {
    const ChannelGeometry& g = bank.Geometry();
    carrierBin_ = static_cast<int>(std::lround(offsetHz / g.binHz));
    toneBin_ = static_cast<int>(std::lround(kChannelToneHz / g.binHz));
    basebandCarrierHz_ = offsetHz - carrierBin_ * g.binHz;
    carrierAudioHz_ = toneBin_ * g.binHz + basebandCarrierHz_;
}

void ChannelTap::Render(const std::complex<float>* spectrum, int64_t block, ChannelScratch& scratch, float* audio,
                        std::complex<float>* baseband) const {
    const ChannelGeometry& g = bank_.Geometry();
    const int64_t n = g.blockSize;
    const int w = bank_.ResponseHalfWidth();
    const int half = (g.filterLength - 1) / 2;
    const int64_t blockStart = block * g.hop - half;  // recording sample of the block's first sample
    // A block's transform sees its samples as starting at time 0; moving the bins by `shift`
    // turns that into a phase step from block to block, which this rotation takes out.
    auto rotation = [&](int64_t shift) {
        const int64_t turns = ((shift % n) * (blockStart % n)) % n;
        const double phase = -2.0 * M_PI * static_cast<double>(turns) / static_cast<double>(n);
        return std::complex<float>(static_cast<float>(std::cos(phase)), static_cast<float>(std::sin(phase)));
    };
    // Complex products written out: the library's operator* checks each for infinities.
    auto inputBin = [&](int d, const std::complex<float>& turn, std::complex<float>& x) {
        const int64_t k = static_cast<int64_t>(carrierBin_) + d;
        if (k < -n / 2 || k >= n - n / 2) return false;  // beyond the recording's band
        const std::complex<float> v = spectrum[(k + n) % n];
        const float r = bank_.Response(d);
        x = {r * (v.real() * turn.real() - v.imag() * turn.imag()), r * (v.real() * turn.imag() + v.imag() * turn.real())};
        return true;
    };

    std::complex<float>* bins = scratch.audioBins.data();
    std::fill(bins, bins + g.audioSize / 2 + 1, std::complex<float>(0.0f, 0.0f));
    const std::complex<float> audioTurn = rotation(carrierBin_ - toneBin_) * (0.5f / static_cast<float>(n));
    for (int d = -w; d <= w; ++d) {
        std::complex<float> x;
        const int m = toneBin_ + d;
        if (m > 0 && m < g.audioSize / 2 && inputBin(d, audioTurn, x)) bins[m] = x;
    }
    bank_.AudioPlan().Run(bins, scratch.audio.data());
    const int audioStart = static_cast<int>(static_cast<int64_t>(half) * 48000 / g.sampleRate);
    std::copy(scratch.audio.data() + audioStart, scratch.audio.data() + audioStart + g.audioHop, audio);

    std::complex<float>* bb = scratch.basebandBins.data();
    std::fill(bb, bb + g.basebandSize, std::complex<float>(0.0f, 0.0f));
    const std::complex<float> basebandTurn = rotation(carrierBin_) * (1.0f / static_cast<float>(n));
    for (int d = -w; d <= w; ++d) {
        std::complex<float> x;
        if (inputBin(d, basebandTurn, x)) bb[(d + g.basebandSize) % g.basebandSize] = x;
    }
    bank_.BasebandPlan().Run(bb, scratch.baseband.data());
    const int basebandStart = static_cast<int>(static_cast<int64_t>(half) * kBasebandRate / g.sampleRate);
    std::copy(scratch.baseband.data() + basebandStart, scratch.baseband.data() + basebandStart + g.basebandHop,
              baseband);
}

}  // namespace sorv
