// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <array>
#include <utility>
#include <vector>

#include "base/band_grid.h"
#include "chain/fft_plan.h"
#include "spectra/waveband_filter.h"
#include "base/matrix.h"

namespace orvane {

class BandVector;
class WavebandFilter;

// The numbers behind Savitzky-Golay smoothing and derivatives, free of the database and the
// session: coefficients, their moving-window and FFT application, and the iterative derivative.
//
// Window: nl bands left of the centre, nr bands right of it, W = nl + nr + 1; coefficient c(i),
// i = 1..W, multiplies the value of band k - nl + i - 1 when the output band is k. A band whose
// window holds a band without value (kNoValue) gets no value itself, as does a band the given
// widened filter excludes (its x value truncated) and a band too close to either end.
class SavitzkyGolayKernel {
  public:
    // Smoothing (c(i) is the weight of the fitted value) or derivative (the weight of the d-th
    // derivative of the fit at the centre, i.e. the smoothing-style coefficient times d!; the
    // window sum is then divided by the spacing to the next band).
    enum class Context { kSmoothing, kDerivative };

    // The 1 nm grid the FFT variant works on.
    static constexpr int kGridFirst = kFirstWavelength;
    static constexpr int kGridCount = kSpectrumBands;

    // Throws OrvaneError for negative widths or orders, a derivative order above the polynomial
    // order, and a polynomial order the window cannot support (m >= W: the fit is singular).
    SavitzkyGolayKernel(int nl, int nr, int order, int derivative, Context context);

    // Half-widths used by the smoothing step: a window of W bands centred on the band.
    static SavitzkyGolayKernel ForSmoothing(int size, int order);
    // Half-widths used by the derivative step: nr = W / 2, nl = W - 1 - nr.
    static SavitzkyGolayKernel ForDerivative(int size, int order, int derivative);

    int Left() const { return nl_; }
    int Right() const { return nr_; }
    int Size() const { return nl_ + nr_ + 1; }
    int Order() const { return order_; }
    int DerivativeOrder() const { return derivative_; }
    Context GetContext() const { return context_; }
    // c(1..W).
    const ColumnVector& Coefficients() const { return c_; }

    // y gets x's axis (same first index and count required) and x values; every band that
    // cannot carry a result is kNoValue. Sets y's valid count. Reuses work space sized at the
    // first call for an axis length, so later calls allocate nothing (and one kernel must not
    // be applied from two threads).
    void ApplyMovingWindow(const BandVector& x, BandVector& y, const WavebandFilter& widened);

    // Computes the kernel's spectrum for signals of kGridCount values and sizes the work space;
    // call once per settings change, before ApplyFft.
    void PrepareFft();
    bool FftPrepared() const { return fft_length_ > 0; }
    int FftLength() const { return fft_length_; }
    // The same result as ApplyMovingWindow (to rounding) for x on the 1 nm grid, by circular
    // convolution. Reuses the work space and the length's shared plans; allocates nothing.
    void ApplyFft(const BandVector& x, BandVector& y, const WavebandFilter& widened);

    // The smallest even length >= minimum whose only prime factors are 2, 3 and 5; the
    // transform is many times slower when the length has a large prime factor.
    static int FastFftLength(int minimum);

    // Negative smoothed reflectances are noise around zero: with this set, Apply writes them
    // as 0.
    void SetClampNegatives(bool clamp) { clamp_negatives_ = clamp; }
    // With this set, Apply leaves y's x values as they are: the caller keeps them equal to
    // x's (the smoothing step's stages, both on the 1 nm grid), and copying them costs as
    // much as the smoothing's bookkeeping.
    void SetOutputAxisKept(bool kept) { output_axis_kept_ = kept; }

  private:
    void CheckAxes(const BandVector& x, const BandVector& y) const;
    // Flags, per band, whether the widened filter excludes its x value truncated.
    void MarkExcluded(const BandVector& x, const WavebandFilter& widened);
    // Writes the window sums (indexed by position on the axis) into y where a band may carry a
    // value, and no value everywhere else.
    void Fill(const BandVector& x, BandVector& y, const WavebandFilter& widened,
              const double* sums);
    // The window sums of the kept runs of `values` into sums (by position), negative ones as
    // 0 when clamping.
    void ConvolveKeptRuns(const double* values, bool clamp, double* sums);
    // Whether a band that some kept window covers has no value (MarkExcluded first).
    bool MissingInKeptWindows(const double* in) const;
    // y's x values from x unless the caller keeps them.
    void CopyAxis(const BandVector& x, BandVector& y) const;
    // No value at every position of out[0, n) outside the kept runs.
    void FillOutsideKeptRuns(double* out, int n) const;
    // Running totals of bands without value (missing_before_[k] counts bands 0..k-1).
    void CountMissing(const double* in, int n);

    int nl_;
    int nr_;
    int order_;
    int derivative_;
    Context context_;
    bool clamp_negatives_ = false;
    bool output_axis_kept_ = false;
    ColumnVector c_;
    std::vector<double> sums_;
    std::vector<unsigned char> excluded_;
    // What the exclusion flags were computed for: they depend only on the filter and the axis,
    // which change with the settings, not from spectrum to spectrum.
    std::vector<WavebandFilter::Entry> marked_filter_;
    std::array<double, 4> marked_axis_{};
    // The runs [begin, end) of window centres the filter keeps, for the convolution.
    std::vector<std::pair<int, int>> kept_runs_;
    // The bands those centres' windows cover, as runs [begin, end) of positions.
    std::vector<std::pair<int, int>> window_runs_;
    std::vector<int> missing_before_;

    int fft_length_ = 0;
    const FftPlan* fft_plan_ = nullptr;
    // The kernel's half spectrum already divided by the length, which the inverse transform
    // leaves out; then the work space of one spectrum (the inverse writes into signal_).
    FftBuffer kernel_spectrum_, signal_, spectrum_;
};

// Savitzky-Golay coefficients c(1..W) for the window (nl, nr), polynomial order m and
// derivative order d: the weights giving the d-th polynomial coefficient of the least-squares
// fit at the centre, multiplied by d! when times_factorial is set. Computed with discrete
// orthogonal polynomials on the window's points, which stays accurate for wide windows and high
// orders where the normal equations lose every digit.
ColumnVector SavitzkyGolayCoefficients(int nl, int nr, int order, int derivative,
                                       bool times_factorial);

// Replaces the values of d (a copy of the synthesized stage) in place by the n-th forward
// difference quotient anchored at each band, repeating the first difference
// (d(k + 1) - d(k)) / (x(k + 1) - x(k)) n times. A difference that involves a band without
// value, or two bands at the same wavelength, has no value; so do the last n bands and every
// band the widened filter excludes. Sets d's valid count.
void IterativeDerivative(BandVector& d, int order, const WavebandFilter& widened);
// The same with the filter's verdict already taken, one flag per band of d (1 excluded).
void IterativeDerivative(BandVector& d, int order, const unsigned char* excluded);

}  // namespace orvane
