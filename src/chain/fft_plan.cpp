// SPDX-License-Identifier: GPL-3.0-or-later
#include "chain/fft_plan.h"

#include <fftw3.h>

#include <algorithm>
#include <map>
#include <memory>
#include <mutex>
#include <new>
#include <string>
#include <utility>

#include "base/orvane_error.h"

namespace orvane {

FftBuffer::FftBuffer(std::size_t count) : size_(count) {
    if (count == 0) return;
    data_ = static_cast<double*>(fftw_malloc(count * sizeof(double)));
    if (!data_) throw std::bad_alloc();
    std::fill(data_, data_ + count, 0.0);
}

FftBuffer::FftBuffer(const FftBuffer& other) : FftBuffer(other.size_) {
    std::copy(other.data_, other.data_ + other.size_, data_);
}

FftBuffer::FftBuffer(FftBuffer&& other) noexcept
    : data_(std::exchange(other.data_, nullptr)), size_(std::exchange(other.size_, 0)) {}

FftBuffer& FftBuffer::operator=(FftBuffer other) noexcept {
    std::swap(data_, other.data_);
    std::swap(size_, other.size_);
    return *this;
}

FftBuffer::~FftBuffer() { fftw_free(data_); }

const FftPlan& FftPlan::ForLength(int n) {
    if (n < 2 || n % 2 != 0)
        throw OrvaneError("An FFT length must be even and at least 2, not " + std::to_string(n) +
                          ".");
    // Plans live as long as the process: a chain asks for the same one or two lengths again
    // and again, and a plan handed out must never be destroyed under a running transform.
    static std::mutex mutex;
    static std::map<int, std::unique_ptr<FftPlan>> plans;
    const std::lock_guard<std::mutex> lock(mutex);
    std::unique_ptr<FftPlan>& plan = plans[n];
    if (!plan) plan.reset(new FftPlan(n));
    return *plan;
}

FftPlan::FftPlan(int n) : n_(n) {
    // Planned on fftw_malloc'd arrays, so the plans may use vector instructions; FftBuffer
    // gives every later array the same alignment.
    FftBuffer signal(static_cast<std::size_t>(n));
    FftBuffer spectrum(2 * static_cast<std::size_t>(n / 2 + 1));
    auto* complex = reinterpret_cast<fftw_complex*>(spectrum.Data());
    fftw_plan forward = fftw_plan_dft_r2c_1d(n, signal.Data(), complex, FFTW_ESTIMATE);
    fftw_plan inverse = fftw_plan_dft_c2r_1d(n, complex, signal.Data(), FFTW_ESTIMATE);
    if (!forward || !inverse) {
        if (forward) fftw_destroy_plan(forward);
        if (inverse) fftw_destroy_plan(inverse);
        throw OrvaneError("FFTW could not plan a transform of length " + std::to_string(n) + ".");
    }
    forward_ = forward;
    inverse_ = inverse;
}

FftPlan::~FftPlan() {
    fftw_destroy_plan(static_cast<fftw_plan>(forward_));
    fftw_destroy_plan(static_cast<fftw_plan>(inverse_));
}

void FftPlan::Check(const FftBuffer& signal, const FftBuffer& spectrum) const {
    if (signal.Size() < static_cast<std::size_t>(n_) ||
        spectrum.Size() < 2 * static_cast<std::size_t>(SpectrumLength()))
        throw OrvaneError("An FFT buffer is too short for a transform of length " +
                          std::to_string(n_) + ".");
}

void FftPlan::Forward(const FftBuffer& signal, FftBuffer& spectrum) const {
    Check(signal, spectrum);
    // An out-of-place real-to-complex plan leaves its input untouched (FFTW_PRESERVE_INPUT is
    // its default), so casting away const is safe.
    fftw_execute_dft_r2c(static_cast<fftw_plan>(forward_), const_cast<double*>(signal.Data()),
                         reinterpret_cast<fftw_complex*>(spectrum.Data()));
}

void FftPlan::Inverse(FftBuffer& spectrum, FftBuffer& signal) const {
    Check(signal, spectrum);
    fftw_execute_dft_c2r(static_cast<fftw_plan>(inverse_),
                         reinterpret_cast<fftw_complex*>(spectrum.Data()), signal.Data());
}

}  // namespace orvane
