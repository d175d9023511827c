// SPDX-License-Identifier: GPL-3.0-or-later
#include "forms/feature_space_actions.h"

#include "store/record_history.h"

#include <fmt/format.h>

#include "base/orvane_error.h"
#include "chain/processing_session.h"
#include "spectra/spectrum.h"

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

}  // namespace

FeatureSpaceActions::FeatureSpaceActions(ProcessingSession& session) : session_(session) {}

std::string FeatureSpaceActions::Line(int wavelength1, int wavelength2) {
    return fmt::format("{} - {} nm", wavelength1, wavelength2);
}

void FeatureSpaceActions::Show(int mode) {
    if (mode < kEdit || mode > kNew)
        throw OrvaneError("Unknown feature space action " + std::to_string(mode) + ".");
    const FeatureSpace* current = session_.CurrentFeatureSpace();
    if (mode != kNew && !current)
        throw OrvaneError("There is no current feature space to edit; choose one first.");

    entries_.clear();
    lines_.clear();
    notice_.clear();
    mode_ = mode;
    std::string type_name;
    if (mode == kNew) {
        // A new feature space takes the type the user has chosen on the form.
        type_ = session_.FeatureSpaceType();
        type_name = session_.FeatureSpaceTypeName();
        source_id_ = 0;
        source_version_ = 0;
        name_.clear();
        description_.clear();
        dimension_ = 0;
    } else {
        // The edited space keeps its own type and id, even if the form's selection changes
        // while the (modeless) dialog is open.
        type_ = current->Type();
        type_name = current->TypeName();
        source_id_ = current->Id();
        source_version_ = current->RowVersion();
        name_ = current->Name();
        description_ = current->Description();
        dimension_ = current->Dimension();
        for (FeatureSpace::BandRange r : current->Ranges()) {
            // A copy's ranges are new rows.
            if (mode != kEdit) r.band_range_id = 0;
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
    lines_[static_cast<size_t>(index)] = Line(wavelength1, wavelength2);
    last_wavelength1_ = wavelength1;
    last_wavelength2_ = wavelength2;
    return true;
}

bool FeatureSpaceActions::Delete(int index) {
    if (index < 0 || index >= static_cast<int>(entries_.size())) return false;
    entries_.erase(entries_.begin() + index);
    lines_.erase(lines_.begin() + index);
    dimension_ = static_cast<int>(entries_.size());
    return true;
}

int FeatureSpaceActions::Ok() {
    if (!shown_) throw OrvaneError("The feature space dialog has not been opened.");
    FeatureSpaceDefinition definition;
    definition.id = mode_ == kEdit ? source_id_ : 0;
    definition.type = type_;
    definition.name = name_;
    definition.description = description_;
    definition.dimension = type_ == kFeaturePCT ? dimension_ : 0;
    definition.ranges = entries_;
    definition.row_version = mode_ == kEdit ? source_version_ : 0;
    SavedFeatureSpace saved;
    try {
        saved = SaveFeatureSpace(session_, definition);
    } catch (const RecordChanged&) {
        // SaveFeatureSpace loaded the newer values into the session; the dialog shows them.
        if (mode_ == kEdit && session_.FeatureSpaceId() == source_id_) Show(kEdit);
        throw;
    }
    // Saved: a second OK must not store the same working copy again.
    shown_ = false;
    notice_ = saved.notice;
    return saved.id;
}

}  // namespace orvane
