// SPDX-License-Identifier: GPL-3.0-or-later
#include "chain/feature_space_store.h"

#include <fmt/format.h>

#include <algorithm>
#include <map>

#include "base/orvane_error.h"
#include "chain/chain_options.h"
#include "chain/processing_session.h"
#include "spectra/spectrum.h"
#include "store/database.h"
#include "store/name_lookup.h"

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

bool Exists(Database& db, int feature_space_id) {
    int n = 0;
    db.QueryInt(
        Sql("select count(*) from feature_space where feature_space_id = %i", feature_space_id), n);
    return n > 0;
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
void CheckNameFree(Database& db, const FeatureSpaceDefinition& def) {
    const auto similar = SimilarNames(
        db, kFeatureSpaceNames, def.name,
        Sql("fs_type_id in (select fs_type_id from feature_space_type where type = %i) and "
            "feature_space_id <> %i",
            def.type, def.id));
    if (!similar.empty())
        throw OrvaneError(fmt::format(
            "There is already a {} feature space named \"{}\" (id {}); choose another name.",
            TypeLabel(def.type), similar.front().second, similar.front().first));
}

// The stored ranges of an edited feature space follow the definition's list row by row.
void StoreRanges(Database& db, const FeatureSpaceDefinition& def, int id) {
    std::map<int, std::pair<int, int>> stored;
    if (def.id != 0) {
        ResultSet rows = db.Query(Sql(
            "select band_range_id, band1, band2 from band_range where feature_space_id = %i", id));
        while (rows.Next()) stored[rows.Int(0)] = {rows.Int(1), rows.Int(2)};
    }
    for (const FeatureSpace::BandRange& r : def.ranges) {
        auto row = stored.find(r.band_range_id);
        if (r.band_range_id == 0 || row == stored.end()) {
            db.Execute(
                Sql("insert into band_range (band1, band2, feature_space_id) values "
                    "(%i, %i, %i)",
                    r.wavelength1, r.wavelength2, id));
            continue;
        }
        if (row->second != std::make_pair(r.wavelength1, r.wavelength2))
            db.Execute(Sql("update band_range set band1 = %i, band2 = %i where band_range_id = %i",
                           r.wavelength1, r.wavelength2, r.band_range_id));
        stored.erase(row);
    }
    for (const auto& left_out : stored)
        db.Execute(Sql("delete from band_range where band_range_id = %i", left_out.first));
}

int StoreDefinition(Database& db, const FeatureSpaceDefinition& def) {
    const std::string name = db.Escape(def.name);
    const std::string description = db.Escape(def.description);
    Transaction tx(db);
    // A feature space that kept its name keeps it even when it reads as an id: it was stored
    // before such names were refused, and editing its ranges must not force a rename.
    std::string stored_name;
    if (def.id == 0 ||
        !db.QueryText(Sql("select name from feature_space where feature_space_id = %i", def.id),
                      stored_name) ||
        stored_name != def.name)
        CheckNewName(kFeatureSpaceNames, def.name);
    CheckNameFree(db, def);
    int id = def.id;
    if (id != 0) {
        if (!Exists(db, id))
            throw OrvaneError("The feature space \"" + def.name +
                              "\" no longer exists; nothing was saved.");
        db.Execute(
            Sql("update feature_space set dimension = %i, build_date = "
                "current_timestamp(6), name = '%s', description = '%s' where "
                "feature_space_id = %i",
                DimensionOf(def), name.c_str(), description.c_str(), id));
    } else {
        db.Execute(
            Sql("insert into feature_space (dimension, name, description, build_date, "
                "fs_type_id) values (%i, '%s', '%s', current_timestamp(6), (select "
                "fs_type_id from feature_space_type where type = %i))",
                DimensionOf(def), name.c_str(), description.c_str(), def.type));
        id = static_cast<int>(db.InsertId());
    }
    StoreRanges(db, def, id);
    tx.Commit();
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
    saved.id = StoreDefinition(session.Db(), definition);
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
    Database& db = session.Db();
    if (feature_space_id == 0 || !Exists(db, feature_space_id))
        throw OrvaneError(
            fmt::format("There is no feature space with id {} to delete.", feature_space_id));
    {
        Transaction tx(db);
        db.Execute(
            Sql("delete from statistic where library_id in (select library_id from "
                "library where feature_space_id = %i)",
                feature_space_id));
        db.Execute(Sql("delete from library where feature_space_id = %i", feature_space_id));
        db.Execute(Sql("delete from band_range where feature_space_id = %i", feature_space_id));
        db.Execute(Sql("delete from feature_space where feature_space_id = %i", feature_space_id));
        tx.Commit();
    }
    if (session.FeatureSpaceId() == feature_space_id) {
        try {
            SelectAfterChange(session, 0);
        } catch (const OrvaneError&) {
            session.SetFeatureSpace(0);
        }
    }
}

}  // namespace orvane
