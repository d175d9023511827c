// SPDX-License-Identifier: GPL-3.0-or-later
// Library build and discriminant analysis over a study of 10,000 stored spectra (50 species x
// 10 sites x 20 spectra) with DI features of dimension 6 on Sentinel-2A's bands. Needs a
// MariaDB server: ORVANE_BENCH_CONFIG names its spectra_config.txt (see README.md).
#include <benchmark/benchmark.h>

#include <string>

#include "chain/chain_options.h"
#include "base/frontend.h"
#include "study/sensor_import.h"
#include "study/study_loader.h"
#include "stats/discriminant_analysis.h"
#include "stats/spectral_statistics.h"
#include "support/bench_study.h"

namespace orvane::bench {
namespace {

constexpr BenchLayout kLayout{50, 10, 20};

BenchStudy* g_study = nullptr;
SpectralStatistics* g_library = nullptr;

void BM_BuildLibrary(benchmark::State& state) {
    SilentFrontend quiet;
    for (auto _ : state) {
        if (!g_library->BuildLibrary(quiet)) state.SkipWithError("no feature space");
    }
    if (g_library->ClassCount() != kLayout.species) state.SkipWithError("classes missing");
    state.counters["spectra_per_second"] = benchmark::Counter(
        static_cast<double>(kLayout.Total()) * static_cast<double>(state.iterations()),
        benchmark::Counter::kIsRate);
}
BENCHMARK(BM_BuildLibrary)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(5.0);

void BM_DiscriminantAnalysis(benchmark::State& state) {
    SilentFrontend quiet;
    double accuracy = 0.0;
    for (auto _ : state) {
        accuracy =
            RunDiscriminantAnalysis(*g_library, g_study->Loader(), g_study->Output(), quiet, 3).overall_accuracy;
    }
    state.counters["spectra_per_second"] = benchmark::Counter(
        static_cast<double>(kLayout.Total()) * static_cast<double>(state.iterations()),
        benchmark::Counter::kIsRate);
    state.counters["overall_accuracy"] = accuracy;
}
BENCHMARK(BM_DiscriminantAnalysis)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(5.0);

}  // namespace
}  // namespace orvane::bench

int main(int argc, char** argv) {
    using namespace orvane;
    using namespace orvane::bench;
    return RunOnBenchStudy(argc, argv, "library_bench", kLayout, [](BenchStudy& study) {
        Database& db = study.Session().Db();
        db.Execute(
            "insert into feature_space (name, description, dimension, fs_type_id, build_date) "
            "values ('bench DI', '', 6, (select fs_type_id from feature_space_type where type = "
            "0), current_timestamp(6))");
        const int fs = static_cast<int>(db.InsertId());
        db.Execute(
            Sql("insert into band_range (band1, band2, feature_space_id) values (440, 500, "
                "%i), (490, 600, %i), (560, 700, %i), (660, 750, %i), (700, 800, %i), "
                "(780, 950, %i)",
                fs, fs, fs, fs, fs, fs));
        SilentFrontend quiet;
        ImportSensor(study.Session(), quiet,
                     std::string(ORVANE_SOURCE_DIR) + "/data/sensors/sentinel2a_msi.txt", 0);
        ChainOptions chain;
        chain.study = std::to_string(study.StudyId());
        chain.feature_space_type = 0;
        chain.feature_space = std::to_string(fs);
        ApplyChainOptions(study.Session(), chain);
        SpectralStatistics library(study.Session(), study.Loader());
        g_study = &study;
        g_library = &library;
        benchmark::RunSpecifiedBenchmarks();
        g_library = nullptr;
        g_study = nullptr;
    });
}
