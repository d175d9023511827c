// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <vector>

#include "forms/species_list_box.h"

namespace orvane {

class ProcessingSession;

// The "Endmember Selection" dialog without its widgets: the study's mixture species
// ("Classes") and its endmembers, and the two moves between them, each stored at once.
class EndmemberSelection {
  public:
    static constexpr const char* kNoSpecies = "No species found!";

    explicit EndmemberSelection(ProcessingSession& session);

    // Refills both lists from the current study.
    void Show();

    const SpeciesListBox& Classes() const { return classes_; }
    const SpeciesListBox& Endmembers() const { return endmembers_; }

    // "------>" and "<------": move the entry at a position of one list to the other and
    // store its flag. No entry there, or the placeholder, stores nothing and returns false.
    bool ToEndmembers(int class_index);
    bool ToClasses(int endmember_index);

    // Cancel: stores again the endmember flags the study had when last shown.
    void Revert();

  private:
    ProcessingSession& session_;
    SpeciesListBox classes_;
    SpeciesListBox endmembers_;
    std::vector<int> shown_endmembers_;
};

}  // namespace orvane
