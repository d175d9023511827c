// SPDX-License-Identifier: GPL-3.0-or-later
#include "chain/savitzky_golay.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <thread>
#include <utility>
#include <vector>

#include "base/matrix.h"
#include "base/orvane_error.h"
#include "chain/fft_plan.h"
#include "spectra/band_vector.h"
#include "spectra/waveband_filter.h"
#include "support/band_values.h"
#include "support/refusal.h"

namespace orvane {
namespace {

using Int = __int128;
using IntMatrix = std::vector<std::vector<Int>>;

Int Mul(Int a, Int b) {
    Int r = 0;
    if (__builtin_mul_overflow(a, b, &r)) ADD_FAILURE() << "exact reference overflowed";
    return r;
}

// Fraction-free (Bareiss) elimination: every intermediate is a minor, so it stays an integer.
Int Determinant(IntMatrix a) {
    const size_t n = a.size();
    Int previous = 1;
    Int sign = 1;
    for (size_t k = 0; k + 1 < n; ++k) {
        if (a[k][k] == 0) {
            size_t r = k + 1;
            while (r < n && a[r][k] == 0) ++r;
            if (r == n) return 0;
            std::swap(a[k], a[r]);
            sign = -sign;
        }
        for (size_t i = k + 1; i < n; ++i)
            for (size_t j = k + 1; j < n; ++j)
                a[i][j] = (Mul(a[i][j], a[k][k]) - Mul(a[i][k], a[k][j])) / previous;
        previous = a[k][k];
    }
    return sign * a[n - 1][n - 1];
}

Int Power(Int t, int e) {
    Int r = 1;
    while (e-- > 0) r = Mul(r, t);
    return r;
}

// The coefficients from the normal equations, solved exactly by Cramer's rule.
std::vector<double> ExactCoefficients(int nl, int nr, int m, int d, bool times_factorial) {
    const int size = m + 1;
    IntMatrix normal(size, std::vector<Int>(size, 0));
    for (int j = 0; j < size; ++j)
        for (int k = 0; k < size; ++k)
            for (int t = -nl; t <= nr; ++t) normal[j][k] += Power(t, j + k);
    const Int det = Determinant(normal);
    std::vector<Int> z(size);
    for (int j = 0; j < size; ++j) {
        IntMatrix replaced = normal;
        for (int r = 0; r < size; ++r) replaced[r][j] = r == d ? 1 : 0;
        z[j] = Determinant(replaced);
    }
    long double factorial = 1;
    for (int r = 2; r <= d && times_factorial; ++r) factorial *= r;
    std::vector<double> c;
    for (int t = -nl; t <= nr; ++t) {
        Int num = 0;
        for (int j = 0; j < size; ++j) num += Mul(z[j], Power(t, j));
        c.push_back(static_cast<double>(factorial * static_cast<long double>(num) /
                                        static_cast<long double>(det)));
    }
    return c;
}

void ExpectCoefficientsNear(const ColumnVector& c, const std::vector<double>& expected,
                            double relative) {
    ASSERT_EQ(c.Nrows(), static_cast<int>(expected.size()));
    double largest = 0.0;
    for (double v : expected) largest = std::max(largest, std::fabs(v));
    for (int i = 1; i <= c.Nrows(); ++i)
        EXPECT_NEAR(c(i), expected[static_cast<size_t>(i - 1)], relative * largest)
            << "c(" << i << ")";
}

struct Window {
    int nl, nr, m, d;
    bool times_factorial;
};

TEST(SavitzkyGolayCoefficients, MatchExactRationalValuesOnSmallWindows) {
    const Window cases[] = {
        {0, 0, 0, 0, false}, {2, 2, 2, 0, false}, {2, 2, 2, 1, true}, {2, 2, 4, 0, false},
        {3, 3, 4, 0, false}, {3, 3, 3, 2, true},  {4, 4, 5, 3, true}, {4, 4, 4, 4, true},
        {2, 3, 3, 1, true},  {3, 2, 2, 2, true},  {0, 4, 2, 1, true}, {4, 0, 3, 0, false},
        {1, 2, 3, 1, false}, {3, 4, 5, 2, false}};
    for (const Window& w : cases) {
        SCOPED_TRACE(testing::Message()
                     << "nl " << w.nl << " nr " << w.nr << " m " << w.m << " d " << w.d);
        ExpectCoefficientsNear(SavitzkyGolayCoefficients(w.nl, w.nr, w.m, w.d, w.times_factorial),
                               ExactCoefficients(w.nl, w.nr, w.m, w.d, w.times_factorial), 1e-14);
    }
}

TEST(SavitzkyGolayCoefficients, ClassicTables) {
    const struct {
        SavitzkyGolayKernel kernel;
        std::vector<double> expected;
    } cases[] = {
        {SavitzkyGolayKernel::ForSmoothing(5, 2),
         {-3 / 35., 12 / 35., 17 / 35., 12 / 35., -3 / 35.}},
        {SavitzkyGolayKernel::ForDerivative(5, 2, 1), {-0.2, -0.1, 0.0, 0.1, 0.2}},
        {SavitzkyGolayKernel::ForDerivative(5, 2, 2), {2 / 7., -1 / 7., -2 / 7., -1 / 7., 2 / 7.}},
        // Smoothing weights are not multiplied by d!, so the same window halves.
        {SavitzkyGolayKernel(2, 2, 2, 2, SavitzkyGolayKernel::Context::kSmoothing),
         {1 / 7., -0.5 / 7., -1 / 7., -0.5 / 7., 1 / 7.}}};
    for (const auto& test : cases)
        ExpectCoefficientsNear(test.kernel.Coefficients(), test.expected, 1e-15);
}

// Exact values for wide windows and high orders, where the normal equations in double precision
// fail. Made with tests/chain/savitzky_golay_reference.py (exact fractions on the normal
// equations), rounded to the nearest double.
TEST(SavitzkyGolayCoefficients, MatchExactValuesOnWideWindows) {
    const struct {
        int nl, nr, m, d;
        bool times_factorial;
        double largest;
        std::vector<std::pair<int, double>> picks;
    } cases[] = {
        // clang-format off
        {50, 50, 10, 0, false, 0.07270962247077259, {{1, -0.014017404838777416}, {2, 0.004577111784090585}, {33, -0.015993571989876935}, {50, 0.07209077238351995}, {51, 0.07270962247077259}, {52, 0.07209077238351995}, {100, 0.004577111784090585}, {101, -0.014017404838777416}}},
        {100, 100, 20, 0, false, 0.0682444590232307, {{1, 0.005832691873941077}, {2, -0.0077180064190533445}, {67, 0.008826663108433367}, {100, 0.06772564110618315}, {101, 0.0682444590232307}, {102, 0.06772564110618315}, {200, -0.0077180064190533445}, {201, 0.005832691873941077}}},
        {166, 166, 33, 0, false, 0.06415977588004072, {{1, 0.0025665887029651616}, {2, -0.006144257804068114}, {111, -0.0050925492215090455}, {166, 0.06372717008532008}, {167, 0.06415977588004072}, {168, 0.06372717008532008}, {332, -0.006144257804068114}, {333, 0.0025665887029651616}}},
        {166, 166, 33, 1, true, 0.0059894363076387945, {{1, -0.0004892558982695017}, {2, 0.0012691036794913305}, {111, 0.000987619905710368}, {157, -0.0059894363076387945}, {166, -0.0009444617562722268}, {167, 0.0}, {168, 0.0009444617562722268}, {332, -0.0012691036794913305}, {333, 0.0004892558982695017}}},
        {165, 166, 33, 2, true, 0.0008756960849465474, {{1, -0.00011515531197851112}, {2, 0.0002775922885294829}, {110, 0.00018461410846540123}, {165, -0.0008666555546801004}, {166, -0.0008756960849465474}, {167, -0.0008633455647933262}, {331, 0.00022262503076058844}, {332, -9.395402810642181e-05}}},
        {15, 16, 6, 3, true, 0.002726925666167152, {{1, 0.002726925666167152}, {2, -0.0006561226241267188}, {10, 0.002015109827486066}, {15, 0.0004036349250394268}, {16, -0.0002515962089098908}, {17, -0.0008535481456782903}, {31, -1.6229669243251586e-05}, {32, -0.0015005638554400165}}},
        {16, 17, 33, 5, true, 22.37926608663115, {{1, 4.512125973413152e-09}, {2, -1.5854775604362928e-07}, {11, 1.0399268386103824}, {16, -10.158136241710517}, {17, -5.039663902643203}, {18, 19.67750139114768}, {19, -22.37926608663115}, {33, -1.5136515646445195e-07}, {34, 4.3192067791482006e-09}}},
        {20, 20, 33, 0, false, 0.6084214785778126, {{1, 1.12234591363542e-08}, {2, -3.1957323119829594e-07}, {13, -0.010390870766732528}, {20, 0.3004381098911632}, {21, 0.6084214785778126}, {22, 0.3004381098911632}, {40, -3.1957323119829594e-07}, {41, 1.12234591363542e-08}}},
        {10, 10, 20, 10, true, 2276.7668113425925, {{1, -0.0020398366101491102}, {2, 0.04915073352573353}, {7, -294.12726145382396}, {10, 2003.7387596200097}, {11, -2276.7668113425925}, {12, 2003.7387596200097}, {20, 0.04915073352573353}, {21, -0.0020398366101491102}}},
        // clang-format on
    };
    for (const auto& w : cases) {
        SCOPED_TRACE(testing::Message()
                     << "nl " << w.nl << " nr " << w.nr << " m " << w.m << " d " << w.d);
        const ColumnVector c = SavitzkyGolayCoefficients(w.nl, w.nr, w.m, w.d, w.times_factorial);
        for (const auto& [i, value] : w.picks) EXPECT_NEAR(c(i), value, 1e-12 * w.largest) << i;
    }
}

TEST(SavitzkyGolayCoefficients, RefusesSettingsWithoutAFit) {
    // More polynomial terms than points, a derivative above the order, a negative side.
    const Window cases[] = {{2, 2, 5, 0, false}, {2, 2, 2, 3, true}, {-1, 2, 2, 0, false}};
    for (const Window& w : cases)
        EXPECT_THROW(SavitzkyGolayCoefficients(w.nl, w.nr, w.m, w.d, w.times_factorial),
                     OrvaneError);
    EXPECT_TRUE(test::Refuses([] { SavitzkyGolayKernel::ForSmoothing(5, 5); },
                              "too high for a window of 5 bands"));
}

BandVector Grid(double (*f)(double)) {
    BandVector v(SavitzkyGolayKernel::kGridFirst, SavitzkyGolayKernel::kGridCount);
    for (int w = v.First(); w <= v.Last(); ++w) v.Set(w, f(w), w);
    return v;
}

double Smooth(double w) { return 0.35 + 0.2 * std::sin(w / 90.0) + 0.05 * std::cos(w / 17.0); }

using Apply = void (*)(SavitzkyGolayKernel&, const BandVector&, BandVector&, const WavebandFilter&);
void MovingWindow(SavitzkyGolayKernel& k, const BandVector& x, BandVector& y,
                  const WavebandFilter& f) {
    k.ApplyMovingWindow(x, y, f);
}
void Fft(SavitzkyGolayKernel& k, const BandVector& x, BandVector& y, const WavebandFilter& f) {
    if (!k.FftPrepared()) k.PrepareFft();
    k.ApplyFft(x, y, f);
}
const std::pair<const char*, Apply> kMethods[] = {{"moving window", MovingWindow}, {"FFT", Fft}};

TEST(SavitzkyGolayApply, MovingWindowAndFftAgreeAwayFromTheEdges) {
    const BandVector x = Grid(Smooth);
    const WavebandFilter none;
    SavitzkyGolayKernel kernels[] = {
        SavitzkyGolayKernel::ForSmoothing(31, 4), SavitzkyGolayKernel::ForSmoothing(5, 2),
        SavitzkyGolayKernel::ForSmoothing(333, 33), SavitzkyGolayKernel::ForSmoothing(1, 0),
        // An asymmetric window shows whether the transform's kernel is laid out the right way.
        SavitzkyGolayKernel::ForDerivative(6, 3, 1)};
    for (SavitzkyGolayKernel& kernel : kernels) {
        SCOPED_TRACE(testing::Message()
                     << "W " << kernel.Size() << " d " << kernel.DerivativeOrder());
        BandVector mw(x.First(), x.Count()), fft(x.First(), x.Count());
        MovingWindow(kernel, x, mw, none);
        Fft(kernel, x, fft, none);
        EXPECT_EQ(mw.ValidCount(), x.Count() - kernel.Size() + 1);
        EXPECT_EQ(fft.ValidCount(), mw.ValidCount());
        for (int w = x.First(); w <= x.Last(); ++w) {
            ASSERT_TRUE(test::SameValue(fft.Value(w), mw.Value(w), 1e-9)) << w;
            ASSERT_EQ(fft.X(w), w);
        }
    }
}

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

// The convolution FFT smoothing computed with Newmat's transforms before it moved to FFTW,
// value for value on the grid (bands without value count as zero, as they did).
std::vector<double> NewmatFftReference(const SavitzkyGolayKernel& kernel, const BandVector& x) {
    const int m = SavitzkyGolayKernel::FastFftLength(kernel.Size() + x.Count());
    std::vector<double> signal(static_cast<size_t>(m), 0.0), h(signal.size(), 0.0);
    for (int k = 0; k < x.Count(); ++k) {
        const double v = x.Value(x.First() + k);
        signal[static_cast<size_t>(k)] = HasValue(v) ? v : 0.0;
    }
    for (int i = 1; i <= kernel.Size(); ++i)
        h[static_cast<size_t>(((kernel.Left() + 1 - i) % m + m) % m)] = kernel.Coefficients()(i);
    std::vector<double> y = ConvolveWithNewmat(signal, h);
    y.resize(static_cast<size_t>(x.Count()));
    return y;
}

// Transform lengths 2160, 2250, 2304 and 2500 (windows 1 to 333), with bands without value
// inside the spectrum and an excluded range.
TEST(SavitzkyGolayApply, FftSmoothingEqualsTheNewmatTransformsWithinRounding) {
    BandVector x = Grid(Smooth);
    for (int w = 1350; w <= 1450; ++w) x.SetValue(w, kNoValue);
    x.SetValue(700, kNoValue);
    WavebandFilter widened;
    widened.AddRange(1335, 1465);
    const std::pair<int, int> windows[] = {{1, 0}, {5, 2}, {31, 4}, {101, 4}, {333, 33}};
    for (const auto& [size, order] : windows) {
        SavitzkyGolayKernel kernel = SavitzkyGolayKernel::ForSmoothing(size, order);
        kernel.PrepareFft();
        SCOPED_TRACE(testing::Message() << "W " << size << " length " << kernel.FftLength());
        BandVector y(x.First(), x.Count()), mw(x.First(), x.Count());
        kernel.ApplyFft(x, y, widened);
        kernel.ApplyMovingWindow(x, mw, widened);
        const std::vector<double> reference = NewmatFftReference(kernel, x);
        EXPECT_EQ(y.ValidCount(), mw.ValidCount());
        EXPECT_GT(y.ValidCount(), 1000);
        for (int k = 0; k < x.Count(); ++k) {
            const int w = x.First() + k;
            ASSERT_EQ(HasValue(y.Value(w)), HasValue(mw.Value(w))) << w;
            if (!HasValue(y.Value(w))) continue;
            const double expected = reference[static_cast<size_t>(k)];
            ASSERT_NEAR(y.Value(w), expected, 1e-12 * std::fabs(expected)) << w;
        }
    }
}

// A cubic on a 10 nm axis: a first-derivative fit of order 3 returns its exact slope, which
// fails if the coefficients are applied mirrored (the window is asymmetric) or the sum is not
// divided by the spacing.
TEST(SavitzkyGolayApply, DerivativeWindowReturnsTheExactSlopeOfACubic) {
    const auto f = [](double x) { return 1e-7 * (x - 400) * (x - 600) * (x - 900); };
    const auto slope = [](double x) {
        return 1e-7 * ((x - 600) * (x - 900) + (x - 400) * (x - 900) + (x - 400) * (x - 600));
    };
    BandVector x(1, 30), y(1, 30);
    for (int k = 1; k <= 30; ++k) x.Set(k, f(400 + 10 * k), 400 + 10 * k);
    SavitzkyGolayKernel kernel = SavitzkyGolayKernel::ForDerivative(6, 3, 1);
    kernel.ApplyMovingWindow(x, y, WavebandFilter());
    for (int k = 1; k <= 30; ++k) {
        if (k < 3 || k > 27)
            EXPECT_FALSE(HasValue(y.Value(k))) << k;
        else
            EXPECT_NEAR(y.Value(k), slope(x.X(k)), 1e-12) << k;
        EXPECT_EQ(y.X(k), x.X(k));
    }
    EXPECT_EQ(y.ValidCount(), 25);
}

// The default window next to an excluded range, with the filter widened as the chain widens it.
TEST(SavitzkyGolayApply, MarksTheEdgesAndTheWidenedRange) {
    BandVector x = Grid(Smooth);
    for (int w = 1350; w <= 1450; ++w) x.SetValue(w, kNoValue);
    WavebandFilter widened;
    widened.AddRange(1335, 1465);
    widened.AddRange(350, 364);
    widened.AddRange(2485, 2499);
    for (const auto& [name, apply] : kMethods) {
        SCOPED_TRACE(name);
        SavitzkyGolayKernel kernel = SavitzkyGolayKernel::ForSmoothing(31, 4);
        BandVector y(x.First(), x.Count());
        y.FillValues(123.0);
        apply(kernel, x, y, widened);
        for (int w = 350; w <= 2499; ++w) {
            const bool empty = w <= 364 || (w >= 1335 && w <= 1465) || w >= 2485;
            ASSERT_EQ(!HasValue(y.Value(w)), empty) << w;
            ASSERT_EQ(y.X(w), w);
        }
        EXPECT_EQ(y.ValidCount(), 2150 - 15 - 131 - 15);
    }
}

// A band without value that the filter does not cover must not enter a sum.
TEST(SavitzkyGolayApply, BandWithoutValueOutsideTheFilterEmptiesItsWindows) {
    BandVector x = Grid(Smooth);
    x.SetValue(1000, kNoValue);
    for (const auto& [name, apply] : kMethods) {
        SCOPED_TRACE(name);
        SavitzkyGolayKernel kernel = SavitzkyGolayKernel::ForSmoothing(5, 2);
        BandVector y(x.First(), x.Count());
        apply(kernel, x, y, WavebandFilter());
        for (int w = 990; w <= 1010; ++w)
            EXPECT_EQ(!HasValue(y.Value(w)), w >= 998 && w <= 1002) << w;
        EXPECT_EQ(y.ValidCount(), 2150 - 4 - 5);
    }
}

TEST(SavitzkyGolayApply, DerivativeNeedsAFollowingBandAtADistance) {
    BandVector x(1, 5), y(1, 5);
    const double at[] = {500, 510, 510, 530, 540};
    for (int k = 1; k <= 5; ++k) x.Set(k, 0.1 * k, at[k - 1]);
    // Backward-looking window: the last band has no spacing, the second none either (510 twice).
    SavitzkyGolayKernel kernel(1, 0, 1, 1, SavitzkyGolayKernel::Context::kDerivative);
    kernel.ApplyMovingWindow(x, y, WavebandFilter());
    const double expected[] = {kNoValue, kNoValue, 0.1 / 20, 0.1 / 10, kNoValue};
    for (int k = 1; k <= 5; ++k) EXPECT_TRUE(test::SameValue(y.Value(k), expected[k - 1], 1e-15)) << k;
    EXPECT_EQ(y.ValidCount(), 2);
    BandVector shorter(1, 4);
    EXPECT_THROW(kernel.ApplyMovingWindow(x, shorter, WavebandFilter()), OrvaneError);
}

struct DerivativeCase {
    const char* name;
    std::vector<double> x, values;
    int order;
    std::vector<int> excluded;
    std::vector<double> expected;
};

TEST(IterativeDerivative, HandWorkedValues) {
    const double no = kNoValue;
    const DerivativeCase cases[] = {
        {"first order", {450, 550, 650}, {0.1, 0.3, 0.2}, 1, {}, {0.002, -0.001, no}},
        {"second order", {450, 550, 650}, {0.1, 0.3, 0.2}, 2, {}, {-0.00003, no, no}},
        {"order zero keeps values", {450, 550, 650}, {0.1, 0.3, 0.2}, 0, {550}, {0.1, no, 0.2}},
        // clang-format off
        {"each pass divides by the next spacing", {400, 410, 430}, {0.1, 0.2, 0.6}, 2, {}, {0.001, no, no}},
        {"excluded band", {450, 550, 650, 750}, {0.1, 0.3, 0.2, 0.2}, 1, {550}, {0.002, no, 0.0, no}},
        {"unusable element", {450, 550, 650, 750}, {0.1, no, 0.2, 0.4}, 1, {}, {no, no, 0.002, no}},
        {"same wavelength twice", {450, 550, 550, 650}, {0.1, 0.3, 0.4, 0.2}, 1, {}, {0.002, no, -0.002, no}},
        // clang-format on
        {"order beyond the axis", {450, 550}, {0.1, 0.3}, 3, {}, {no, no}},
        // A first difference of exactly -1 is a number like any other.
        {"a difference of -1 is a value", {450, 451, 452}, {0.5, -0.5, -1.5}, 2, {}, {0.0, no, no}}};
    for (const DerivativeCase& c : cases) {
        SCOPED_TRACE(c.name);
        const int n = static_cast<int>(c.x.size());
        BandVector d(7, n);
        for (int k = 0; k < n; ++k) d.Set(7 + k, c.values[k], c.x[k]);
        WavebandFilter widened;
        for (int w : c.excluded) widened.AddBand(w);
        IterativeDerivative(d, c.order, widened);
        int valid = 0;
        for (int k = 0; k < n; ++k) {
            EXPECT_TRUE(test::SameValue(d.Value(7 + k), c.expected[k], 1e-15)) << k;
            EXPECT_EQ(d.X(7 + k), c.x[k]);
            valid += HasValue(c.expected[k]);
        }
        EXPECT_EQ(d.ValidCount(), valid);
    }
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
