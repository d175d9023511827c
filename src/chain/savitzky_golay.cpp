// SPDX-License-Identifier: GPL-3.0-or-later
#include "chain/savitzky_golay.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "base/orvane_error.h"
#include "spectra/waveband_filter.h"
#include "spectra/band_vector.h"

namespace orvane {

namespace {

void CheckWindow(int nl, int nr, int order, int derivative) {
    if (nl < 0 || nr < 0)
        throw OrvaneError("A Savitzky-Golay window cannot have a negative width.");
    if (order < 0 || derivative < 0) throw OrvaneError("Savitzky-Golay orders cannot be negative.");
    const int size = nl + nr + 1;
    if (order >= size)
        throw OrvaneError("The polynomial order " + std::to_string(order) +
                          " is too high for a window of " + std::to_string(size) +
                          " bands; it must be below the window size.");
    if (derivative > order)
        throw OrvaneError("The derivative order " + std::to_string(derivative) +
                          " is higher than the polynomial order " + std::to_string(order) + ".");
}

double Dot(const double* a, const double* b, int n) {
    double s = 0.0;
    for (int i = 0; i < n; ++i) s += a[i] * b[i];
    return s;
}

// Four doubles; GCC splits it into two halves where the processor has no 256-bit registers.
typedef double Lanes4 __attribute__((vector_size(32)));

// Negative sums as 0 where `clamp` is set; -0 and no value pass as they are.
inline double Clamped(bool clamp, double v) { return clamp && v < 0.0 ? 0.0 : v; }

// sums[k] = c[0] v[k - nl] + ... + c[size - 1] v[k - nl + size - 1] for k in [begin, end).
// Sixteen bands at a time with their sums in registers, each band still adding its products
// in the order c(1)..c(W), so every vector width gives the same sums. Processors with AVX2
// take the wider clone; FMA stays off, so a product is rounded before it is added, as in the
// plain build.
__attribute__((target_clones("avx2", "default"))) void Convolve(const double* values,
                                                                const double* c, int size, int nl,
                                                                int begin, int end, double* sums) {
    constexpr int kVectors = 4;
    constexpr int kBlock = 4 * kVectors;
    int k = begin;
    for (; k + kBlock <= end; k += kBlock) {
        Lanes4 acc[kVectors] = {};
        const double* v = values + (k - nl);
        for (int i = 0; i < size; ++i) {
            const Lanes4 ci = {c[i], c[i], c[i], c[i]};
            for (int q = 0; q < kVectors; ++q) {
                Lanes4 x;
                std::memcpy(&x, v + i + 4 * q, sizeof x);
                acc[q] += ci * x;
            }
        }
        std::memcpy(sums + k, acc, sizeof acc);
    }
    for (; k < end; ++k) {
        double acc = 0.0;
        const double* v = values + (k - nl);
        for (int i = 0; i < size; ++i) acc += c[i] * v[i];
        sums[k] = acc;
    }
}

// The same sums for a window with mirror-equal weights (smoothing with nl = nr): the two bands
// at equal distance from the centre are added first and weighed once, which halves the
// products. The weight of the left band serves both; the computed weights agree to the last
// bit or two, far below what the data carry.
__attribute__((target_clones("avx2", "default"))) void ConvolveSymmetric(const double* values,
                                                                         const double* c, int size,
                                                                         int nl, int begin, int end,
                                                                         double* sums) {
    constexpr int kVectors = 4;
    constexpr int kBlock = 4 * kVectors;
    const int half = size / 2;
    int k = begin;
    for (; k + kBlock <= end; k += kBlock) {
        Lanes4 acc[kVectors] = {};
        const double* v = values + (k - nl);
        for (int i = 0; i < half; ++i) {
            const Lanes4 ci = {c[i], c[i], c[i], c[i]};
            for (int q = 0; q < kVectors; ++q) {
                Lanes4 left;
                Lanes4 right;
                std::memcpy(&left, v + i + 4 * q, sizeof left);
                std::memcpy(&right, v + size - 1 - i + 4 * q, sizeof right);
                acc[q] += ci * (left + right);
            }
        }
        const Lanes4 centre = {c[half], c[half], c[half], c[half]};
        for (int q = 0; q < kVectors; ++q) {
            Lanes4 x;
            std::memcpy(&x, v + half + 4 * q, sizeof x);
            acc[q] += centre * x;
        }
        std::memcpy(sums + k, acc, sizeof acc);
    }
    for (; k < end; ++k) {
        double acc = 0.0;
        const double* v = values + (k - nl);
        for (int i = 0; i < half; ++i) acc += c[i] * (v[i] + v[size - 1 - i]);
        sums[k] = acc + c[half] * v[half];
    }
}

// out[k] = sums[k] (negatives as 0 when clamping) for the bands of [begin, end) whose window
// holds no band without value (m: running counts) and that the filter keeps; no value for the
// others. No branch inside the loop, so that it becomes vector code.
__attribute__((target_clones("avx2", "default"))) void KeepSmoothed(
    const double* sums, const int* m, const unsigned char* excluded, int nl, int nr, int begin,
    int end, bool clamp, double* out) {
    for (int k = begin; k < end; ++k) {
        const bool keep = (m[k + nr + 1] == m[k - nl]) & (excluded[k] == 0);
        out[k] = ValueUnless(!keep, Clamped(clamp, sums[k]));
    }
}

// Whether any of v[begin, end) has no value. Four bands at a time, with no early exit, so
// that it stays vector code: the scan is much cheaper than the running counts it spares.
__attribute__((target_clones("avx2", "default"))) bool AnyMissing(const double* v, int begin,
                                                                  int end) {
    typedef long long Flags4 __attribute__((vector_size(32)));
    Flags4 any = {};
    int k = begin;
    for (; k + 4 <= end; k += 4) {
        Lanes4 x;
        std::memcpy(&x, v + k, sizeof x);
        any |= x != x;
    }
    bool found = (any[0] | any[1] | any[2] | any[3]) != 0;
    for (; k < end; ++k) found |= !HasValue(v[k]);
    return found;
}

// s[k] = v[k], or 0 where v[k] has no value.
__attribute__((target_clones("avx2", "default"))) void ZeroMissing(const double* v, double* s,
                                                                   int n) {
    for (int k = 0; k < n; ++k) s[k] = HasValue(v[k]) ? v[k] : 0.0;
}

// out[k] = sums[k] for k in [begin, end), negative ones as 0 when clamping.
__attribute__((target_clones("avx2", "default"))) void CopyClamped(const double* sums, int begin,
                                                                   int end, bool clamp,
                                                                   double* out) {
    for (int k = begin; k < end; ++k) out[k] = Clamped(clamp, sums[k]);
}

// z *= h for `pairs` complex numbers stored as interleaved real and imaginary parts:
// re = zr hr - zi hi and im = zr hi + zi hr, two at a time in four-wide vectors (the imaginary
// part's two products added in either order give the same bits).
__attribute__((target_clones("avx2", "default"))) void MultiplyComplex(double* z, const double* h,
                                                                       int pairs) {
    int j = 0;
    for (; j + 2 <= pairs; j += 2) {
        Lanes4 zv;
        Lanes4 hv;
        std::memcpy(&zv, z + 2 * j, sizeof zv);
        std::memcpy(&hv, h + 2 * j, sizeof hv);
        // [zr hr, zi hr] and [zi hi, zr hi]
        const Lanes4 a = zv * __builtin_shufflevector(hv, hv, 0, 0, 2, 2);
        const Lanes4 b =
            __builtin_shufflevector(zv, zv, 1, 0, 3, 2) * __builtin_shufflevector(hv, hv, 1, 1, 3, 3);
        const Lanes4 product = __builtin_shufflevector(a - b, a + b, 0, 5, 2, 7);
        std::memcpy(z + 2 * j, &product, sizeof product);
    }
    for (; j < pairs; ++j) {
        double* zj = z + 2 * j;
        const double* hj = h + 2 * j;
        const double re = zj[0] * hj[0] - zj[1] * hj[1];
        zj[1] = zj[0] * hj[1] + zj[1] * hj[0];
        zj[0] = re;
    }
}

bool OnlyFactors235(int n) {
    for (int f : {2, 3, 5})
        while (n % f == 0) n /= f;
    return n == 1;
}

}  // namespace

ColumnVector SavitzkyGolayCoefficients(int nl, int nr, int order, int derivative,
                                       bool times_factorial) {
    CheckWindow(nl, nr, order, derivative);
    const int size = nl + nr + 1;
    const int m = order;
    const int d = derivative;

    std::vector<double> t(static_cast<size_t>(size));
    for (int i = 0; i < size; ++i) t[static_cast<size_t>(i)] = i - nl;

    // Orthonormal vectors q_0..q_m on the window's points, the values of the discrete
    // orthogonal polynomials; the three-term recurrence alone loses orthogonality for high
    // orders, so every new vector is orthogonalised once more against all earlier ones.
    std::vector<double> q(static_cast<size_t>((m + 1) * size));
    std::vector<double> alpha(static_cast<size_t>(m + 1), 0.0);
    std::vector<double> beta(static_cast<size_t>(m + 1), 0.0);
    const auto row = [&q, size](int k) { return q.data() + static_cast<size_t>(k) * size; };
    std::fill(row(0), row(0) + size, 1.0 / std::sqrt(static_cast<double>(size)));
    for (int k = 0; k < m; ++k) {
        const double* qk = row(k);
        double* v = row(k + 1);
        for (int i = 0; i < size; ++i) v[i] = t[static_cast<size_t>(i)] * qk[i];
        const double a = Dot(v, qk, size);
        const double b = beta[static_cast<size_t>(k)];
        for (int i = 0; i < size; ++i) v[i] -= a * qk[i] + (k > 0 ? b * row(k - 1)[i] : 0.0);
        for (int j = 0; j <= k; ++j) {
            const double* qj = row(j);
            const double h = Dot(v, qj, size);
            for (int i = 0; i < size; ++i) v[i] -= h * qj[i];
        }
        const double norm = std::sqrt(Dot(v, v, size));
        if (!(norm > 0.0)) throw OrvaneError("The polynomial order is too high for the window.");
        for (int i = 0; i < size; ++i) v[i] /= norm;
        alpha[static_cast<size_t>(k)] = a;
        beta[static_cast<size_t>(k + 1)] = norm;
    }

    // r-th derivatives of the same polynomials at the centre (t = 0), from the differentiated
    // recurrence: q_{k+1} = ((t - a_k) q_k - b_k q_{k-1}) / b_{k+1}.
    std::vector<double> der(static_cast<size_t>((m + 1) * (d + 1)), 0.0);
    const auto at = [&der, d](int k, int r) -> double& {
        return der[static_cast<size_t>(k * (d + 1) + r)];
    };
    at(0, 0) = 1.0 / std::sqrt(static_cast<double>(size));
    for (int k = 0; k < m; ++k) {
        const double a = alpha[static_cast<size_t>(k)];
        const double b = beta[static_cast<size_t>(k)];
        const double next = beta[static_cast<size_t>(k + 1)];
        for (int r = 0; r <= d; ++r) {
            double v = -a * at(k, r);
            if (r > 0) v += r * at(k, r - 1);
            if (k > 0) v -= b * at(k - 1, r);
            at(k + 1, r) = v / next;
        }
    }

    // The least-squares fit is the orthogonal projection onto q_0..q_m, so the weight of
    // point i in the fit's d-th derivative at the centre is sum_k q_k(i) q_k^(d)(0).
    double scale = 1.0;
    if (!times_factorial)
        for (int r = 2; r <= d; ++r) scale /= r;
    ColumnVector c(size);
    for (int i = 0; i < size; ++i) {
        double s = 0.0;
        for (int k = d; k <= m; ++k) s += row(k)[i] * at(k, d);
        c.element(i) = s * scale;
    }
    return c;
}

SavitzkyGolayKernel::SavitzkyGolayKernel(int nl, int nr, int order, int derivative, Context context)
    : nl_(nl),
      nr_(nr),
      order_(order),
      derivative_(derivative),
      context_(context),
      c_(SavitzkyGolayCoefficients(nl, nr, order, derivative, context == Context::kDerivative)) {}

SavitzkyGolayKernel SavitzkyGolayKernel::ForSmoothing(int size, int order) {
    if (size < 1) throw OrvaneError("A Savitzky-Golay window holds at least one band.");
    // The window is centred, so an even size loses its last band.
    const int half = (size - 1) / 2;
    return SavitzkyGolayKernel(half, half, order, 0, Context::kSmoothing);
}

SavitzkyGolayKernel SavitzkyGolayKernel::ForDerivative(int size, int order, int derivative) {
    if (size < 1) throw OrvaneError("A Savitzky-Golay window holds at least one band.");
    const int nr = size / 2;
    return SavitzkyGolayKernel(size - 1 - nr, nr, order, derivative, Context::kDerivative);
}

int SavitzkyGolayKernel::FastFftLength(int minimum) {
    int n = std::max(minimum, 2);
    if (n % 2 != 0) ++n;
    while (!OnlyFactors235(n)) n += 2;
    return n;
}

void SavitzkyGolayKernel::CheckAxes(const BandVector& x, const BandVector& y) const {
    if (x.First() != y.First() || x.Count() != y.Count())
        throw OrvaneError("Savitzky-Golay input and output must share their band axis.");
}

void SavitzkyGolayKernel::MarkExcluded(const BandVector& x, const WavebandFilter& widened) {
    const double* xs = x.Xs();
    const int n = x.Count();
    // An axis is the 1 nm grid or one sensor's element centres, so its first and last
    // wavelengths and its length tell axes apart; a kernel is rebuilt when the sensor changes.
    const std::array<double, 4> axis = {static_cast<double>(x.First()), static_cast<double>(n),
                                        n > 0 ? xs[0] : 0.0, n > 0 ? xs[n - 1] : 0.0};
    bool same = marked_axis_ == axis && static_cast<int>(marked_filter_.size()) == widened.Count();
    for (int e = 0; same && e < widened.Count(); ++e) {
        const WavebandFilter::Entry& a = widened.At(e);
        const WavebandFilter::Entry& b = marked_filter_[static_cast<size_t>(e)];
        same = a.kind == b.kind && a.lower == b.lower && a.upper == b.upper && a.band == b.band;
    }
    if (same) return;

    excluded_.assign(static_cast<size_t>(n), 0);
    const auto band = [xs](int k) { return static_cast<int>(xs[k]); };
    bool ascending = true;
    for (int k = 1, previous = n > 0 ? band(0) : 0; k < n && ascending; ++k) {
        const int current = band(k);
        ascending = previous <= current;
        previous = current;
    }
    if (!ascending) {
        for (int k = 0; k < n; ++k) excluded_[static_cast<size_t>(k)] = widened.Excludes(band(k));
    } else {
        // On an ascending axis each entry covers one run of bands, found by bisection; asking
        // the filter band by band costs as much as the smoothing itself.
        for (int e = 0; e < widened.Count(); ++e) {
            const WavebandFilter::Entry& entry = widened.At(e);
            const int lower = entry.kind == 1 ? entry.lower : entry.band;
            const int upper = entry.kind == 1 ? entry.upper : entry.band;
            int lo = 0;
            int hi = n;
            while (lo < hi) {
                const int mid = lo + (hi - lo) / 2;
                if (band(mid) < lower)
                    lo = mid + 1;
                else
                    hi = mid;
            }
            for (int k = lo; k < n && band(k) <= upper; ++k) excluded_[static_cast<size_t>(k)] = 1;
        }
    }
    marked_filter_.clear();
    for (int e = 0; e < widened.Count(); ++e) marked_filter_.push_back(widened.At(e));
    marked_axis_ = axis;
    kept_runs_.clear();
    const int end = n - nr_;
    for (int k = std::max(nl_, 0); k < end;) {
        while (k < end && excluded_[static_cast<size_t>(k)]) ++k;
        int run_end = k;
        while (run_end < end && !excluded_[static_cast<size_t>(run_end)]) ++run_end;
        if (k < run_end) kept_runs_.emplace_back(k, run_end);
        k = run_end;
    }
    window_runs_.clear();
    for (const auto& [begin, end] : kept_runs_) {
        if (!window_runs_.empty() && window_runs_.back().second >= begin - nl_)
            window_runs_.back().second = end + nr_;
        else
            window_runs_.emplace_back(begin - nl_, end + nr_);
    }
}

bool SavitzkyGolayKernel::MissingInKeptWindows(const double* in) const {
    for (const auto& [begin, end] : window_runs_)
        if (AnyMissing(in, begin, end)) return true;
    return false;
}

void SavitzkyGolayKernel::CopyAxis(const BandVector& x, BandVector& y) const {
    if (!output_axis_kept_) std::copy(x.Xs(), x.Xs() + x.Count(), y.Xs());
}

void SavitzkyGolayKernel::FillOutsideKeptRuns(double* out, int n) const {
    int done = 0;
    for (const auto& [begin, end] : kept_runs_) {
        std::fill(out + done, out + begin, kNoValue);
        done = end;
    }
    std::fill(out + done, out + n, kNoValue);
}

void SavitzkyGolayKernel::CountMissing(const double* in, int n) {
    missing_before_.resize(static_cast<size_t>(n) + 1);
    CountMissingBefore(in, n, missing_before_.data());
}

void SavitzkyGolayKernel::Fill(const BandVector& x, BandVector& y, const WavebandFilter& widened,
                               const double* sums) {
    MarkExcluded(x, widened);
    const int n = x.Count();
    const double* xs = x.Xs();
    double* out = y.Values();
    CopyAxis(x, y);
    const unsigned char* excluded = excluded_.data();
    const int* m = missing_before_.data();
    const int begin = std::min(nl_, n);
    const int end = std::max(begin, n - nr_);
    std::fill(out, out + begin, kNoValue);
    std::fill(out + end, out + n, kNoValue);
    // A band keeps its sum only when no band of its window is without value (counted with the
    // running totals), whatever the filter says, and the filter keeps it.
    const int nl = nl_;
    const int nr = nr_;
    if (context_ == Context::kDerivative) {
        for (int k = begin; k < end; ++k) {
            const bool keep = m[k + nr + 1] == m[k - nl] && !excluded[k];
            // The last band has no following band to measure the spacing against.
            const double h = k + 1 < n ? xs[k + 1] - xs[k] : 0.0;
            out[k] = keep && h != 0.0 ? sums[k] / h : kNoValue;
        }
    } else {
        KeepSmoothed(sums, m, excluded, nl, nr, begin, end, clamp_negatives_, out);
    }
}

void SavitzkyGolayKernel::ConvolveKeptRuns(const double* values, bool clamp, double* sums) {
    // Bands the widened filter excludes never show their sums, so only the runs between them
    // are convolved.
    const bool symmetric = nl_ == nr_ && derivative_ == 0;
    for (const auto& [begin, end] : kept_runs_) {
        if (symmetric)
            ConvolveSymmetric(values, c_.Store(), Size(), nl_, begin, end, sums);
        else
            Convolve(values, c_.Store(), Size(), nl_, begin, end, sums);
        // A pass of its own over the run, still in the nearest cache: inside the convolution
        // the comparison costs it registers.
        if (clamp) CopyClamped(sums, begin, end, true, sums);
    }
}

void SavitzkyGolayKernel::ApplyMovingWindow(const BandVector& x, BandVector& y,
                                            const WavebandFilter& widened) {
    CheckAxes(x, y);
    const int n = x.Count();
    const double* in = x.Values();
    MarkExcluded(x, widened);
    if (context_ == Context::kSmoothing && !MissingInKeptWindows(in)) {
        // Most spectra have a value at every band the filter keeps: every kept window is
        // complete, so the sums go straight into y, clamped as they are written.
        double* out = y.Values();
        CopyAxis(x, y);
        FillOutsideKeptRuns(out, n);
        ConvolveKeptRuns(in, clamp_negatives_, out);
        return;
    }
    if (static_cast<int>(sums_.size()) != n) sums_.assign(static_cast<size_t>(n), 0.0);
    CountMissing(in, n);
    ConvolveKeptRuns(in, false, sums_.data());
    Fill(x, y, widened, sums_.data());
}

void SavitzkyGolayKernel::PrepareFft() {
    const int length = FastFftLength(Size() + kGridCount);
    const FftPlan& plan = FftPlan::ForLength(length);
    const size_t spectrum_doubles = 2 * static_cast<size_t>(plan.SpectrumLength());
    // Laid out so that the circular convolution computes the same sum as the moving window:
    // c(i) sits at position (nl + 1 - i) modulo the length. For the symmetric smoothing
    // coefficients this is the usual wrap-around order.
    FftBuffer kernel(static_cast<size_t>(length));
    for (int i = 1; i <= Size(); ++i) {
        const int pos = ((nl_ + 1 - i) % length + length) % length;
        kernel.Data()[pos] = c_(i);
    }
    FftBuffer kernel_spectrum(spectrum_doubles);
    plan.Forward(kernel, kernel_spectrum);
    const double scale = 1.0 / length;
    for (size_t j = 0; j < spectrum_doubles; ++j) kernel_spectrum.Data()[j] *= scale;
    kernel_spectrum_ = std::move(kernel_spectrum);
    signal_ = FftBuffer(static_cast<size_t>(length));
    spectrum_ = FftBuffer(spectrum_doubles);
    fft_plan_ = &plan;
    fft_length_ = length;
}

void SavitzkyGolayKernel::ApplyFft(const BandVector& x, BandVector& y,
                                   const WavebandFilter& widened) {
    if (!FftPrepared()) throw OrvaneError("The Savitzky-Golay FFT kernel has not been prepared.");
    CheckAxes(x, y);
    if (x.First() != kGridFirst || x.Count() != kGridCount)
        throw OrvaneError("FFT smoothing works on the 1 nm grid from 350 to 2499 nm only.");

    // Bands without value enter the convolution as zero. The padding is zeroed again because
    // the previous inverse transform wrote its result into the same buffer, which keeps one
    // buffer fewer in the cache.
    const double* in = x.Values();
    double* s = signal_.Data();
    ZeroMissing(in, s, kGridCount);
    std::fill(s + kGridCount, s + fft_length_, 0.0);

    fft_plan_->Forward(signal_, spectrum_);
    // Written out rather than with std::complex, whose product checks every result for
    // infinities and NaN.
    MultiplyComplex(spectrum_.Data(), kernel_spectrum_.Data(), fft_plan_->SpectrumLength());
    fft_plan_->Inverse(spectrum_, signal_);

    MarkExcluded(x, widened);
    const double* sums = signal_.Data();
    if (context_ == Context::kSmoothing && !MissingInKeptWindows(in)) {
        // Every kept window is complete (see ApplyMovingWindow).
        double* out = y.Values();
        CopyAxis(x, y);
        FillOutsideKeptRuns(out, kGridCount);
        for (const auto& [begin, end] : kept_runs_)
            CopyClamped(sums, begin, end, clamp_negatives_, out);
        return;
    }
    CountMissing(in, kGridCount);
    Fill(x, y, widened, sums);
}

void IterativeDerivative(BandVector& d, int order, const WavebandFilter& widened) {
    std::vector<unsigned char> excluded(static_cast<size_t>(d.Count()));
    for (int k = d.First(); k <= d.Last(); ++k)
        excluded[static_cast<size_t>(k - d.First())] = widened.Excludes(static_cast<int>(d.X(k)));
    IterativeDerivative(d, order, excluded.data());
}

void IterativeDerivative(BandVector& d, int order, const unsigned char* excluded) {
    if (order < 0) throw OrvaneError("The derivative order cannot be negative.");
    const int first = d.First();
    const int last = d.Last();
    if (d.Count() == 0) return;
    double* v = d.Values();
    const double* x = d.Xs();
    const int n = d.Count();
    for (int pass = 1; pass <= order; ++pass) {
        for (int k = 0; k < n - pass; ++k) {
            const double h = x[k + 1] - x[k];
            // A missing band is NaN, which the difference carries on by itself.
            v[k] = h == 0.0 ? kNoValue : (v[k + 1] - v[k]) / h;
        }
    }
    int valid = 0;
    for (int k = 0; k < n; ++k) {
        // The last bands keep lower-order differences from earlier passes; they have no n-th
        // difference of their own.
        if (first + k > last - order || excluded[k]) v[k] = kNoValue;
        valid += HasValue(v[k]);
    }
    d.SetValidCount(valid);
}

}  // namespace orvane
