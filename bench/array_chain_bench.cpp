// SPDX-License-Identifier: GPL-3.0-or-later
// The chain of chain_bench (a filter of 1350-1450 and 1800-1950 nm, Savitzky-Golay smoothing
// with a moving window of 31 and order 4, a made-up sensor of 200 Gaussian bands of FWHM 10 nm,
// the iterative first derivative, DI on 10 ranges) made without a database and run over
// 100,000 spectra held in one float64 array, on every worker with a chain each, as the Python
// module's Chain.run runs it: bench/python-bench times the module on the same array and
// compares. ORVANE_BENCH_SPECTRA names a file of float64 rows of 2150 values to run instead of
// the spectra made here.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <vector>

#include "base/band_grid.h"
#include "base/parallel.h"
#include "chain/chain_definition.h"
#include "chain/feature_space.h"
#include "chain/processing_chain.h"
#include "spectra/sensor.h"
#include "spectra/spectrum.h"

namespace orvane {
namespace {

constexpr int kRows = 100000;
constexpr int kRowsPerTask = 64;

std::shared_ptr<const CompiledChain> BenchChain() {
    ChainSpec definition;
    definition.study_filter.AddRange(1350, 1450);
    definition.study_filter.AddRange(1800, 1950);
    definition.smoothing.type = 1;
    definition.smoothing.size = 31;
    definition.smoothing.polynomial_order = 4;
    auto sensor = std::make_shared<GaussianSensor>();
    std::vector<SensorElement> elements(200);
    for (int i = 0; i < 200; ++i) {
        elements[static_cast<size_t>(i)].band_no = i + 1;
        elements[static_cast<size_t>(i)].avg_wavelength = 400.0 + 10.0 * i + (i % 3) * 0.3;
        elements[static_cast<size_t>(i)].fwhm = 10.0;
    }
    sensor->Define("Bench 200", "", elements);
    definition.sensor = sensor;
    definition.derivative = DefaultDerivative(1);
    std::vector<FeatureSpace::BandRange> ranges(10);
    for (int r = 0; r < 10; ++r) {
        ranges[static_cast<size_t>(r)].wavelength1 = 420 + r * 190;
        ranges[static_cast<size_t>(r)].wavelength2 = 540 + r * 190;
    }
    auto fs = std::make_shared<FeatureSpace>();
    fs->Define(kFeatureDI, 10, ranges);
    fs->MapToSensor(*sensor);
    definition.feature_space = fs;
    return CompiledChain::Compile(definition);
}

std::vector<double> Spectra() {
    if (const char* path = std::getenv("ORVANE_BENCH_SPECTRA")) {
        std::ifstream in(path, std::ios::binary | std::ios::ate);
        std::vector<double> values(static_cast<size_t>(in.tellg()) / sizeof(double));
        in.seekg(0);
        in.read(reinterpret_cast<char*>(values.data()),
                static_cast<std::streamsize>(values.size() * sizeof(double)));
        return values;
    }
    std::vector<double> values(static_cast<size_t>(kRows) * kSpectrumBands);
    for (int s = 0; s < kRows; ++s)
        for (int k = 0; k < kSpectrumBands; ++k) {
            const double w = kFirstWavelength + k;
            values[static_cast<size_t>(s) * kSpectrumBands + static_cast<size_t>(k)] =
                0.05 + 0.4 / (1.0 + std::exp(-(w - 720.0) / 15.0)) +
                0.002 * std::sin(w / (7.0 + s % 64));
        }
    return values;
}

void BM_ChainOnArray(benchmark::State& state) {
    const std::shared_ptr<const CompiledChain> chain = BenchChain();
    const std::vector<double> spectra = Spectra();
    const size_t rows = spectra.size() / kSpectrumBands;
    std::vector<double> out(rows * 10);
    for (auto _ : state) {
        const size_t tasks = (rows + kRowsPerTask - 1) / kRowsPerTask;
        ChainTeam team(chain);
        team.Prepare(WorkersFor(tasks));
        ParallelFor(tasks, [&](size_t task, int worker) {
            Chain& run = team.For(worker);
            const size_t last = std::min(rows, (task + 1) * kRowsPerTask);
            for (size_t i = task * kRowsPerTask; i < last; ++i) {
                const Matrix& f = run.FeaturesFromGrid(spectra.data() + i * kSpectrumBands);
                for (int r = 0; r < 10; ++r) out[i * 10 + static_cast<size_t>(r)] = f(r + 1, 1);
            }
        });
        benchmark::DoNotOptimize(out.data());
    }
    state.counters["spectra/s"] = benchmark::Counter(static_cast<double>(rows) * state.iterations(),
                                                     benchmark::Counter::kIsRate);
}
BENCHMARK(BM_ChainOnArray)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(5.0);

}  // namespace
}  // namespace orvane

BENCHMARK_MAIN();
