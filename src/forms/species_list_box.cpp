#include "forms/species_list_box.h"

#include <algorithm>
#include <cctype>
#include <string>

#include "stats/mixture_store.h"

namespace orvane {

namespace {

std::string Lower(const std::string& text) {
    std::string lower(text);
    for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return lower;
}

// Letters compared without case; names equal but for case keep a fixed order.
bool TextBefore(const std::string& a, const std::string& b) {
    const std::string la = Lower(a), lb = Lower(b);
    return la != lb ? la < lb : a < b;
}

}  // namespace

void SpeciesListBox::Add(const std::string& text, int data) {
    auto at = std::upper_bound(
        items_.begin(), items_.end(), text,
        [](const std::string& t, const FormItem& item) { return TextBefore(t, item.text); });
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
