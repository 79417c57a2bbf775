#include "survey/fft_plans.h"

#include <filesystem>
#include <fstream>
#include <iterator>
#include <mutex>
#include <random>

namespace sorv {

namespace {

constexpr std::uintmax_t kLargestPlanFile = 4u << 20;  // kept plans take a few kB

std::mutex& PlannerLock() {
    static std::mutex lock;
    return lock;
}

fftwf_complex* AsFftw(std::complex<float>* p) { return reinterpret_cast<fftwf_complex*>(p); }
fftwf_complex* AsFftw(const std::complex<float>* p) { return reinterpret_cast<fftwf_complex*>(const_cast<std::complex<float>*>(p)); }

}  // namespace

FftPlan::FftPlan(Kind kind, int n, bool measure)
    // Measuring the large transforms could take many seconds; half a second finds a good plan.
    : FftPlan(kind, n, measure ? FFTW_MEASURE : FFTW_ESTIMATE, measure ? 0.5 : FFTW_NO_TIMELIMIT) {}

FftPlan FftPlan::Tuned(Kind kind, int n, bool thorough) {
    return FftPlan(kind, n, thorough ? FFTW_PATIENT : FFTW_MEASURE, FFTW_NO_TIMELIMIT);
}

bool FftPlan::IsKept(Kind kind, int n) {
    try {
        // Only a kept plan satisfies FFTW_WISDOM_ONLY; without one FFTW makes no plan at all.
        FftPlan probe(kind, n, FFTW_MEASURE | FFTW_WISDOM_ONLY, FFTW_NO_TIMELIMIT);
        return true;
    } catch (const std::bad_alloc&) {
        return false;
    }
}

FftPlan::FftPlan(Kind kind, int n, unsigned flags, double timeLimit) : kind_(kind), n_(n) {
    // Planning with FFTW_MEASURE overwrites the arrays, so it plans on scratch buffers of its own.
    ComplexBuffer a(static_cast<size_t>(n)), b(static_cast<size_t>(n));
    std::lock_guard<std::mutex> hold(PlannerLock());
    fftwf_set_timelimit(timeLimit);
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

std::string LoadKeptPlans(const std::string& path) {
    std::error_code error;
    if (!std::filesystem::exists(path, error)) return {};
    const std::uintmax_t size = std::filesystem::file_size(path, error);
    if (error) return path + ": cannot read the kept transform plans: " + error.message();
    if (size > kLargestPlanFile) return path + ": too large to hold transform plans; not read";
    std::ifstream in(path, std::ios::binary);
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (!in.good() && !in.eof()) return path + ": cannot read the kept transform plans";
    std::lock_guard<std::mutex> hold(PlannerLock());
    if (!fftwf_import_wisdom_from_string(text.c_str()))
        return path + ": holds no transform plans this program can use (another FFTW made it, or it is damaged); "
                      "they are measured again, and --tune-transforms keeps new ones";
    return {};
}

std::string SaveKeptPlans(const std::string& path) {
    std::string text;
    {
        std::lock_guard<std::mutex> hold(PlannerLock());
        char* exported = fftwf_export_wisdom_to_string();
        if (!exported) return path + ": cannot keep the transform plans: FFTW gave none";
        text = exported;
        fftwf_free(exported);
    }
    std::error_code error;
    const std::filesystem::path target(path);
    if (target.has_parent_path()) std::filesystem::create_directories(target.parent_path(), error);
    if (error) return path + ": cannot make its folder: " + error.message();
    // A name of its own, so that two surveys tuning at once never write into one file.
    const std::string temporary = path + ".new" + std::to_string(std::random_device{}());
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        out << text;
        out.flush();
        if (!out) {
            std::filesystem::remove(temporary, error);
            return temporary + ": cannot write the transform plans";
        }
    }
    std::filesystem::rename(temporary, target, error);
    if (error) {
        std::error_code ignored;
        std::filesystem::remove(temporary, ignored);
        return path + ": cannot keep the transform plans: " + error.message();
    }
    return {};
}

}  // namespace sorv
