// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "base/output_folder.h"
#include "chain/processing_session.h"
#include "store/database.h"
#include "study/study_loader.h"
#include "support/bench_database.h"

namespace orvane::bench {

constexpr int kSpecies = 100;
constexpr int kSitesPerSpecies = 10;
constexpr int kSpectraPerSite = 10;

struct BenchLayout {
    int species = kSpecies;
    int sites_per_species = kSitesPerSpecies;
    int spectra_per_site = kSpectraPerSite;
    int Total() const { return species * sites_per_species * spectra_per_site; }
};

// A scratch database `orvane_bench_<pid>` on the server of a configuration file, holding one
// study (by default 10,000 stored spectra: 100 species x 10 sites x 10 spectra) with the chain
// rows study creation makes; dropped at the end. Each species has its own curve shape and
// each spectrum its own small ripple, so features vary within and between species.
class BenchStudy {
  public:
    explicit BenchStudy(const std::string& config_path, const std::string& output_dir = "",
                        BenchLayout layout = BenchLayout());
    ~BenchStudy();
    BenchStudy(const BenchStudy&) = delete;
    BenchStudy& operator=(const BenchStudy&) = delete;

    ProcessingSession& Session() { return *session_; }
    StudyLoader& Loader() { return *loader_; }
    const OutputFolder& Output() const { return output_; }
    const std::vector<int>& Species() const { return species_; }
    int StudyId() const { return study_id_; }

  private:
    void Fill(Database& db);

    BenchDatabase database_;
    OutputFolder output_;
    std::unique_ptr<ProcessingSession> session_;
    std::unique_ptr<StudyLoader> loader_;
    std::vector<int> species_;
    int study_id_ = 0;
    BenchLayout layout_;
};

// The whole main() of a benchmark on a scratch study: reads ORVANE_BENCH_CONFIG, builds the
// study in a temporary output folder, lets `run` prepare it and run the benchmarks, then
// removes the folder. Returns the process's exit status.
int RunOnBenchStudy(int argc, char** argv, const char* program, const BenchLayout& layout,
                    const std::function<void(BenchStudy&)>& run);

}  // namespace orvane::bench
