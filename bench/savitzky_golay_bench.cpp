// SPDX-License-Identifier: GPL-3.0-or-later
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <new>

#include "chain/fft_plan.h"
#include "chain/savitzky_golay.h"
#include "spectra/waveband_filter.h"
#include "spectra/band_vector.h"
#include "support/allocation_counter.h"

namespace orvane {
namespace {

BandVector FilteredSpectrum() {
    BandVector x(SavitzkyGolayKernel::kGridFirst, SavitzkyGolayKernel::kGridCount);
    for (int w = x.First(); w <= x.Last(); ++w) {
        const bool excluded = (w >= 1350 && w <= 1450) || (w >= 1800 && w <= 1950);
        x.Set(w, excluded ? kNoValue : 0.3 + 0.2 * std::sin(w / 90.0), w);
    }
    return x;
}

// The two excluded ranges widened for a window of 31, with the ends of the grid.
WavebandFilter WidenedFilter() {
    WavebandFilter f;
    f.AddRange(1335, 1465);
    f.AddRange(1785, 1965);
    f.AddRange(350, 364);
    f.AddRange(2485, 2499);
    return f;
}

void SetCounters(benchmark::State& state, long allocations) {
    state.counters["spectra/s"] =
        benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
    state.counters["allocs/spectrum"] =
        static_cast<double>(allocations) / static_cast<double>(state.iterations());
}

void BM_MovingWindow(benchmark::State& state) {
    const BandVector x = FilteredSpectrum();
    BandVector y(x.First(), x.Count());
    const WavebandFilter filter = WidenedFilter();
    // A window of one band measures the fixed cost per spectrum.
    const int size = static_cast<int>(state.range(0));
    SavitzkyGolayKernel kernel = SavitzkyGolayKernel::ForSmoothing(size, std::min(4, size - 1));
    const long before = bench::AllocationCount();
    for (auto _ : state) {
        kernel.ApplyMovingWindow(x, y, filter);
        benchmark::DoNotOptimize(y.ValidCount());
    }
    SetCounters(state, bench::AllocationCount() - before);
}
BENCHMARK(BM_MovingWindow)->Arg(1)->Arg(31)->Arg(101);

void BM_Fft(benchmark::State& state) {
    const BandVector x = FilteredSpectrum();
    BandVector y(x.First(), x.Count());
    const WavebandFilter filter = WidenedFilter();
    const int size = static_cast<int>(state.range(0));
    SavitzkyGolayKernel kernel = SavitzkyGolayKernel::ForSmoothing(size, std::min(4, size - 1));
    kernel.PrepareFft();
    state.SetLabel("length " + std::to_string(kernel.FftLength()));
    const long before = bench::AllocationCount();
    for (auto _ : state) {
        kernel.ApplyFft(x, y, filter);
        benchmark::DoNotOptimize(y.ValidCount());
    }
    SetCounters(state, bench::AllocationCount() - before);
}
BENCHMARK(BM_Fft)->Arg(31)->Arg(101);

// The bare transform pair at the unpadded length of a 31-band window and at fast lengths.
void BM_TransformPair(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    ColumnVector signal(n), re, im, back;
    for (int i = 1; i <= n; ++i) signal(i) = std::sin(i / 40.0);
    for (auto _ : state) {
        NEWMAT::RealFFT(signal, re, im);
        NEWMAT::RealFFTI(re, im, back);
        benchmark::DoNotOptimize(back.Store());
    }
}
BENCHMARK(BM_TransformPair)->Arg(2182)->Arg(2250)->Arg(2304)->Unit(benchmark::kMicrosecond);

// The same pair with the FFTW plans the smoothing uses, made before the timing starts.
void BM_PlannedTransformPair(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    const FftPlan& plan = FftPlan::ForLength(n);
    FftBuffer signal(static_cast<size_t>(n)), spectrum(2 * static_cast<size_t>(plan.SpectrumLength())),
        back(static_cast<size_t>(n));
    for (int i = 0; i < n; ++i) signal.Data()[i] = std::sin((i + 1) / 40.0);
    for (auto _ : state) {
        plan.Forward(signal, spectrum);
        plan.Inverse(spectrum, back);
        benchmark::DoNotOptimize(back.Data());
    }
}
BENCHMARK(BM_PlannedTransformPair)
    ->Arg(2150)
    ->Arg(2182)
    ->Arg(2250)
    ->Arg(2304)
    ->Unit(benchmark::kMicrosecond);

void BM_Coefficients(benchmark::State& state) {
    const int size = static_cast<int>(state.range(0));
    const int order = static_cast<int>(state.range(1));
    for (auto _ : state) {
        SavitzkyGolayKernel kernel = SavitzkyGolayKernel::ForSmoothing(size, order);
        kernel.PrepareFft();
        benchmark::DoNotOptimize(kernel.Coefficients().Store());
    }
}
BENCHMARK(BM_Coefficients)->Args({31, 4})->Args({333, 33})->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace orvane

BENCHMARK_MAIN();
