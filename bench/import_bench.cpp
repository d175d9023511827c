// SPDX-License-Identifier: GPL-3.0-or-later
// SpectraImport over a folder tree of 10,000 instrument files (100 species x 10 sites x 10
// files), binary in one tree and SIG text in another. Needs a MariaDB server:
// ORVANE_BENCH_CONFIG names its spectra_config.txt (see README.md).
#include <benchmark/benchmark.h>
#include <fmt/format.h>
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

// A SIG file as the instrument writes it without overlap matching: 1024 channels on three
// detectors (512 from 338 nm, 256 from 975 nm, 256 from 1880 nm) whose ranges overlap.
void WriteSigFile(const std::string& path, int number) {
    fmt::memory_buffer out;
    fmt::format_to(std::back_inserter(out),
                   "/*** Spectra Vista SIG Data ***/\nname= {}\ninstrument= HI: 0 (bench)\n"
                   "integration= 10, 10, 10, 10, 10, 10\nunits= Radiance, Radiance\n"
                   "time= 03/04/2019 10:05:40 AM, 03/04/2019 10:11:12 AM\n"
                   "longitude= {:.4f}E, {:.4f}E\nlatitude= {:.4f}S, {:.4f}S\ncomm= bench\n"
                   "factors= 1.000, 1.000, 1.000 [Overlap: Remove @ 990,1900, Matching Type: "
                   "Type 2]\ndata= \n",
                   std::filesystem::path(path).filename().string(), 17442.0 + number % 5,
                   17442.0 + number % 5, 3654.0 + number % 7, 3654.0 + number % 7);
    const struct {
        double first, step;
        int channels;
    } detectors[] = {{338.0, 1.32, 512}, {975.0, 3.65, 256}, {1880.0, 2.5, 256}};
    for (const auto& d : detectors)
        for (int k = 0; k < d.channels; ++k) {
            const double w = d.first + d.step * k;
            const double percent = 5.0 + 40.0 * (w - 338.0) / 2200.0 + 0.1 * (number % 97);
            fmt::format_to(std::back_inserter(out), "{:.2f}  {:.2f}  {:.2f}  {:.2f}\n", w,
                           10000.0 - w, (10000.0 - w) * percent / 100.0, percent);
        }
    std::ofstream(path, std::ios::binary).write(out.data(), static_cast<long>(out.size()));
}

// The folder trees and a scratch database, all removed at the end of the run.
class BenchTree {
  public:
    explicit BenchTree(const std::string& config_path) : database_(config_path, "import_") {
        char pattern[] = "/tmp/orvane-import-bench-XXXXXX";
        if (!mkdtemp(pattern)) throw OrvaneError("cannot create a temporary folder");
        root_ = pattern;
        int number = 0;
        for (int sp = 0; sp < kSpecies; ++sp) {
            for (int si = 1; si <= kSitesPerSpecies; ++si) {
                const std::string site = root_ + Sql("/binary/species_%03i/site%02i", sp, si);
                const std::string sig_site = root_ + Sql("/sig/species_%03i/site%02i", sp, si);
                std::filesystem::create_directories(site);
                std::filesystem::create_directories(sig_site);
                for (int k = 1; k <= kFilesPerSite; ++k) {
                    WriteFile(site + Sql("/file%05i.asd", k), ++number);
                    WriteSigFile(sig_site + Sql("/leaf_%05i.sig", k), number);
                }
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

    // A fresh study on a tree ("binary" or "sig"), so that every pass stores all files.
    int NewStudy(const std::string& tree) {
        Database& db = session_->Db();
        db.Execute(Sql("insert into study (name, datapath) values ('bench %i', '%s')", ++studies_,
                       db.Escape(Root(tree)).c_str()));
        return static_cast<int>(db.InsertId());
    }
    ProcessingSession& Session() { return *session_; }
    std::string Root(const std::string& tree) const { return root_ + "/" + tree; }

  private:
    std::string root_;
    bench::BenchDatabase database_;
    std::unique_ptr<ProcessingSession> session_;
    int studies_ = 0;
};

BenchTree* g_tree = nullptr;

void ImportTree(benchmark::State& state, const std::string& tree) {
    SilentFrontend frontend;
    int64_t spectra = 0;
    for (auto _ : state) {
        state.PauseTiming();
        const int study = g_tree->NewStudy(tree);
        state.ResumeTiming();
        const ImportCounts added = SpectraImport(g_tree->Session(), frontend)
                                       .ImportStudySpectra(study, g_tree->Root(tree));
        if (added.spectra != kFiles) state.SkipWithError("not every file was stored");
        spectra += added.spectra;
    }
    state.counters["spectra_per_second"] =
        benchmark::Counter(static_cast<double>(spectra), benchmark::Counter::kIsRate);
}

void BM_ImportStudySpectra(benchmark::State& state) { ImportTree(state, "binary"); }
BENCHMARK(BM_ImportStudySpectra)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

// The same tree as SIG files of 1024 channels with overlapping detectors.
void BM_ImportSigStudySpectra(benchmark::State& state) { ImportTree(state, "sig"); }
BENCHMARK(BM_ImportSigStudySpectra)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

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
