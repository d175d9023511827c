// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>
#include <vector>

#include "chain/feature_space.h"
#include "chain/feature_space_store.h"

namespace orvane {

class ProcessingSession;

// The behaviour of the "Feature Space Actions" dialog without its widgets: a working copy of
// one feature space (name, description, dimension and band-range entries) that OK hands to
// SaveFeatureSpace. List lines and working entries stay index-aligned.
class FeatureSpaceActions {
  public:
    enum Mode { kEdit = 0, kCopyAndEdit = 1, kNew = 2 };

    static constexpr int kMaxNameLength = kMaxFeatureSpaceNameLength;
    static constexpr int kMaxDescriptionLength = kMaxFeatureSpaceDescriptionLength;

    explicit FeatureSpaceActions(ProcessingSession& session);

    // Fills the working copy for a mode: 0 edits the current feature space, 1 a copy of it,
    // 2 a new one of the current type. Modes 0 and 1 without a current feature space throw.
    void Show(int mode);

    const std::string& Title() const { return title_; }
    const std::string& ListTitle() const { return list_title_; }
    // The "Dimension" field is editable only for PCT; the list and its three buttons only
    // for DI and NTBI.
    bool DimensionEnabled() const { return type_ == 2; }
    bool ListEnabled() const { return type_ != 2; }

    // The largest dimension OK accepts: the current sensor's number of bands (0 without one).
    int MaxDimension() const;

    const std::string& Name() const { return name_; }
    const std::string& Description() const { return description_; }
    int Dimension() const { return dimension_; }
    void SetName(const std::string& name) { name_ = name; }
    void SetDescription(const std::string& description) { description_ = description; }
    // Only PCT takes a typed dimension; DI and NTBI have one feature per entry.
    void SetDimension(int dimension);

    const std::vector<std::string>& Lines() const { return lines_; }
    const std::vector<FeatureSpace::BandRange>& Entries() const { return entries_; }

    // What the "Waveband Definition" sub-dialog shows when it opens for "New": the values of
    // its previous use.
    int LastWavelength1() const { return last_wavelength1_; }
    int LastWavelength2() const { return last_wavelength2_; }

    // "New" with the sub-dialog's values; a 101st entry throws and changes nothing.
    void New(int wavelength1, int wavelength2);
    // Index out of range (no line selected) changes nothing and returns false.
    bool Modify(int index, int wavelength1, int wavelength2);
    bool Delete(int index);

    // Stores the working copy (a new feature space in modes 1 and 2, the edited one in mode 0)
    // and returns its id; see SaveFeatureSpace. When another session changed the edited
    // feature space since it was shown, RecordChanged is thrown, nothing is stored and the
    // working copy shows the newer values.
    int Ok();

    // Set when the saved feature space could be stored but not made current (for example a
    // PCT space whose analysis has fewer components); empty otherwise.
    const std::string& Notice() const { return notice_; }

  private:
    static std::string Line(int wavelength1, int wavelength2);

    ProcessingSession& session_;
    int mode_ = kNew;
    int type_ = 0;
    int source_id_ = 0;  // the feature space shown in modes 0 and 1
    int source_version_ = 0;  // its stored version when it was shown
    std::string title_;
    std::string list_title_;
    std::string name_;
    std::string description_;
    int dimension_ = 0;
    std::vector<FeatureSpace::BandRange> entries_;
    std::vector<std::string> lines_;
    int last_wavelength1_ = 0;
    int last_wavelength2_ = 0;
    std::string notice_;
    bool shown_ = false;
};

}  // namespace orvane
