// SPDX-License-Identifier: GPL-3.0-or-later
#include "forms/species_list_box.h"

#include <algorithm>
#include <string>

#include "stats/mixture_edit.h"

namespace orvane {

void SpeciesListBox::Add(const std::string& text, int data) {
    auto at = std::upper_bound(
        items_.begin(), items_.end(), text,
        [](const std::string& t, const FormItem& item) { return SpeciesBefore(t, item.text); });
    items_.insert(at, FormItem{text, data});
}

void SpeciesListBox::Fill(const std::vector<SpeciesEntry>& entries) {
    items_.clear();
    for (const SpeciesEntry& e : entries) Add(e.folder_name, e.species_id);
}

const FormItem* SpeciesListBox::At(int index) const {
    if (index < 0 || index >= Count()) return nullptr;
    return &items_[static_cast<size_t>(index)];
}

void SpeciesListBox::RemoveAt(int index) {
    if (At(index)) items_.erase(items_.begin() + index);
}

int SpeciesListBox::IndexOf(int data) const {
    for (int i = 0; i < Count(); ++i)
        if (items_[static_cast<size_t>(i)].data == data) return i;
    return -1;
}

int SpeciesListBox::IndexOfText(const std::string& text) const {
    for (int i = 0; i < Count(); ++i)
        if (items_[static_cast<size_t>(i)].text == text) return i;
    return -1;
}

}  // namespace orvane
