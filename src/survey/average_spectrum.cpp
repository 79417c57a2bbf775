#include "survey/average_spectrum.h"

#include <algorithm>
#include <cmath>

#include "survey/parallel.h"

namespace sorv {

struct AverageSpectrumBuilder::Worker {
    explicit Worker(int bins) : in(static_cast<size_t>(bins)), out(static_cast<size_t>(bins)), sum(static_cast<size_t>(bins), 0.0) {}
    ComplexBuffer in, out;
    std::vector<double> sum;  // in FFT order
};

int AverageSpectrumBins(double sampleRate) {
    int bins = 1024;
    while (bins < (1 << 26) && sampleRate / bins > 1.0) bins *= 2;
    return bins;
}

AverageSpectrumBuilder::AverageSpectrumBuilder(double sampleRate, int bins, int workers)
    : sampleRate_(sampleRate), bins_(bins), window_(static_cast<size_t>(bins)),
      plan_(FftPlan::Kind::Forward, bins, true) {
    for (int i = 0; i < bins; ++i) {
        const double w = 0.5 - 0.5 * std::cos(2.0 * M_PI * i / bins);
        window_[static_cast<size_t>(i)] = static_cast<float>(w);
        windowPower_ += w * w;
    }
    for (int w = 0; w < std::max(1, workers); ++w) workers_.push_back(std::make_unique<Worker>(bins));
    pending_.reserve(static_cast<size_t>(bins));
}

AverageSpectrumBuilder::~AverageSpectrumBuilder() = default;

void AverageSpectrumBuilder::RunSegments(const std::complex<float>* samples, int count) {
    const size_t n = static_cast<size_t>(bins_);
    ParallelFor(count, static_cast<int>(workers_.size()), [&](int s, int w) {
        Worker& work = *workers_[static_cast<size_t>(w)];
        const std::complex<float>* x = samples + static_cast<size_t>(s) * n;
        for (size_t i = 0; i < n; ++i) work.in[i] = x[i] * window_[i];
        plan_.Run(work.in.data(), work.out.data());
        for (size_t i = 0; i < n; ++i) work.sum[i] += std::norm(work.out[i]);
    });
    segments_ += count;
}

void AverageSpectrumBuilder::Add(const std::complex<float>* samples, size_t count) {
    const size_t n = static_cast<size_t>(bins_);
    if (!pending_.empty()) {
        const size_t take = std::min(count, n - pending_.size());
        pending_.insert(pending_.end(), samples, samples + take);
        samples += take;
        count -= take;
        if (pending_.size() < n) return;
        RunSegments(pending_.data(), 1);
        pending_.clear();
    }
    const size_t whole = count / n;
    if (whole > 0) RunSegments(samples, static_cast<int>(whole));
    pending_.insert(pending_.end(), samples + whole * n, samples + count);
}

AverageSpectrum AverageSpectrumBuilder::Finish() {
    AverageSpectrum result;
    result.sampleRate = sampleRate_;
    result.binHz = sampleRate_ / bins_;
    const size_t n = static_cast<size_t>(bins_);
    double scale = 1.0;
    if (segments_ == 0 && !pending_.empty()) {
        // Too short for one segment: the samples there are, zero-padded, and scaled for the
        // part of the window they filled.
        const size_t have = pending_.size();
        pending_.resize(n, std::complex<float>(0.0f, 0.0f));
        RunSegments(pending_.data(), 1);
        double filled = 0.0;
        for (size_t i = 0; i < have; ++i) filled += static_cast<double>(window_[i]) * window_[i];
        scale = filled > 0.0 ? windowPower_ / filled : 1.0;
    }
    pending_.clear();
    result.segments = segments_;
    result.power.assign(n, 0.0);
    if (segments_ == 0) return result;
    const double norm = scale / (static_cast<double>(segments_) * static_cast<double>(n) * windowPower_);
    for (const auto& w : workers_)
        for (size_t i = 0; i < n; ++i) result.power[(i + n / 2) % n] += w->sum[i] * norm;
    return result;
}

}  // namespace sorv
