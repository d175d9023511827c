// SPDX-License-Identifier: GPL-3.0-or-later
#include "chain/feature_space_store.h"

#include <fmt/format.h>

#include <algorithm>
#include <optional>

#include "base/orvane_error.h"
#include "chain/chain_options.h"
#include "chain/processing_session.h"
#include "spectra/spectrum.h"
#include "store/database.h"
#include "store/feature_space_repository.h"
#include "store/name_lookup.h"
#include "store/record_history.h"
#include "base/shown_text.h"

namespace orvane {

namespace {

const char* TypeLabel(int type) {
    switch (type) {
        case 0:
            return "DI";
        case 1:
            return "NTBI";
        default:
            return "PCT";
    }
}

// Characters as the database counts them in a utf8mb4 column, not bytes.
size_t CharacterCount(const std::string& text) {
    return static_cast<size_t>(std::count_if(text.begin(), text.end(), [](char c) {
        return (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    }));
}

bool Blank(const std::string& text) {
    return text.find_first_not_of(" \t\r\n") == std::string::npos;
}

// DI and NTBI compute one feature per range, whatever dimension was stored before.
int DimensionOf(const FeatureSpaceDefinition& def) {
    return def.type == kFeaturePCT ? def.dimension : static_cast<int>(def.ranges.size());
}

void CheckFields(const FeatureSpaceDefinition& def) {
    if (def.type < 0 || def.type > 2)
        throw OrvaneError(fmt::format("Unknown feature-space type {}.", def.type));
    if (Blank(def.name)) throw OrvaneError("A feature space needs a name.");
    if (CharacterCount(def.name) > kMaxFeatureSpaceNameLength)
        throw OrvaneError("The feature space name \"" + def.name +
                          "\" is longer than 80 characters.");
    if (CharacterCount(def.description) > kMaxFeatureSpaceDescriptionLength)
        throw OrvaneError(fmt::format("The description has {} characters; at most 254 are allowed.",
                                      CharacterCount(def.description)));
    if (def.type == kFeaturePCT) {
        if (!def.ranges.empty()) throw OrvaneError("A PCT feature space has no band ranges.");
        if (def.dimension < 1)
            throw OrvaneError("A PCT feature space needs a dimension of at least 1.");
        return;
    }
    if (def.dimension != 0 && def.dimension != static_cast<int>(def.ranges.size()))
        throw OrvaneError(
            fmt::format("The dimension of a {} feature space is its number of band ranges.",
                        TypeLabel(def.type)));
    if (def.ranges.empty())
        throw OrvaneError(
            fmt::format("A {} feature space needs at least one band range.", TypeLabel(def.type)));
    if (static_cast<int>(def.ranges.size()) > FeatureSpace::kMaxRanges)
        throw OrvaneError("A feature space holds at most 100 band ranges.");
}

// A feature space with more features than the sensor has bands is never offered, so it could
// neither be used nor chosen for deletion.
void CheckAgainstSensor(const ProcessingSession& session, const FeatureSpaceDefinition& def) {
    const Sensor* sensor = session.CurrentSensor();
    if (!sensor)
        throw OrvaneError(
            "No sensor is selected; a feature space's dimension is limited by the "
            "sensor's number of bands.");
    const int dimension = DimensionOf(def);
    if (dimension <= sensor->ElementCount()) return;
    if (def.type == kFeaturePCT)
        throw OrvaneError(
            fmt::format("A PCT feature space needs a dimension from 1 to {}, the "
                        "number of bands of sensor {}; {} is not.",
                        sensor->ElementCount(), sensor->Name(), dimension));
    throw OrvaneError(
        fmt::format("A {} feature space has one feature per band range: at most {}, "
                    "the number of bands of sensor {}, not {}.",
                    TypeLabel(def.type), sensor->ElementCount(), sensor->Name(), dimension));
}

// Names are chosen by users, so two of one type must never look alike, not even apart from
// case or trailing blanks.
void CheckNameFree(FeatureSpaceRepository& spaces, const FeatureSpaceDefinition& def) {
    const auto similar = spaces.SimilarNames(def.type, def.name, def.id);
    if (!similar.empty())
        throw OrvaneError(fmt::format(
            "There is already a {} feature space named \"{}\" (id {}); choose another name.",
            TypeLabel(def.type), similar.front().second, similar.front().first));
}

int StoreDefinition(Database& db, const FeatureSpaceDefinition& def) {
    FeatureSpaceRepository spaces(db);
    int id = def.id;
    RunInTransaction(db, [&] {
        // A feature space that kept its name keeps it even when it reads as an id: it was
        // stored before such names were refused, and editing its ranges must not force a
        // rename.
        const std::optional<std::string> stored_name =
            def.id == 0 ? std::nullopt : spaces.StoredName(def.id);
        if (!stored_name || *stored_name != def.name) CheckNewName(kFeatureSpaceNames, def.name);
        CheckNameFree(spaces, def);
        id = def.id;
        if (id != 0) {
            if (!spaces.Exists(id))
                throw OrvaneError("The feature space \"" + def.name +
                                  "\" no longer exists; nothing was saved.");
            if (!spaces.Update(id, DimensionOf(def), def.name, def.description,
                               def.row_version)) {
                const std::optional<std::string> name = spaces.StoredName(id);
                throw RecordChanged(
                    "The feature space \"" + EscapeControls(name.value_or(def.name)) + "\"",
                    FeatureSpaceChange(db, id));
            }
        } else {
            id = spaces.Insert(def.type, DimensionOf(def), def.name, def.description);
        }
        std::vector<StoredBandRange> ranges;
        for (const FeatureSpace::BandRange& r : def.ranges)
            ranges.push_back({r.band_range_id, r.wavelength1, r.wavelength2});
        spaces.ReplaceBandRanges(id, def.id != 0, ranges);
    });
    return id;
}

// The feature space a refreshed list would show: `preferred` when it is offered for the
// current type and sensor, otherwise the first one offered.
void SelectAfterChange(ProcessingSession& session, int preferred) {
    const std::vector<FeatureSpaceItem> items = ListFeatureSpaces(session);
    int pick = items.empty() ? 0 : items.front().id;
    for (const FeatureSpaceItem& item : items)
        if (item.id == preferred) pick = preferred;
    session.SetFeatureSpace(pick);
}

}  // namespace

SavedFeatureSpace SaveFeatureSpace(ProcessingSession& session,
                                   const FeatureSpaceDefinition& definition) {
    CheckFields(definition);
    CheckAgainstSensor(session, definition);
    SavedFeatureSpace saved;
    try {
        saved.id = StoreDefinition(session.Db(), definition);
    } catch (const RecordChanged&) {
        // The session's copy is the one that was out of date: its newer values are loaded.
        if (session.FeatureSpaceId() == definition.id) {
            try {
                session.SetFeatureSpace(definition.id);
            } catch (const OrvaneError&) {
                session.SetFeatureSpace(0);
            }
        }
        throw;
    }
    try {
        if (definition.type != session.FeatureSpaceType()) {
            // Saved under another type than the session's: only a stale copy needs reloading.
            if (session.FeatureSpaceId() == saved.id) session.SetFeatureSpace(saved.id);
        } else {
            SelectAfterChange(session, saved.id);
        }
    } catch (const OrvaneError& e) {
        session.SetFeatureSpace(0);
        saved.notice =
            "The feature space was saved but could not be made current: " + std::string(e.what());
    }
    return saved;
}

void DeleteFeatureSpace(ProcessingSession& session, int feature_space_id) {
    FeatureSpaceRepository spaces(session.Db());
    if (feature_space_id == 0 || !spaces.Exists(feature_space_id))
        throw OrvaneError(
            fmt::format("There is no feature space with id {} to delete.", feature_space_id));
    spaces.DeleteWithLibraries(feature_space_id);
    if (session.FeatureSpaceId() == feature_space_id) {
        try {
            SelectAfterChange(session, 0);
        } catch (const OrvaneError&) {
            session.SetFeatureSpace(0);
        }
    }
}

}  // namespace orvane
