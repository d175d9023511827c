// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace orvane {

class Database;

// The rows of the chain's optional stages in a study: a stage_option row for each stage and
// mode other than off that has been used (its id is part of a library's key, its changed_at
// makes the libraries built before out of date), and the study's wavelength pairs for each
// stage (its splice joins, its continuum ranges). Stages are given by their numbers.
class StageOptionRepository {
  public:
    explicit StageOptionRepository(Database& db) : db_(db) {}

    // The id of the study's row of a stage and mode, inserted when missing.
    int RowId(int study_id, int stage, int mode);
    // The same without inserting: 0 when the study has no such row.
    int FindRowId(int study_id, int stage, int mode);
    // The study's pairs of a stage in wavelength order; empty when it has none of its own.
    std::vector<std::pair<int, int>> Pairs(int study_id, int stage);
    // Replaces the study's pairs of a stage and stamps every row of the stage as changed, in
    // one transaction.
    void ReplacePairs(int study_id, int stage, const std::vector<std::pair<int, int>>& pairs);

  private:
    Database& db_;
};

}  // namespace orvane
