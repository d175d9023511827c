// LoadSpecies over a study of 10,000 stored spectra (100 species x 10 sites x 10 spectra).
// Needs a MariaDB server: ORVANE_BENCH_CONFIG names its spectra_config.txt (see README.md).
#include <benchmark/benchmark.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "support/bench_study.h"

namespace orvane::bench {
namespace {

BenchStudy* g_study = nullptr;

void BM_LoadSpecies(benchmark::State& state) {
    int64_t spectra = 0;
    for (auto _ : state) {
        for (int id : g_study->Species()) {
            std::unique_ptr<Species> species = g_study->Loader().LoadSpecies(id);
            spectra += species->MemberCount();
            benchmark::DoNotOptimize(species.get());
        }
    }
    state.counters["spectra_per_second"] =
        benchmark::Counter(static_cast<double>(spectra), benchmark::Counter::kIsRate);
    state.counters["spectra_per_pass"] =
        static_cast<double>(spectra) / static_cast<double>(state.iterations());
}
BENCHMARK(BM_LoadSpecies)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(3.0);

}  // namespace
}  // namespace orvane::bench

int main(int argc, char** argv) {
    using namespace orvane::bench;
    benchmark::Initialize(&argc, argv);
    const std::string config = BenchConfigPath("load_species_bench");
    if (config.empty()) return 2;
    try {
        BenchStudy study(config);
        const std::vector<int>& species = study.Species();
        const int expected = kSitesPerSpecies * kSpectraPerSite;
        if (species.size() != static_cast<size_t>(kSpecies) ||
            study.Loader().LoadSpecies(species.front())->MemberCount() != expected) {
            std::fprintf(stderr, "the bench study was not built as expected\n");
            return 1;
        }
        g_study = &study;
        benchmark::RunSpecifiedBenchmarks();
        g_study = nullptr;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "load_species_bench: %s\n", e.what());
        return 1;
    }
    benchmark::Shutdown();
    return 0;
}
