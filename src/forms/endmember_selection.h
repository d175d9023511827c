// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>
#include <vector>

#include "forms/species_list_box.h"

namespace orvane {

class ProcessingSession;

// One of the current sensor's elements as the choice of unmixed elements lists it.
struct ElementChoice {
    int number = 0;
    std::string text;  // "3  (660 nm)"
    bool chosen = false;
};

// The "Endmember Selection" dialog without its widgets: the study's mixture species
// ("Classes") and its endmembers, and the two moves between them, each stored at once; and
// the sensor elements unmixing uses.
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

    // The sensor elements Unmix uses, ascending; 1, 2, 3 and 6 until others are chosen. The
    // window keeps them as ElementsText(), the form the command line's --elements takes.
    const std::vector<int>& Elements() const { return elements_; }
    std::string ElementsText() const;
    // Takes a kept choice; a text that is no choice leaves the elements as they are (false).
    bool SetElementsText(const std::string& text);
    // The current sensor's elements, each marked when chosen; empty without a sensor.
    std::vector<ElementChoice> ElementChoices() const;
    // Adds an element to the choice or takes it out; taking out the last one is refused
    // (false), as unmixing needs at least one.
    bool SetElementChosen(int number, bool chosen);
    void DefaultElements();
    // What the choice means with the current sensor: the elements used and how many
    // endmembers they can tell apart, or the chosen elements the sensor lacks.
    std::string ElementsNote() const;

  private:
    ProcessingSession& session_;
    SpeciesListBox classes_;
    SpeciesListBox endmembers_;
    std::vector<int> shown_endmembers_;
    std::vector<int> elements_;
};

}  // namespace orvane
