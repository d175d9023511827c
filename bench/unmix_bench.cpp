// SPDX-License-Identifier: GPL-3.0-or-later
// Linear unmixing of 100 mixture species against 4 endmember species (10 spectra each: 2 sites
// of 5) on Sentinel-2A's bands, with the recorded fractions of every mixture. Needs a MariaDB
// server: ORVANE_BENCH_CONFIG names its spectra_config.txt (see README.md).
#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "base/frontend.h"
#include "chain/chain_options.h"
#include "stats/linear_unmixing.h"
#include "store/database.h"
#include "study/sensor_import.h"
#include "support/bench_study.h"

namespace orvane::bench {
namespace {

constexpr int kEndmembers = 4;
constexpr BenchLayout kLayout{100 + kEndmembers, 2, 5};

BenchStudy* g_study = nullptr;

void BM_Unmix(benchmark::State& state) {
    SilentFrontend quiet;
    size_t mixtures = 0;
    for (auto _ : state)
        mixtures = Unmix(g_study->Loader(), g_study->Session(), quiet).mixtures.size();
    if (mixtures != 100) state.SkipWithError("expected 100 mixture species");
    state.counters["mixtures_per_second"] =
        benchmark::Counter(static_cast<double>(mixtures) * static_cast<double>(state.iterations()),
                           benchmark::Counter::kIsRate);
}
BENCHMARK(BM_Unmix)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(5.0);

}  // namespace
}  // namespace orvane::bench

int main(int argc, char** argv) {
    using namespace orvane;
    using namespace orvane::bench;
    return RunOnBenchStudy(argc, argv, "unmix_bench", kLayout, [](BenchStudy& study) {
        Database& db = study.Session().Db();
        const std::vector<int>& species = study.Species();
        for (int j = 0; j < kEndmembers; ++j)
            db.Execute(Sql("update species set endmember = 'Y' where species_id = %i",
                           species[static_cast<size_t>(j)]));
        for (size_t k = kEndmembers; k < species.size(); ++k)
            for (int j = 0; j < kEndmembers; ++j)
                db.Execute(
                    Sql("insert into mixture (species_id, endmember_id, abundance) "
                        "values (%i, %i, 0.25)",
                        species[k], species[static_cast<size_t>(j)]));
        SilentFrontend quiet;
        ImportSensor(study.Session(), quiet,
                     std::string(ORVANE_SOURCE_DIR) + "/data/sensors/sentinel2a_msi.txt", 0);
        ChainOptions chain;
        chain.study = std::to_string(study.StudyId());
        ApplyChainOptions(study.Session(), chain);
        g_study = &study;
        benchmark::RunSpecifiedBenchmarks();
        g_study = nullptr;
    });
}
