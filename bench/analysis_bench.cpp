// SPDX-License-Identifier: GPL-3.0-or-later
// The principal component analysis of 10,000 stored spectra (50 species x 10 sites x 20
// spectra) at the derived stage of EnMAP's 242 bands, its two eigen-decompositions side by
// side, and the separability table of 50 library classes with 20 DI features. Needs a MariaDB
// server: ORVANE_BENCH_CONFIG names its spectra_config.txt (see README.md).
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <string>

#include "base/frontend.h"
#include "base/matrix_stats.h"
#include "base/orvane_error.h"
#include "chain/chain_options.h"
#include "stats/principal_components.h"
#include "stats/separability.h"
#include "stats/spectral_statistics.h"
#include "study/sensor_import.h"
#include "study/study_loader.h"
#include "support/bench_study.h"

namespace orvane::bench {
namespace {

constexpr BenchLayout kLayout{50, 10, 20};

BenchStudy* g_study = nullptr;
SpectralStatistics* g_library = nullptr;
SymmetricMatrix* g_covariance = nullptr;

void BM_Pca(benchmark::State& state) {
    SilentFrontend quiet;
    int bands = 0;
    for (auto _ : state)
        bands = RunPca(g_study->Session(), g_study->Loader(), g_study->Output(), quiet).bands;
    state.counters["bands"] = bands;
    state.counters["spectra_per_second"] = benchmark::Counter(
        static_cast<double>(kLayout.Total()) * static_cast<double>(state.iterations()),
        benchmark::Counter::kIsRate);
}
BENCHMARK(BM_Pca)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(10.0);

void BM_CovarianceOfColumns(benchmark::State& state) {
    Matrix x(static_cast<int>(state.range(0)), kLayout.Total());
    for (int r = 1; r <= x.Nrows(); ++r)
        for (int c = 1; c <= x.Ncols(); ++c) x(r, c) = std::sin(r * 0.37 + c * 0.011 * r);
    for (auto _ : state) benchmark::DoNotOptimize(CovarianceOfColumns(x));
}
BENCHMARK(BM_CovarianceOfColumns)->Arg(242)->Unit(benchmark::kMillisecond);

// Householder tridiagonalisation with QL iterations, the decomposition the analysis uses.
void BM_EigenValues(benchmark::State& state) {
    DiagonalMatrix d;
    Matrix v;
    for (auto _ : state) NEWMAT::EigenValues(*g_covariance, d, v);
}
BENCHMARK(BM_EigenValues)->Unit(benchmark::kMillisecond);

// Cyclic Jacobi rotations: the same decomposition, for comparison.
void BM_Jacobi(benchmark::State& state) {
    DiagonalMatrix d;
    Matrix v;
    for (auto _ : state) NEWMAT::Jacobi(*g_covariance, d, v);
}
BENCHMARK(BM_Jacobi)->Unit(benchmark::kMillisecond);

void BM_SeparabilityReport(benchmark::State& state) {
    SilentFrontend quiet;
    for (auto _ : state) {
        if (SeparabilityReport(*g_library, g_study->Output(), quiet, SeparabilitySettings())
                .path.empty())
            state.SkipWithError("no table written");
    }
    state.counters["classes"] = g_library->ClassCount();
    state.counters["dimension"] = g_library->Dimension();
}
BENCHMARK(BM_SeparabilityReport)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
}  // namespace orvane::bench

int main(int argc, char** argv) {
    using namespace orvane;
    using namespace orvane::bench;
    return RunOnBenchStudy(argc, argv, "analysis_bench", kLayout, [](BenchStudy& study) {
        Database& db = study.Session().Db();
        db.Execute(
            "insert into feature_space (name, description, dimension, fs_type_id, build_date) "
            "values ('bench DI 20', '', 20, (select fs_type_id from feature_space_type where "
            "type = 0), current_timestamp(6))");
        const int fs = static_cast<int>(db.InsertId());
        std::string ranges;
        for (int i = 0; i < 20; ++i)
            ranges += Sql("%s(%i, %i, %i)", i ? ", " : "", 420 + 95 * i, 520 + 95 * i, fs);
        db.Execute("insert into band_range (band1, band2, feature_space_id) values " + ranges);
        SilentFrontend quiet;
        ImportSensor(study.Session(), quiet,
                     std::string(ORVANE_SOURCE_DIR) + "/data/sensors/enmap.txt", 0);
        ChainOptions chain;
        chain.study = std::to_string(study.StudyId());
        chain.sensor = "EnMAP HSI";
        chain.derivative_order = 1;
        chain.feature_space_type = 0;
        chain.feature_space = std::to_string(fs);
        ApplyChainOptions(study.Session(), chain);

        const PcaResult pca = RunPca(study.Session(), study.Loader(), study.Output(), quiet);
        SymmetricMatrix covariance(pca.bands);
        covariance << CovarianceOfColumns(pca.data);
        SpectralStatistics library(study.Session(), study.Loader());
        if (!library.BuildLibrary(quiet)) throw OrvaneError("no DI feature space for the library");
        g_study = &study;
        g_library = &library;
        g_covariance = &covariance;
        benchmark::RunSpecifiedBenchmarks();
        g_covariance = nullptr;
        g_library = nullptr;
        g_study = nullptr;
    });
}
