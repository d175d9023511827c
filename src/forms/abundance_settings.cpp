// SPDX-License-Identifier: GPL-3.0-or-later
#include "forms/abundance_settings.h"

#include <fmt/format.h>

#include <cstdlib>

#include "base/orvane_error.h"
#include "chain/processing_session.h"
#include "stats/mixture_edit.h"

namespace orvane {

AbundanceSettings::AbundanceSettings(ProcessingSession& session) : session_(session) {}

void AbundanceSettings::Show() {
    MixtureStore store(session_.Db(), session_.StudyId());
    classes_.Fill(store.Species(false));
    if (classes_.Empty()) classes_.Add(kNoSpecies, SpeciesListBox::kPlaceholder);
    available_.Clear();
    selected_.Clear();
}

bool AbundanceSettings::SelectClass(int class_index) {
    const FormItem* item = classes_.At(class_index);
    if (!item || item->data == SpeciesListBox::kPlaceholder) return false;
    mixture_ = item->data;
    Refresh();
    abundance_.clear();
    return true;
}

void AbundanceSettings::Refresh() {
    MixtureStore store(session_.Db(), session_.StudyId());
    available_.Fill(store.AvailableEndmembers(mixture_));
    selected_.Fill(store.SelectedEndmembers(mixture_));
    total_ = store.Total(mixture_);
}

bool AbundanceSettings::Add(int available_index) {
    const FormItem* item = available_.At(available_index);
    if (!item || mixture_ == 0) return false;
    MixtureStore(session_.Db(), session_.StudyId()).AddEndmember(mixture_, item->data);
    Refresh();
    return true;
}

bool AbundanceSettings::Remove(int selected_index) {
    const FormItem* item = selected_.At(selected_index);
    if (!item || mixture_ == 0) return false;
    MixtureStore(session_.Db(), session_.StudyId()).RemoveEndmember(mixture_, item->data);
    Refresh();
    return true;
}

void AbundanceSettings::SelectEndmember(int selected_index) {
    const FormItem* item = selected_.At(selected_index);
    if (!item) return;
    abundance_ = MixtureStore(session_.Db(), session_.StudyId()).Abundance(mixture_, item->data);
}

bool AbundanceSettings::Save(int selected_index) {
    MixtureStore store(session_.Db(), session_.StudyId());
    const FormItem* item = selected_.At(selected_index);
    bool saved = false;
    if (item) {
        double value = 0.0;
        try {
            value = ParseAbundance(abundance_);
        } catch (const OrvaneError&) {
            total_ = store.Total(mixture_);
            throw;
        }
        try {
            SaveAbundance(store, mixture_, item->data, value, false);
        } catch (const OrvaneError&) {
            total_ = store.Total(mixture_);
            throw;
        }
        saved = true;
    }
    total_ = store.Total(mixture_);
    return saved;
}

void AbundanceSettings::Complement() {
    // Fifteen significant digits: the total saved with it is 1 within far less than the
    // slack the check allows, where six decimals could round it past 1 and be refused.
    abundance_ = fmt::format("{:.15g}", 1.0 - std::atof(total_.c_str()));
}

}  // namespace orvane
