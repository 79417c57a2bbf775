// FFTW's single-precision transforms behind small owners. Planning is not thread-safe in FFTW,
// so every plan is made under one lock; executing a plan on arrays of the same size and
// alignment (fftwf_execute_dft and friends) is, and the workers do that on their own buffers.
#pragma once

#include <complex>
#include <cstddef>
#include <memory>
#include <string>

#include <fftw3.h>

namespace sorv {

// An array FFTW can run its vector code on: allocated with fftwf_malloc.
template <typename T>
class FftwBuffer {
public:
    FftwBuffer() = default;
    explicit FftwBuffer(size_t n) : data_(static_cast<T*>(fftwf_malloc(sizeof(T) * (n ? n : 1)))), size_(n) {
        if (!data_) throw std::bad_alloc();
        for (size_t i = 0; i < size_; ++i) data_[i] = T{};
    }
    ~FftwBuffer() { fftwf_free(data_); }
    FftwBuffer(FftwBuffer&& o) noexcept : data_(o.data_), size_(o.size_) {
        o.data_ = nullptr;
        o.size_ = 0;
    }
    FftwBuffer& operator=(FftwBuffer&& o) noexcept {
        std::swap(data_, o.data_);
        std::swap(size_, o.size_);
        return *this;
    }
    FftwBuffer(const FftwBuffer&) = delete;
    FftwBuffer& operator=(const FftwBuffer&) = delete;

    T* data() { return data_; }
    const T* data() const { return data_; }
    size_t size() const { return size_; }
    T& operator[](size_t i) { return data_[i]; }
    const T& operator[](size_t i) const { return data_[i]; }

private:
    T* data_ = nullptr;
    size_t size_ = 0;
};

using ComplexBuffer = FftwBuffer<std::complex<float>>;
using RealBuffer = FftwBuffer<float>;

// One transform of a fixed size and kind, executed on any buffers of that size made by
// FftwBuffer (all are aligned alike).
class FftPlan {
public:
    enum class Kind { Forward, Inverse, ComplexToReal, RealToComplex };
    FftPlan() = default;
    // measure: let FFTW time candidate algorithms (worth it for sizes run thousands of times).
    // Either way a plan kept from an earlier tuning (LoadKeptPlans) is taken when there is one.
    FftPlan(Kind kind, int n, bool measure);
    // Measures candidate algorithms without a time limit, so that FFTW keeps the plan (it
    // keeps none whose measurement was cut short). Thorough: far more of them than `measure`
    // tries, a minute or more for the largest sizes, for a transform up to several times
    // faster. Done once, by TuneSurveyTransforms, and kept.
    static FftPlan Tuned(Kind kind, int n, bool thorough);
    // Whether a plan for this transform was kept (loaded or tuned in this run).
    static bool IsKept(Kind kind, int n);
    ~FftPlan();
    FftPlan(FftPlan&& o) noexcept : plan_(o.plan_), kind_(o.kind_), n_(o.n_) { o.plan_ = nullptr; }
    FftPlan& operator=(FftPlan&& o) noexcept;
    FftPlan(const FftPlan&) = delete;
    FftPlan& operator=(const FftPlan&) = delete;

    int Size() const { return n_; }
    // Complex to complex, n values each (in may equal out).
    void Run(const std::complex<float>* in, std::complex<float>* out) const;
    // Complex to real: n / 2 + 1 values in (destroyed), n out.
    void Run(std::complex<float>* in, float* out) const;
    // Real to complex: n values in, n / 2 + 1 out.
    void Run(float* in, std::complex<float>* out) const;

private:
    FftPlan(Kind kind, int n, unsigned flags, double timeLimit);
    fftwf_plan plan_ = nullptr;
    Kind kind_ = Kind::Forward;
    int n_ = 0;
};

// FFTW's plans, kept in a file between runs ("wisdom"). Loading a file that does not exist is
// no error; the others give a message naming the file. A file another FFTW made (another
// version, or single against double precision) is refused by FFTW and reported.
std::string LoadKeptPlans(const std::string& path);
// Written beside the file first and renamed over it, so that a reader never sees half a file
// and two writers never mix theirs.
std::string SaveKeptPlans(const std::string& path);

}  // namespace sorv
