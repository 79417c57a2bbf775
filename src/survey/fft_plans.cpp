#include "survey/fft_plans.h"

#include <mutex>

namespace sorv {

namespace {

std::mutex& PlannerLock() {
    static std::mutex lock;
    return lock;
}

fftwf_complex* AsFftw(std::complex<float>* p) { return reinterpret_cast<fftwf_complex*>(p); }
fftwf_complex* AsFftw(const std::complex<float>* p) { return reinterpret_cast<fftwf_complex*>(const_cast<std::complex<float>*>(p)); }

}  // namespace

FftPlan::FftPlan(Kind kind, int n, bool measure) : kind_(kind), n_(n) {
    const unsigned flags = measure ? FFTW_MEASURE : FFTW_ESTIMATE;
    // Planning with FFTW_MEASURE overwrites the arrays, so it plans on scratch buffers of its own.
    ComplexBuffer a(static_cast<size_t>(n)), b(static_cast<size_t>(n));
    std::lock_guard<std::mutex> hold(PlannerLock());
    // Measuring the large transforms could take many seconds; half a second finds a good plan.
    fftwf_set_timelimit(measure ? 0.5 : FFTW_NO_TIMELIMIT);
    switch (kind) {
        case Kind::Forward:
            plan_ = fftwf_plan_dft_1d(n, AsFftw(a.data()), AsFftw(b.data()), FFTW_FORWARD, flags);
            break;
        case Kind::Inverse:
            plan_ = fftwf_plan_dft_1d(n, AsFftw(a.data()), AsFftw(b.data()), FFTW_BACKWARD, flags);
            break;
        case Kind::ComplexToReal:
            plan_ = fftwf_plan_dft_c2r_1d(n, AsFftw(a.data()), reinterpret_cast<float*>(b.data()), flags);
            break;
        case Kind::RealToComplex:
            plan_ = fftwf_plan_dft_r2c_1d(n, reinterpret_cast<float*>(a.data()), AsFftw(b.data()), flags);
            break;
    }
    if (!plan_) throw std::bad_alloc();
}

FftPlan::~FftPlan() {
    if (!plan_) return;
    std::lock_guard<std::mutex> hold(PlannerLock());
    fftwf_destroy_plan(plan_);
}

FftPlan& FftPlan::operator=(FftPlan&& o) noexcept {
    std::swap(plan_, o.plan_);
    std::swap(kind_, o.kind_);
    std::swap(n_, o.n_);
    return *this;
}

void FftPlan::Run(const std::complex<float>* in, std::complex<float>* out) const {
    fftwf_execute_dft(plan_, AsFftw(in), AsFftw(out));
}

void FftPlan::Run(std::complex<float>* in, float* out) const { fftwf_execute_dft_c2r(plan_, AsFftw(in), out); }

void FftPlan::Run(float* in, std::complex<float>* out) const { fftwf_execute_dft_r2c(plan_, in, AsFftw(out)); }

}  // namespace sorv
