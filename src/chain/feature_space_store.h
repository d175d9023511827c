// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>
#include <vector>

#include "chain/feature_space.h"

namespace orvane {

class ProcessingSession;

constexpr int kMaxFeatureSpaceNameLength = 80;
constexpr int kMaxFeatureSpaceDescriptionLength = 254;

// A feature space as either face hands it over for storing.
struct FeatureSpaceDefinition {
    int id = 0;    // the stored feature space to change; 0 stores a new one
    int type = 0;  // 0 DI, 1 NTBI, 2 PCT
    std::string name;
    std::string description;
    int dimension = 0;  // PCT only; DI and NTBI have one feature per band range
    // DI and NTBI only. A range with a band_range_id of the changed feature space updates that
    // row; the others are inserted, and the stored rows left out are deleted.
    std::vector<FeatureSpace::BandRange> ranges;
    // The version of the stored feature space the edit started from: when another session
    // changed it since, nothing is stored and RecordChanged says who. 0 (a definition not read
    // from the database) changes whatever is stored.
    int row_version = 0;
};

struct SavedFeatureSpace {
    int id = 0;
    // Set when the feature space was stored but could not be made current (for example a PCT
    // space whose analysis has fewer components); empty otherwise.
    std::string notice;
};

// Checks the definition (name, description, type and dimension against the current sensor,
// names unique within a type apart from case and trailing blanks) and stores it in one
// transaction; a refusal throws OrvaneError and stores nothing. Afterwards the saved feature
// space is made current when it has the session's type and is offered for the current
// sensor; otherwise the session keeps the first one offered. A feature space changed by another
// session since `row_version` throws RecordChanged (nothing stored) after the session's copy of
// it was loaded again.
SavedFeatureSpace SaveFeatureSpace(ProcessingSession& session,
                                   const FeatureSpaceDefinition& definition);

// Removes the feature space, its band ranges, and every library built on it with the
// libraries' statistics, in one transaction. An id without a row throws and changes nothing.
// When it was the session's current one, the first one offered follows.
void DeleteFeatureSpace(ProcessingSession& session, int feature_space_id);

}  // namespace orvane
