// SPDX-License-Identifier: GPL-3.0-or-later
#include "forms/endmember_selection.h"

#include <fmt/format.h>

#include <algorithm>

#include "base/orvane_error.h"
#include "chain/processing_session.h"
#include "spectra/sensor.h"
#include "stats/linear_unmixing.h"
#include "store/mixture_store.h"

namespace orvane {

EndmemberSelection::EndmemberSelection(ProcessingSession& session)
    : session_(session), elements_(DefaultUnmixElements()) {}

void EndmemberSelection::Show() {
    MixtureStore store(session_.Db(), session_.StudyId());
    classes_.Fill(store.Species(false));
    if (classes_.Empty()) classes_.Add(kNoSpecies, SpeciesListBox::kPlaceholder);
    endmembers_.Fill(store.Species(true));
    shown_endmembers_.clear();
    for (const FormItem& item : endmembers_.Items()) shown_endmembers_.push_back(item.data);
}

void EndmemberSelection::Revert() {
    MixtureStore store(session_.Db(), session_.StudyId());
    auto was_endmember = [this](int id) {
        return std::find(shown_endmembers_.begin(), shown_endmembers_.end(), id) !=
               shown_endmembers_.end();
    };
    for (const FormItem& item : endmembers_.Items())
        if (!was_endmember(item.data)) store.SetEndmember(item.data, false);
    for (const FormItem& item : classes_.Items())
        if (item.data != SpeciesListBox::kPlaceholder && was_endmember(item.data))
            store.SetEndmember(item.data, true);
    Show();
}

bool EndmemberSelection::ToEndmembers(int class_index) {
    const FormItem* item = classes_.At(class_index);
    if (!item || item->data == SpeciesListBox::kPlaceholder) return false;
    const FormItem moved = *item;
    MixtureStore(session_.Db(), session_.StudyId()).SetEndmember(moved.data, true);
    classes_.RemoveAt(class_index);
    // An emptied list says so, as it does when shown without mixture species.
    if (classes_.Empty()) classes_.Add(kNoSpecies, SpeciesListBox::kPlaceholder);
    endmembers_.Add(moved.text, moved.data);
    return true;
}

bool EndmemberSelection::ToClasses(int endmember_index) {
    const FormItem* item = endmembers_.At(endmember_index);
    if (!item) return false;
    const FormItem moved = *item;
    MixtureStore(session_.Db(), session_.StudyId()).SetEndmember(moved.data, false);
    endmembers_.RemoveAt(endmember_index);
    // The placeholder would otherwise stand beside a species.
    const int placeholder = classes_.IndexOf(SpeciesListBox::kPlaceholder);
    if (placeholder >= 0) classes_.RemoveAt(placeholder);
    classes_.Add(moved.text, moved.data);
    return true;
}

std::string EndmemberSelection::ElementsText() const { return UnmixElementsText(elements_); }

bool EndmemberSelection::SetElementsText(const std::string& text) {
    try {
        elements_ = ParseUnmixElements(text);
        return true;
    } catch (const OrvaneError&) {
        return false;
    }
}

std::vector<ElementChoice> EndmemberSelection::ElementChoices() const {
    std::vector<ElementChoice> choices;
    const Sensor* sensor = session_.CurrentSensor();
    if (!sensor) return choices;
    for (const SensorElement& e : sensor->Elements()) {
        ElementChoice c;
        c.number = e.number;
        c.text = e.avg_wavelength > 0.0 ? fmt::format("{}  ({:.0f} nm)", e.number, e.avg_wavelength)
                                        : std::to_string(e.number);
        c.chosen = std::binary_search(elements_.begin(), elements_.end(), e.number);
        choices.push_back(std::move(c));
    }
    // A chosen element the sensor lacks is listed too, so that it can be taken out.
    for (int number : elements_) {
        bool listed = false;
        for (const ElementChoice& c : choices) listed = listed || c.number == number;
        if (!listed)
            choices.push_back({number, fmt::format("{}  (not in this sensor)", number), true});
    }
    std::sort(choices.begin(), choices.end(),
              [](const ElementChoice& a, const ElementChoice& b) { return a.number < b.number; });
    return choices;
}

bool EndmemberSelection::SetElementChosen(int number, bool chosen) {
    const auto at = std::lower_bound(elements_.begin(), elements_.end(), number);
    const bool was = at != elements_.end() && *at == number;
    if (chosen == was) return true;
    if (chosen) {
        elements_.insert(at, number);
        return true;
    }
    if (elements_.size() == 1) return false;
    elements_.erase(at);
    return true;
}

void EndmemberSelection::DefaultElements() { elements_ = DefaultUnmixElements(); }

std::string EndmemberSelection::ElementsNote() const {
    std::string words;
    for (size_t i = 0; i < elements_.size(); ++i) {
        if (i) words += i + 1 == elements_.size() ? " and " : ", ";
        words += std::to_string(elements_[i]);
    }
    const char* noun = elements_.size() == 1 ? "element" : "elements";
    const Sensor* sensor = session_.CurrentSensor();
    if (!sensor) return fmt::format("Unmixing uses the sensor {} {}.", noun, words);
    std::string lacking;
    for (int number : elements_) {
        bool found = false;
        for (const SensorElement& e : sensor->Elements()) found = found || e.number == number;
        if (!found) lacking += (lacking.empty() ? "" : ", ") + std::to_string(number);
    }
    if (!lacking.empty())
        return fmt::format("The sensor \"{}\" has no element {}: choose its elements to unmix.",
                           sensor->Name(), lacking);
    return fmt::format("Unmixing uses the {} {} of \"{}\": at most {} endmembers.", noun, words,
                       sensor->Name(), elements_.size());
}

}  // namespace orvane
