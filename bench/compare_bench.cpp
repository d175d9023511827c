// SPDX-License-Identifier: GPL-3.0-or-later
// The comparison of Sentinel-2A, Landsat 8 and EnMAP on the demo study (examples/demo-study,
// 149 spectra of four classes) in the seeded "Vegetation indices" feature space: the first
// run builds the three libraries, the timed runs reuse them. Needs a MariaDB server:
// ORVANE_BENCH_CONFIG names its spectra_config.txt (see README.md).
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "base/frontend.h"
#include "base/orvane_error.h"
#include "chain/chain_options.h"
#include "stats/sensor_comparison.h"
#include "study/sensor_import.h"
#include "study/spectra_import.h"
#include "study/study_management.h"
#include "support/bench_study.h"

namespace orvane::bench {
namespace {

BenchStudy* g_study = nullptr;
SensorComparisonOptions* g_options = nullptr;

void BM_CompareThreeSensors(benchmark::State& state) {
    SilentFrontend quiet;
    for (auto _ : state) {
        const SensorComparison table = CompareSensors(g_study->Session(), g_study->Loader(),
                                                      g_study->Output(), quiet, *g_options);
        if (table.path.empty()) state.SkipWithError("no table written");
    }
}
BENCHMARK(BM_CompareThreeSensors)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
}  // namespace orvane::bench

int main(int argc, char** argv) {
    using namespace orvane;
    using namespace orvane::bench;
    // The scratch study of the harness stays empty; the demo study is imported beside it.
    return RunOnBenchStudy(argc, argv, "compare_bench", BenchLayout{1, 1, 1}, [](BenchStudy& study) {
        ProcessingSession& session = study.Session();
        SilentFrontend quiet;
        StudyFields fields;
        fields.name = "Demo study";
        fields.data_path = std::string(ORVANE_SOURCE_DIR) + "/examples/demo-study";
        fields.min_samples = 15;
        const int demo = StudyManagement(session, quiet).CreateStudy(fields);
        SpectraImport(session, quiet).ImportStudySpectra(demo, fields.data_path);
        std::vector<int> sensors;
        for (const char* file : {"sentinel2a_msi.txt", "landsat8_oli.txt", "enmap.txt"})
            sensors.push_back(ImportSensor(session, quiet,
                                           std::string(ORVANE_SOURCE_DIR) + "/data/sensors/" + file,
                                           0));
        Database& db = session.Db();
        db.Execute(
            "insert into feature_space (name, description, dimension, fs_type_id, build_date) "
            "values ('Vegetation indices', '', 4, (select fs_type_id from feature_space_type "
            "where type = 1), current_timestamp(6))");
        const int fs = static_cast<int>(db.InsertId());
        db.Execute(Sql("insert into band_range (feature_space_id, band1, band2) values (%i, 660, "
                       "860), (%i, 560, 860), (%i, 860, 1610), (%i, 1610, 2200)",
                       fs, fs, fs, fs));
        ChainOptions chain;
        chain.study = std::to_string(demo);
        chain.sensor = std::to_string(sensors.front());
        chain.feature_space_type = 1;
        chain.feature_space = std::to_string(fs);
        ApplyChainOptions(session, chain);
        study.Loader().SetStudy(demo);
        SensorComparisonOptions options;
        options.sensor_ids = sensors;
        // The first comparison builds every library; its time is the figure a new user meets.
        const auto start = std::chrono::steady_clock::now();
        const SensorComparison first =
            CompareSensors(session, study.Loader(), study.Output(), quiet, options);
        const double seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        std::printf("first comparison, building 3 libraries: %.2f s\n", seconds);
        for (const SensorComparisonRow& row : first.rows)
            std::printf("  %-18s %6.2f %%  kappa %.4f  min JM %.4f (%s / %s)  mean JM %.4f\n",
                        row.sensor.c_str(), row.overall_accuracy, row.kappa, row.min_jm,
                        row.closest_first.c_str(), row.closest_second.c_str(), row.mean_jm);
        g_study = &study;
        g_options = &options;
        benchmark::RunSpecifiedBenchmarks();
        g_options = nullptr;
        g_study = nullptr;
    });
}
