// SPDX-License-Identifier: GPL-3.0-or-later
// ExportSpectra end to end: the synthesized stage (Landsat 8 OLI) of a study of 10,000 stored
// spectra to csv, from the species query to the closed file. Needs a MariaDB server:
// ORVANE_BENCH_CONFIG names its spectra_config.txt (see README.md).
#include <benchmark/benchmark.h>

#include <string>

#include "base/frontend.h"
#include "study/sensor_import.h"
#include "export/export_spectra.h"
#include "support/bench_study.h"

namespace orvane::bench {
namespace {

BenchStudy* g_study = nullptr;

void BM_ExportSynthesizedCsv(benchmark::State& state) {
    SilentFrontend quiet;
    int64_t spectra = 0;
    for (auto _ : state) {
        const ExportResult r =
            ExportSpectra(g_study->Loader(), g_study->Output(), g_study->Session(), quiet,
                          ExportSettings());
        if (r.species != kSpecies) state.SkipWithError("not every species was exported");
        spectra += kSpecies * kSitesPerSpecies * kSpectraPerSite;
    }
    state.counters["spectra_per_second"] =
        benchmark::Counter(static_cast<double>(spectra), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_ExportSynthesizedCsv)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(5.0);

}  // namespace
}  // namespace orvane::bench

int main(int argc, char** argv) {
    using namespace orvane::bench;
    return RunOnBenchStudy(argc, argv, "export_bench", BenchLayout(), [](BenchStudy& study) {
        orvane::SilentFrontend quiet;
        orvane::ImportSensor(study.Session(), quiet,
                             std::string(ORVANE_SOURCE_DIR) + "/data/sensors/landsat8_oli.txt", 0);
        g_study = &study;
        benchmark::RunSpecifiedBenchmarks();
        g_study = nullptr;
    });
}
