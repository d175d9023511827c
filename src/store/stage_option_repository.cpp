// SPDX-License-Identifier: GPL-3.0-or-later
#include "store/stage_option_repository.h"

#include "store/database.h"

namespace orvane {

int StageOptionRepository::RowId(int study_id, int stage, int mode) {
    return static_cast<int>(db_.FindOrInsert(
        Sql("select stage_option_id from stage_option where study_id = %i and stage = %i and "
            "mode = %i",
            study_id, stage, mode),
        Sql("insert into stage_option (study_id, stage, mode, changed_at) values (%i, %i, %i, "
            "current_timestamp(6))",
            study_id, stage, mode)));
}

int StageOptionRepository::FindRowId(int study_id, int stage, int mode) {
    int id = 0;
    db_.QueryInt(Sql("select stage_option_id from stage_option where study_id = %i and stage = %i "
                     "and mode = %i",
                     study_id, stage, mode),
                 id);
    return id;
}

std::vector<std::pair<int, int>> StageOptionRepository::Pairs(int study_id, int stage) {
    std::vector<std::pair<int, int>> pairs;
    ResultSet rows = db_.Query(
        Sql("select lower_wavelength, upper_wavelength from stage_pair where study_id = %i and "
            "stage = %i order by lower_wavelength, stage_pair_id",
            study_id, stage));
    while (rows.Next()) pairs.emplace_back(rows.Int(0), rows.Int(1));
    return pairs;
}

void StageOptionRepository::ReplacePairs(int study_id, int stage,
                                         const std::vector<std::pair<int, int>>& pairs) {
    Transaction tx(db_);
    db_.Execute(
        Sql("delete from stage_pair where study_id = %i and stage = %i", study_id, stage));
    for (const auto& [lower, upper] : pairs)
        db_.Execute(Sql("insert into stage_pair (study_id, stage, lower_wavelength, "
                        "upper_wavelength) values (%i, %i, %i, %i)",
                        study_id, stage, lower, upper));
    db_.Execute(Sql("update stage_option set changed_at = current_timestamp(6) where study_id = "
                    "%i and stage = %i",
                    study_id, stage));
    tx.Commit();
}

}  // namespace orvane
