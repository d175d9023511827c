// SPDX-License-Identifier: GPL-3.0-or-later
// SpectraImport over a folder tree of 10,000 instrument files (100 species x 10 sites x 10
// files). Needs a MariaDB server: ORVANE_BENCH_CONFIG names its spectra_config.txt (see
// README.md).
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "base/config_file.h"
#include "base/frontend.h"
#include "chain/processing_session.h"
#include "study/spectra_import.h"
#include "store/array_codec.h"
#include "store/database.h"
#include "support/bench_database.h"

namespace orvane {
namespace {

constexpr int kSpecies = 100;
constexpr int kSitesPerSpecies = 10;
constexpr int kFilesPerSite = 10;
constexpr int kFiles = kSpecies * kSitesPerSpecies * kFilesPerSite;

// One file of the oldest layout: a header with capture time and position, then 2150 floats.
void WriteFile(const std::string& path, int number) {
    std::string bytes(484, '\0');
    std::memcpy(&bytes[0], "as1", 3);
    const short time[6] = {12, 11, 10, 4, 2, 119};  // 2019-03-04 10:11:12
    std::memcpy(&bytes[160], time, sizeof time);
    bytes[186] = 1;
    const double position[3] = {-3654.0 - number % 7, 17442.0 + number % 5, 12.0};
    std::memcpy(&bytes[350], position, sizeof position);
    std::vector<float> values(kSpectrumBands);
    for (int i = 0; i < kSpectrumBands; ++i)
        values[static_cast<size_t>(i)] = 0.05f + 0.4f * static_cast<float>(i) / kSpectrumBands +
                                         0.001f * static_cast<float>(number % 97);
    bytes += EncodeFloats(values.data(), values.size());
    std::ofstream(path, std::ios::binary) << bytes;
}

// The folder tree and a scratch database, both removed at the end of the run.
class BenchTree {
  public:
    explicit BenchTree(const std::string& config_path) : database_(config_path, "import_") {
        char pattern[] = "/tmp/orvane-import-bench-XXXXXX";
        if (!mkdtemp(pattern)) throw OrvaneError("cannot create a temporary folder");
        root_ = pattern;
        int number = 0;
        for (int sp = 0; sp < kSpecies; ++sp) {
            for (int si = 1; si <= kSitesPerSpecies; ++si) {
                const std::string site = root_ + Sql("/species_%03i/site%02i", sp, si);
                std::filesystem::create_directories(site);
                for (int k = 1; k <= kFilesPerSite; ++k)
                    WriteFile(site + Sql("/file%05i.asd", k), ++number);
            }
        }
        session_ = std::make_unique<ProcessingSession>(
            std::make_unique<Database>(database_.Params()), nullptr);
    }

    ~BenchTree() {
        session_.reset();
        std::error_code ec;
        std::filesystem::remove_all(root_, ec);
    }

    // A fresh study on the tree, so that every pass stores all files.
    int NewStudy() {
        Database& db = session_->Db();
        db.Execute(Sql("insert into study (name, datapath) values ('bench %i', '%s')", ++studies_,
                       db.Escape(root_).c_str()));
        return static_cast<int>(db.InsertId());
    }
    ProcessingSession& Session() { return *session_; }
    const std::string& Root() const { return root_; }

  private:
    std::string root_;
    bench::BenchDatabase database_;
    std::unique_ptr<ProcessingSession> session_;
    int studies_ = 0;
};

BenchTree* g_tree = nullptr;

void BM_ImportStudySpectra(benchmark::State& state) {
    SilentFrontend frontend;
    int64_t spectra = 0;
    for (auto _ : state) {
        state.PauseTiming();
        const int study = g_tree->NewStudy();
        state.ResumeTiming();
        const ImportCounts added =
            SpectraImport(g_tree->Session(), frontend).ImportStudySpectra(study, g_tree->Root());
        if (added.spectra != kFiles) state.SkipWithError("not every file was stored");
        spectra += added.spectra;
    }
    state.counters["spectra_per_second"] =
        benchmark::Counter(static_cast<double>(spectra), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_ImportStudySpectra)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

}  // namespace
}  // namespace orvane

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    const std::string config = orvane::bench::BenchConfigPath("import_bench");
    if (config.empty()) return 2;
    try {
        orvane::BenchTree tree(config);
        orvane::g_tree = &tree;
        benchmark::RunSpecifiedBenchmarks();
        orvane::g_tree = nullptr;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "import_bench: %s\n", e.what());
        return 1;
    }
    benchmark::Shutdown();
    return 0;
}
