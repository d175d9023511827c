// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <map>
#include <set>
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

    // Refills the class list from the current study, empties the endmember lists and drops
    // any working copy; the current mixture species stays.
    void Show();
    // OK: first saves an abundance typed but not yet saved for the selected endmember at a
    // position (its refusal throws and stores nothing), then stores every mixture changed, in
    // one transaction. When another session changed a mixture since it was read, nothing is
    // stored, that mixture's edits are dropped for its newer values, and RecordChanged says who
    // changed it.
    void Ok(int selected_index);
    // Cancel: drops the changes; the database stays as it was.
    void Cancel();
    // Whether there are changes that only Ok() stores.
    bool Changed() const { return !changed_.empty(); }

    const SpeciesListBox& Classes() const { return classes_; }
    const SpeciesListBox& Available() const { return available_; }
    const SpeciesListBox& Selected() const { return selected_; }
    // The species id of the current mixture; 0 before one is chosen.
    int CurrentMixture() const { return mixture_; }
    const std::string& AbundanceText() const { return abundance_; }
    // The edit as typed; it counts as pending until saved or replaced by a selection.
    void SetAbundanceText(const std::string& text) {
        abundance_ = text;
        typed_ = true;
    }
    const std::string& TotalText() const { return total_; }

    // Makes the class at a position the current mixture and fills its lists and total; the
    // placeholder or no entry changes nothing and returns false.
    bool SelectClass(int class_index);
    // "v" and "^": records the available endmember at a position in the mixture (abundance
    // 0), or removes the selected one; false (nothing changed) without an entry there.
    bool Add(int available_index);
    bool Remove(int selected_index);
    // Shows the recorded abundance of the selected endmember at a position in the edit.
    void SelectEndmember(int selected_index);
    // "Save": takes the edit's number as the abundance of the selected endmember at a
    // position, then refreshes the total. A text that is not a number from 0 to 1, or one that
    // would take the total above 1 (unless it lowers a total above 1 of older data), throws
    // OrvaneError and changes nothing; without a selected endmember nothing changes.
    bool Save(int selected_index);
    // "Complement": 1 minus the total, to fifteen significant digits, into the edit (pending
    // like a typed value, which Note() says).
    void Complement();
    // What the dialog says under the fields: that a complement in the edit is not stored until
    // Save (or OK), and a warning for each mixture shown or changed whose recorded fractions
    // do not add up to 1 (within 1e-9); such a total is kept, not refused. Empty otherwise.
    std::string Note() const;

  private:
    // The recorded endmembers shown for a mixture (id to abundance), and the abundances of
    // rows the lists do not show (endmembers no longer flagged), which still count in its total.
    struct MakeUp {
        std::map<int, double> shown;
        double hidden = 0.0;
        // Every recorded row's version (by endmember id) when the mixture was read.
        std::map<int, int> versions;
    };
    MakeUp& Working(int mixture);
    void Refresh();
    double Total(const MakeUp& make_up) const;

    ProcessingSession& session_;
    std::map<int, MakeUp> original_;  // as loaded, per mixture touched
    std::map<int, MakeUp> working_;
    std::set<int> changed_;
    std::map<int, std::string> names_;  // species id to folder name
    bool typed_ = false;
    SpeciesListBox classes_;
    SpeciesListBox available_;
    SpeciesListBox selected_;
    int mixture_ = 0;
    std::string abundance_;
    std::string total_;
    std::string complement_;  // the complement put in the edit and not yet saved
};

}  // namespace orvane
