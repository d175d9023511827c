// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "base/matrix.h"

namespace orvane {

class Database;

// A band range row of a DI or NTBI feature space.
struct StoredBandRange {
    int band_range_id = 0;  // 0 for one not stored yet
    int wavelength1 = 0;
    int wavelength2 = 0;
};

// A feature space row with its type.
struct StoredFeatureSpace {
    int type = 0;  // 0 DI, 1 NTBI, 2 PCT
    int dimension = 0;
    std::string name;
    std::string description;
    std::string type_name;  // "DI", "NTBI", "PCT"
    int row_version = 0;    // counts the row's changes
};

// One stored feature space as a listing shows it, whatever sensor it fits.
struct FeatureSpaceSummary {
    int id = 0;
    std::string type_name;
    int dimension = 0;
    std::string name;
};

// The chain settings a principal component analysis is stored under.
struct PcaKey {
    int sensor = 0;
    int study = 0;
    int smoothing_filter = 0;
    int derivative = 0;
    int waveband_filter = 0;  // stored with a new row, not looked up by
    // The stage_option ids of the optional stages that are on (see LibraryKey).
    std::string stage_options;
};

// The feature_space and band_range rows, and the pca_data rows a PCT feature space projects
// with. Plain rows in, plain rows out: the rules about them are the chain's.
class FeatureSpaceRepository {
  public:
    explicit FeatureSpaceRepository(Database& db) : db_(db) {}

    bool Exists(int feature_space_id);
    // Every stored feature space, by type, then dimension, then id.
    std::vector<FeatureSpaceSummary> All();
    // The (name, id) of the feature spaces of `type` with at most `max_dimension` features,
    // by dimension.
    std::vector<std::pair<std::string, int>> OfTypeUpTo(int type, int max_dimension);
    // The feature space a user means by `name_or_id` (ResolveByNameOrId), among those of
    // `type` when one is given: names are unique within a type only.
    int Resolve(const std::string& name_or_id, std::optional<int> type);
    // The row of the feature space; empty when there is none (the last row wins).
    std::optional<StoredFeatureSpace> Find(int feature_space_id);
    // Its band ranges in the server's order.
    std::vector<StoredBandRange> BandRanges(int feature_space_id);
    // The stored name; empty when there is no such row.
    std::optional<std::string> StoredName(int feature_space_id);
    // The feature spaces of `type` other than `except_id` whose names a user could not tell
    // from `name` (case and trailing blanks ignored), as (id, name).
    std::vector<std::pair<int, std::string>> SimilarNames(int type, const std::string& name,
                                                          int except_id);
    // A new feature space row of `type`, stamped now; returns its id.
    int Insert(int type, int dimension, const std::string& name, const std::string& description);
    // Changes a row and stamps it now, so the libraries built on it turn stale. With a
    // `read_version` (> 0) only the row still at that version changes; false when none did.
    bool Update(int feature_space_id, int dimension, const std::string& name,
                const std::string& description, int read_version = 0);
    // Makes the stored ranges follow `ranges` row by row: a range with the id of a stored row
    // of this feature space updates it when it differs, the others are inserted, and the
    // stored rows left out are deleted. `edited` is false for a feature space just inserted.
    void ReplaceBandRanges(int feature_space_id, bool edited,
                           const std::vector<StoredBandRange>& ranges);
    // Removes the feature space, its band ranges and every library built on it with their
    // statistics, in one transaction.
    void DeleteWithLibraries(int feature_space_id);

    // The smallest dimension of a PCT feature space; `fallback` when there is none.
    int SmallestPctDimension(int fallback);
    // The analysis of the key built after its smoothing, derivative and waveband filter last
    // changed and after the study's spectra did; 0 when there is none.
    int FindCurrentPca(const PcaKey& key);
    // The (dimension, id) of the analysis stored for the key; (0, 0) without one.
    std::pair<int, int> FindPca(const PcaKey& key);
    // Decodes the stored eigenvalues and eigenvectors into the sized matrices; false when the
    // row has gone.
    bool ReadPca(int pca_data_id, NEWMAT::GeneralMatrix& eigenvalues, Matrix& eigenvectors);
    // The analysis of the key, inserted or updated with a new build date, with its eigenvalues
    // (ascending) and eigenvectors (columns in that order), in one transaction; returns its id.
    int StorePca(const PcaKey& key, const DiagonalMatrix& eigenvalues, const Matrix& eigenvectors);

  private:
    Database& db_;
};

}  // namespace orvane
