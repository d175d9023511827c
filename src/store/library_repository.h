// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <limits>
#include <optional>
#include <string>
#include <vector>

#include "base/matrix.h"

namespace orvane {

class Database;

// The chain settings a stored library answers for; a library row is found by all of them
// but the waveband filter, which only its validity compares.
struct LibraryKey {
    int study = 0;
    int sensor = 0;
    int feature_space = 0;
    int smoothing_filter = 0;
    int derivative = 0;
    int waveband_filter = 0;
    // The stage_option ids of the optional stages that are on, ascending, joined by commas.
    std::string stage_options;
};

// The condition that no optional stage named in `table`'s stage_options changed since its
// build_date (`table` is the alias of a library or pca_data row in a query).
std::string StageOptionsOlderThan(const char* table);

// One species of a stored library as its statistic row holds it.
struct StoredLibraryClass {
    int statistic_id = 0;
    int species_id = 0;
    std::string folder_name;
    std::string common_name;  // empty when NULL
    std::string latin_name;
    std::string maori_name;
    int no_of_samples = 0;
    Matrix mean;  // dimension x 1
    Matrix cov;   // dimension x dimension
    double shrinkage = std::numeric_limits<double>::quiet_NaN();  // NaN when NULL
};

// The library and statistic rows of the spectral libraries: which one is current, building
// one and reading it back.
class LibraryRepository {
  public:
    explicit LibraryRepository(Database& db) : db_(db) {}

    // The library built for the key (the last row when several match), whatever its age.
    std::optional<int> Find(const LibraryKey& key);
    // The library of the key built after every part of its settings last changed and after
    // the study's spectra did; for a PCT feature space also after its analysis
    // (`pca_data_id`).
    std::optional<int> FindCurrent(const LibraryKey& key, std::optional<int> pca_data_id);
    // Whether the library was built no later than its study's spectra last changed.
    bool OlderThanSpectra(int library_id);
    // The key's library row, inserted or stamped with a new build date; returns its id.
    int StampBuild(const LibraryKey& key);
    // The species of a study a build walks, in the server's order.
    std::vector<int> SpeciesOfStudy(int study_id);
    // Stores each species' count, mean, covariance and shrinkage intensity (a non-finite one
    // as NULL) in its statistic row of the library, inserted when missing; returns the rows'
    // ids in the order of `rows`.
    struct StatisticRow {
        int species_id = 0;
        int no_of_samples = 0;
        const Matrix& mean;
        const Matrix& cov;
        double shrinkage = 0.0;
    };
    std::vector<int> StoreStatistics(int library_id, const std::vector<StatisticRow>& rows);
    // Deletes the library's statistic rows of every species but `kept`, so that a rebuild
    // leaves none of an earlier build's classes behind.
    void DeleteStatisticsExcept(int library_id, const std::vector<int>& kept);
    int StatisticCount(int library_id);
    // The build date as the server writes unix_timestamp(build_date), microseconds after the
    // point; empty without the row.
    std::optional<std::string> BuildDateEpoch(int library_id);
    // The library's classes in folder-name order, their matrices decoded at `dimension`
    // (OrvaneError when a stored block does not have that size).
    std::vector<StoredLibraryClass> Classes(int library_id, int dimension);

  private:
    Database& db_;
};

}  // namespace orvane
