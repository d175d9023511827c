#include "forms/feature_space_actions.h"

#include <algorithm>

#include "forms/chain_selection.h"
#include "base/orvane_error.h"
#include "chain/processing_session.h"
#include "store/name_lookup.h"
#include "store/database.h"

namespace orvane {

namespace {

const char* ListTitleFor(int type) {
    switch (type) {
        case 0:
            return "Band Ranges [nm]";
        case 1:
            return "Bands [nm]";
        default:
            return "NA";
    }
}

// Characters as the database counts them in a utf8mb4 column, not bytes.
size_t CharacterCount(const std::string& text) {
    return static_cast<size_t>(std::count_if(text.begin(), text.end(), [](char c) {
        return (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    }));
}

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

bool Blank(const std::string& text) {
    return text.find_first_not_of(" \t\r\n") == std::string::npos;
}

bool Exists(Database& db, int feature_space_id) {
    int n = 0;
    db.QueryInt(
        Sql("select count(*) from feature_space where feature_space_id = %i", feature_space_id), n);
    return n > 0;
}

// The feature space the main form would show after its list is refreshed: `preferred` when it
// is offered for the current type and sensor, otherwise the first one offered.
void SelectAfterChange(ProcessingSession& session, int preferred) {
    const std::vector<FeatureSpaceItem> items = ListFeatureSpaces(session);
    int pick = items.empty() ? 0 : items.front().id;
    for (const FeatureSpaceItem& item : items)
        if (item.id == preferred) pick = preferred;
    session.SetFeatureSpace(pick);
}

}  // namespace

FeatureSpaceActions::FeatureSpaceActions(ProcessingSession& session) : session_(session) {}

std::string FeatureSpaceActions::Line(int wavelength1, int wavelength2) {
    return Sql("%i - %i nm", wavelength1, wavelength2);
}

void FeatureSpaceActions::Show(int mode) {
    if (mode < kEdit || mode > kNew)
        throw OrvaneError("Unknown feature space action " + std::to_string(mode) + ".");
    const FeatureSpace* current = session_.CurrentFeatureSpace();
    if (mode != kNew && !current)
        throw OrvaneError("There is no current feature space to edit; choose one first.");

    entries_.clear();
    lines_.clear();
    deleted_ids_.clear();
    notice_.clear();
    mode_ = mode;
    std::string type_name;
    if (mode == kNew) {
        // A new feature space takes the type the user has chosen on the form.
        type_ = session_.FeatureSpaceType();
        type_name = session_.FeatureSpaceTypeName();
        source_id_ = 0;
        name_.clear();
        description_.clear();
        dimension_ = 0;
    } else {
        // The edited space keeps its own type and id, even if the form's selection changes
        // while the (modeless) dialog is open.
        type_ = current->Type();
        type_name = current->TypeName();
        source_id_ = current->Id();
        name_ = current->Name();
        description_ = current->Description();
        dimension_ = current->Dimension();
        for (FeatureSpace::BandRange r : current->Ranges()) {
            if (mode == kEdit) {
                r.state = kStored;
            } else {
                r.state = kToInsert;
                r.band_range_id = 0;
            }
            entries_.push_back(r);
            lines_.push_back(Line(r.wavelength1, r.wavelength2));
        }
        if (mode == kCopyAndEdit) name_ += "_copy";
    }
    static const char* const kPrefix[] = {"Edit an existing ", "Edit a copied ", "Edit a new "};
    title_ = kPrefix[mode] + type_name + " Feature Space";
    list_title_ = ListTitleFor(type_);
    shown_ = true;
}

int FeatureSpaceActions::MaxDimension() const {
    return session_.CurrentSensor() ? session_.CurrentSensor()->ElementCount() : 0;
}

void FeatureSpaceActions::SetDimension(int dimension) {
    if (type_ != 2)
        throw OrvaneError("The dimension of a " + std::string(type_ == 0 ? "DI" : "NTBI") +
                          " feature space is its number of band ranges.");
    dimension_ = dimension;
}

void FeatureSpaceActions::New(int wavelength1, int wavelength2) {
    if (type_ == 2) throw OrvaneError("A PCT feature space has no band ranges.");
    if (static_cast<int>(entries_.size()) >= FeatureSpace::kMaxRanges)
        throw OrvaneError("A feature space holds at most 100 band ranges.");
    FeatureSpace::BandRange r;
    r.wavelength1 = wavelength1;
    r.wavelength2 = wavelength2;
    r.band_range_id = 0;
    r.state = kToInsert;
    entries_.push_back(r);
    lines_.push_back(Line(wavelength1, wavelength2));
    dimension_ = static_cast<int>(entries_.size());
    last_wavelength1_ = wavelength1;
    last_wavelength2_ = wavelength2;
}

bool FeatureSpaceActions::Modify(int index, int wavelength1, int wavelength2) {
    if (index < 0 || index >= static_cast<int>(entries_.size())) return false;
    FeatureSpace::BandRange& r = entries_[static_cast<size_t>(index)];
    r.wavelength1 = wavelength1;
    r.wavelength2 = wavelength2;
    if (r.state == kStored) r.state = kToUpdate;
    lines_[static_cast<size_t>(index)] = Line(wavelength1, wavelength2);
    last_wavelength1_ = wavelength1;
    last_wavelength2_ = wavelength2;
    return true;
}

bool FeatureSpaceActions::Delete(int index) {
    if (index < 0 || index >= static_cast<int>(entries_.size())) return false;
    const FeatureSpace::BandRange& r = entries_[static_cast<size_t>(index)];
    // Only rows of the edited feature space itself are deleted; a copy's entries are new.
    if (mode_ == kEdit && (r.state == kStored || r.state == kToUpdate))
        deleted_ids_.push_back(r.band_range_id);
    entries_.erase(entries_.begin() + index);
    lines_.erase(lines_.begin() + index);
    dimension_ = static_cast<int>(entries_.size());
    return true;
}

void FeatureSpaceActions::Validate() const {
    if (!shown_) throw OrvaneError("The feature space dialog has not been opened.");
    if ((mode_ == kEdit || mode_ == kCopyAndEdit) && source_id_ == 0)
        throw OrvaneError("There is no current feature space to edit; choose one first.");
    if (Blank(name_)) throw OrvaneError("A feature space needs a name.");
    if (CharacterCount(name_) > kMaxNameLength)
        throw OrvaneError("The feature space name \"" + name_ + "\" is longer than 80 characters.");
    if (CharacterCount(description_) > kMaxDescriptionLength)
        throw OrvaneError("The description has " + std::to_string(CharacterCount(description_)) +
                          " characters; at most 254 are allowed.");
    if (type_ == 2 && dimension_ < 1)
        throw OrvaneError("A PCT feature space needs a dimension of at least 1.");
    if (type_ != 2 && entries_.empty())
        throw OrvaneError(std::string("A ") + (type_ == 0 ? "DI" : "NTBI") +
                          " feature space needs at least one band range.");
    // A feature space with more features than the sensor has bands is never offered, so it
    // could neither be used nor chosen for deletion.
    const Sensor* sensor = session_.CurrentSensor();
    if (!sensor)
        throw OrvaneError("No sensor is selected; a feature space's dimension is limited by the "
                          "sensor's number of bands.");
    const int dimension = type_ == 2 ? dimension_ : static_cast<int>(entries_.size());
    if (dimension > sensor->ElementCount()) {
        if (type_ == 2)
            throw OrvaneError(Sql("A PCT feature space needs a dimension from 1 to %i, the number "
                                  "of bands of sensor %s; %i is not.",
                                  sensor->ElementCount(), sensor->Name().c_str(), dimension));
        throw OrvaneError(Sql("A %s feature space has one feature per band range: at most %i, "
                              "the number of bands of sensor %s, not %i.",
                              type_ == 0 ? "DI" : "NTBI", sensor->ElementCount(),
                              sensor->Name().c_str(), dimension));
    }
}

int FeatureSpaceActions::Ok() {
    Validate();
    Database& db = session_.Db();
    // DI and NTBI compute one feature per entry, whatever dimension was stored before.
    const int dimension = type_ == 2 ? dimension_ : static_cast<int>(entries_.size());
    const std::string name = db.Escape(name_);
    const std::string description = db.Escape(description_);
    int id = 0;
    {
        Transaction tx(db);
        // Names are chosen by users, so two of one type must never look alike, not even
        // apart from case or trailing blanks.
        const auto similar = SimilarNames(
            db, kFeatureSpaceNames, name_,
            Sql("fs_type_id in (select fs_type_id from feature_space_type where type = %i) and "
                "feature_space_id <> %i",
                type_, mode_ == kEdit ? source_id_ : 0));
        if (!similar.empty())
            throw OrvaneError(Sql("There is already a %s feature space named \"%s\" (id %i); "
                                  "choose another name.",
                                  TypeLabel(type_), similar.front().second.c_str(),
                                  similar.front().first));
        if (mode_ == kEdit) {
            if (!Exists(db, source_id_))
                throw OrvaneError("The feature space \"" + name_ +
                                  "\" no longer exists; nothing was saved.");
            db.Execute(
                Sql("update feature_space set dimension = %i, build_date = "
                    "current_timestamp(6), name = '%s', description = '%s' where "
                    "feature_space_id = %i",
                    dimension, name.c_str(), description.c_str(), source_id_));
            id = source_id_;
        } else {
            db.Execute(
                Sql("insert into feature_space (dimension, name, description, build_date, "
                    "fs_type_id) values (%i, '%s', '%s', current_timestamp(6), (select "
                    "fs_type_id from feature_space_type where type = %i))",
                    dimension, name.c_str(), description.c_str(), type_));
            id = static_cast<int>(db.InsertId());
        }
        for (const FeatureSpace::BandRange& r : entries_) {
            if (r.state == kToUpdate && mode_ == kEdit) {
                db.Execute(
                    Sql("update band_range set band1 = %i, band2 = %i where "
                        "band_range_id = %i ",
                        r.wavelength1, r.wavelength2, r.band_range_id));
            } else if (r.state == kToInsert || (mode_ != kEdit && r.state == kToUpdate)) {
                db.Execute(
                    Sql("insert into band_range (band1, band2, feature_space_id) values "
                        "(%i, %i, %i)",
                        r.wavelength1, r.wavelength2, id));
            }
        }
        if (mode_ == kEdit)
            for (int band_range_id : deleted_ids_)
                db.Execute(Sql("delete from band_range where band_range_id = %i", band_range_id));
        tx.Commit();
    }
    // Saved: a second OK must not store the same working copy again.
    shown_ = false;
    RefreshSession(id);
    return id;
}

void FeatureSpaceActions::RefreshSession(int saved_id) {
    notice_.clear();
    try {
        if (type_ != session_.FeatureSpaceType()) {
            // Saved under another type than the form shows: only a stale copy needs reloading.
            if (session_.FeatureSpaceId() == saved_id) session_.SetFeatureSpace(saved_id);
            return;
        }
        SelectAfterChange(session_, saved_id);
    } catch (const OrvaneError& e) {
        session_.SetFeatureSpace(0);
        notice_ =
            "The feature space was saved but could not be made current: " + std::string(e.what());
    }
}

void DeleteFeatureSpace(ProcessingSession& session, int feature_space_id) {
    Database& db = session.Db();
    if (feature_space_id == 0 || !Exists(db, feature_space_id))
        throw OrvaneError("There is no feature space with id " + std::to_string(feature_space_id) +
                          " to delete.");
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
