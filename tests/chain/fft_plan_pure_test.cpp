// SPDX-License-Identifier: GPL-3.0-or-later
#include "chain/fft_plan.h"

#include <gtest/gtest.h>

#include <cmath>
#include <thread>
#include <vector>

#include "base/matrix.h"
#include "base/orvane_error.h"

namespace orvane {
namespace {

// Positive values without a pattern, so that every convolution value is well away from zero and
// a relative comparison means something.
std::vector<double> Signal(int n, double phase) {
    std::vector<double> x(static_cast<size_t>(n));
    for (int k = 0; k < n; ++k)
        x[static_cast<size_t>(k)] = 1.0 + 0.5 * std::sin(0.37 * k + phase) + 0.1 * std::cos(k * k % 97);
    return x;
}

FftBuffer Buffer(const std::vector<double>& values) {
    FftBuffer b(values.size());
    for (size_t i = 0; i < values.size(); ++i) b.Data()[i] = values[i];
    return b;
}

ColumnVector Column(const std::vector<double>& values) {
    ColumnVector c(static_cast<int>(values.size()));
    for (size_t i = 0; i < values.size(); ++i) c.element(static_cast<int>(i)) = values[i];
    return c;
}

// Circular convolution of x and h the way the FFT smoothing does it with the plans.
std::vector<double> ConvolveWithPlan(const std::vector<double>& x, const std::vector<double>& h) {
    const int n = static_cast<int>(x.size());
    const FftPlan& plan = FftPlan::ForLength(n);
    FftBuffer xs(2 * static_cast<size_t>(plan.SpectrumLength()));
    FftBuffer hs(xs.Size());
    plan.Forward(Buffer(x), xs);
    plan.Forward(Buffer(h), hs);
    for (int j = 0; j < plan.SpectrumLength(); ++j) xs.Complex()[j] *= hs.Complex()[j];
    FftBuffer back(x.size());
    plan.Inverse(xs, back);
    std::vector<double> y(x.size());
    for (int k = 0; k < n; ++k) y[static_cast<size_t>(k)] = back.Data()[k] / n;
    return y;
}

// The same convolution with Newmat's transforms, which the smoothing used before.
std::vector<double> ConvolveWithNewmat(const std::vector<double>& x, const std::vector<double>& h) {
    ColumnVector xr, xi, hr, hi, back;
    NEWMAT::RealFFT(Column(x), xr, xi);
    NEWMAT::RealFFT(Column(h), hr, hi);
    ColumnVector re(xr.Nrows()), im(xr.Nrows());
    for (int j = 1; j <= xr.Nrows(); ++j) {
        re(j) = xr(j) * hr(j) - xi(j) * hi(j);
        im(j) = xr(j) * hi(j) + xi(j) * hr(j);
    }
    NEWMAT::RealFFTI(re, im, back);
    return std::vector<double>(back.Store(), back.Store() + back.Nrows());
}

// Lengths of the smoothing grid unpadded (2150), with a large prime factor (2182 = 2 x 1091),
// padded for a window of 31 (2250), and tiny ones where every index is an edge case.
const int kLengths[] = {2, 6, 2150, 2182, 2250, 2304};

TEST(FftPlan, ForwardMatchesNewmatsRealFft) {
    for (int n : kLengths) {
        SCOPED_TRACE(n);
        const std::vector<double> x = Signal(n, 0.3);
        ColumnVector re, im;
        NEWMAT::RealFFT(Column(x), re, im);
        const FftPlan& plan = FftPlan::ForLength(n);
        FftBuffer spectrum(2 * static_cast<size_t>(plan.SpectrumLength()));
        plan.Forward(Buffer(x), spectrum);
        ASSERT_EQ(re.Nrows(), plan.SpectrumLength());
        // Terms of the sums are of order n, so their rounding is relative to that.
        const double tolerance = 1e-12 * n;
        for (int j = 0; j < plan.SpectrumLength(); ++j) {
            EXPECT_NEAR(spectrum.Complex()[j].real(), re.element(j), tolerance) << j;
            EXPECT_NEAR(spectrum.Complex()[j].imag(), im.element(j), tolerance) << j;
        }
    }
}

TEST(FftPlan, ConvolutionEqualsNewmatsWithinRounding) {
    for (int n : kLengths) {
        SCOPED_TRACE(n);
        const std::vector<double> x = Signal(n, 0.0), h = Signal(n, 1.7);
        const std::vector<double> plan = ConvolveWithPlan(x, h), newmat = ConvolveWithNewmat(x, h);
        ASSERT_EQ(plan.size(), newmat.size());
        for (size_t k = 0; k < plan.size(); ++k)
            ASSERT_NEAR(plan[k], newmat[k], 1e-12 * std::fabs(newmat[k])) << k;
    }
}

TEST(FftPlan, InverseOfForwardIsLengthTimesTheSignalAndKeepsTheInput) {
    const int n = 2250;
    const std::vector<double> x = Signal(n, 0.9);
    const FftPlan& plan = FftPlan::ForLength(n);
    const FftBuffer input = Buffer(x);
    FftBuffer spectrum(2 * static_cast<size_t>(plan.SpectrumLength())), back(x.size());
    plan.Forward(input, spectrum);
    plan.Inverse(spectrum, back);
    for (int k = 0; k < n; ++k) {
        ASSERT_EQ(input.Data()[k], x[static_cast<size_t>(k)]) << k;
        ASSERT_NEAR(back.Data()[k] / n, x[static_cast<size_t>(k)], 1e-13) << k;
    }
}

TEST(FftPlan, PlansAreMadeOncePerLengthAndOddLengthsRefused) {
    EXPECT_EQ(&FftPlan::ForLength(2250), &FftPlan::ForLength(2250));
    EXPECT_NE(&FftPlan::ForLength(2250), &FftPlan::ForLength(2160));
    for (int n : {-2, 0, 1, 2151}) EXPECT_THROW(FftPlan::ForLength(n), OrvaneError) << n;
    const FftPlan& plan = FftPlan::ForLength(8);
    FftBuffer shorter(7), spectrum(10);
    EXPECT_THROW(plan.Forward(shorter, spectrum), OrvaneError);
    FftBuffer signal(8), short_spectrum(9);
    EXPECT_THROW(plan.Forward(signal, short_spectrum), OrvaneError);
}

// Threads asking for new lengths at the same time must each get a working plan (the planner
// itself is not reentrant) and compute what one thread computes alone.
TEST(FftPlan, ThreadsPlanAndTransformAtOnce) {
    const std::vector<int> lengths = {1000, 1002, 1004, 1006, 1008, 1010, 1012, 1014};
    std::vector<std::vector<double>> results(lengths.size());
    std::vector<std::thread> threads;
    for (size_t t = 0; t < lengths.size(); ++t)
        threads.emplace_back([&, t] {
            const int n = lengths[t];
            // Every thread also asks for its neighbour's length, so that two threads race for
            // the same new plan.
            FftPlan::ForLength(lengths[(t + 1) % lengths.size()]);
            results[t] = ConvolveWithPlan(Signal(n, 0.1), Signal(n, 0.2));
        });
    for (std::thread& thread : threads) thread.join();
    for (size_t t = 0; t < lengths.size(); ++t) {
        SCOPED_TRACE(lengths[t]);
        const std::vector<double> alone =
            ConvolveWithNewmat(Signal(lengths[t], 0.1), Signal(lengths[t], 0.2));
        for (size_t k = 0; k < alone.size(); ++k)
            ASSERT_NEAR(results[t][k], alone[k], 1e-12 * std::fabs(alone[k])) << k;
    }
}

TEST(FftBuffer, CopiesAreDeepAndMovesLeaveTheSourceEmpty) {
    FftBuffer a(4);
    a.Data()[2] = 7.0;
    FftBuffer b = a;
    b.Data()[2] = 8.0;
    EXPECT_EQ(a.Data()[2], 7.0);
    FftBuffer c = std::move(b);
    EXPECT_EQ(b.Size(), 0u);
    EXPECT_EQ(c.Data()[2], 8.0);
    a = c;
    EXPECT_EQ(a.Data()[2], 8.0);
    EXPECT_NE(a.Data(), c.Data());
}

}  // namespace
}  // namespace orvane
