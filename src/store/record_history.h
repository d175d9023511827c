// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "base/orvane_error.h"

namespace orvane {

class Database;

// Who created and last changed a record and when (the schema's triggers fill these in for
// every change, also hand-written ones), and its version: 1 when made, one more per change.
struct RecordHistory {
    std::string kind;  // "study", "species", "library", "mixture", "feature space"
    std::string name;
    std::string created_by;
    int64_t created_at = 0;  // seconds since 1970 (UTC); 0 when unknown (rows made before)
    std::string changed_by;
    int64_t changed_at = 0;
    int version = 0;
};

// The history of a study and of its species, libraries and mixtures, and of the feature spaces
// its libraries were built on, in that order (each kind by name).
std::vector<RecordHistory> StudyHistory(Database& db, int study_id);

// "2026-12-08 10:01:02 UTC"; "unknown" for 0.
std::string HistoryTime(int64_t seconds);

// The last change of a record that a versioned update found changed since it was read.
struct LastChange {
    std::string changed_by;
    int64_t changed_at = 0;
    int version = 0;
};
std::optional<LastChange> FeatureSpaceChange(Database& db, int feature_space_id);
std::optional<LastChange> SpeciesChange(Database& db, int species_id);
// The newest change among a mixture's recorded endmembers.
std::optional<LastChange> MixtureChange(Database& db, int mixture_id);

// An update found its record changed (or removed) by another session since it was read, so it
// stored nothing rather than overwrite that change.
class RecordChanged : public OrvaneError {
public:
    // `what` names the record ("The feature space \"NDVI\""); `change` is its last change as
    // read now (none: the record is gone).
    RecordChanged(const std::string& what, const std::optional<LastChange>& change);
};

}  // namespace orvane
