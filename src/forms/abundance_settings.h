// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>

#include "forms/species_list_box.h"

namespace orvane {

class ProcessingSession;

// The "Abundance Settings" dialog without its widgets: for the mixture species chosen in
// "Classes (excl endmembers)", the endmembers it records ("Selected") and the others
// ("Available"), the abundance edit and the total. Every change is stored at once.
class AbundanceSettings {
  public:
    static constexpr const char* kNoSpecies = "No species found!";

    explicit AbundanceSettings(ProcessingSession& session);

    // Refills the class list from the current study and empties the endmember lists; the
    // current mixture species stays.
    void Show();

    const SpeciesListBox& Classes() const { return classes_; }
    const SpeciesListBox& Available() const { return available_; }
    const SpeciesListBox& Selected() const { return selected_; }
    // The species id of the current mixture; 0 before one is chosen.
    int CurrentMixture() const { return mixture_; }
    const std::string& AbundanceText() const { return abundance_; }
    void SetAbundanceText(const std::string& text) { abundance_ = text; }
    const std::string& TotalText() const { return total_; }

    // Makes the class at a position the current mixture and fills its lists and total; the
    // placeholder or no entry changes nothing and returns false.
    bool SelectClass(int class_index);
    // "v" and "^": records the available endmember at a position in the mixture, or removes
    // the selected one; false (nothing stored) without an entry there.
    bool Add(int available_index);
    bool Remove(int selected_index);
    // Shows the recorded abundance of the selected endmember at a position in the edit.
    void SelectEndmember(int selected_index);
    // "Save": stores the edit's number as the abundance of the selected endmember at a
    // position, then refreshes the total. A text that is not a number from 0 to 1, or one that
    // would take the total above 1, throws OrvaneError and stores nothing; without a selected
    // endmember nothing is stored.
    bool Save(int selected_index);
    // "Complement": 1 minus the total, to fifteen significant digits, into the edit (not
    // stored).
    void Complement();

  private:
    void Refresh();

    ProcessingSession& session_;
    SpeciesListBox classes_;
    SpeciesListBox available_;
    SpeciesListBox selected_;
    int mixture_ = 0;
    std::string abundance_;
    std::string total_;
};

}  // namespace orvane
