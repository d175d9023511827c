// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <complex>
#include <cstddef>

namespace orvane {

// Doubles laid out as FFTW's vectorised plans expect them (fftw_malloc's alignment); a plan
// made once for a length may then run on any such buffer.
class FftBuffer {
  public:
    FftBuffer() = default;
    explicit FftBuffer(std::size_t count);
    FftBuffer(const FftBuffer& other);
    FftBuffer(FftBuffer&& other) noexcept;
    FftBuffer& operator=(FftBuffer other) noexcept;
    ~FftBuffer();

    std::size_t Size() const { return size_; }
    double* Data() { return data_; }
    const double* Data() const { return data_; }
    // The same storage read as size / 2 complex numbers (FFTW's fftw_complex layout).
    std::complex<double>* Complex() { return reinterpret_cast<std::complex<double>*>(data_); }
    const std::complex<double>* Complex() const {
        return reinterpret_cast<const std::complex<double>*>(data_);
    }

  private:
    double* data_ = nullptr;
    std::size_t size_ = 0;
};

// The forward (real to half spectrum) and inverse transform of real signals of one even length,
// planned once per length for the whole process and shared: making a plan is slow and FFTW's
// planner must not run on two threads at once, while running a made plan is safe from any
// thread.
//
// Both directions are unnormalised, as in FFTW: Forward gives X(j) = sum_k x(k) e^(-2 pi i j k/n)
// for j = 0..n/2, and Inverse of that half spectrum gives n x(k). (Newmat's RealFFT has the
// same forward sum; its RealFFTI divides by n.) Plans use FFTW_ESTIMATE, which chooses the
// algorithm without timing it, so every run and machine with the same library computes the same
// numbers; measured plans could differ in rounding from one run to the next.
class FftPlan {
  public:
    // The plans for signals of n values; n must be even and at least 2.
    static const FftPlan& ForLength(int n);

    int Length() const { return n_; }
    // Complex values in a half spectrum: n / 2 + 1.
    int SpectrumLength() const { return n_ / 2 + 1; }

    // signal holds at least n doubles, spectrum at least 2 (n / 2 + 1); signal is left as is.
    void Forward(const FftBuffer& signal, FftBuffer& spectrum) const;
    // Overwrites spectrum (FFTW's complex-to-real transforms work in their input).
    void Inverse(FftBuffer& spectrum, FftBuffer& signal) const;

    FftPlan(const FftPlan&) = delete;
    FftPlan& operator=(const FftPlan&) = delete;
    ~FftPlan();

  private:
    explicit FftPlan(int n);
    void Check(const FftBuffer& signal, const FftBuffer& spectrum) const;

    int n_;
    // fftw_plan values, kept opaque so that FFTW's header stays inside this file's source.
    void* forward_ = nullptr;
    void* inverse_ = nullptr;
};

}  // namespace orvane
