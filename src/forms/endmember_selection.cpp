// SPDX-License-Identifier: GPL-3.0-or-later
#include "forms/endmember_selection.h"

#include <algorithm>

#include "chain/processing_session.h"
#include "store/mixture_store.h"

namespace orvane {

EndmemberSelection::EndmemberSelection(ProcessingSession& session) : session_(session) {}

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

}  // namespace orvane
