// SPDX-License-Identifier: GPL-3.0-or-later
#include "forms/abundance_settings.h"

#include <optional>

#include "base/shown_text.h"
#include "store/record_history.h"

#include <fmt/format.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "base/orvane_error.h"
#include "chain/processing_session.h"
#include "stats/mixture_edit.h"
#include "store/database.h"

namespace orvane {

namespace {

// A total as the server writes a sum of doubles: fifteen significant digits.
std::string SumText(double total) { return fmt::format("{:.15g}", total); }

}  // namespace

AbundanceSettings::AbundanceSettings(ProcessingSession& session) : session_(session) {}

void AbundanceSettings::Show() {
    MixtureStore store(session_.Db(), session_.StudyId());
    classes_.Fill(store.Species(false));
    if (classes_.Empty()) classes_.Add(kNoSpecies, SpeciesListBox::kPlaceholder);
    available_.Clear();
    selected_.Clear();
    Cancel();
}

void AbundanceSettings::Cancel() {
    original_.clear();
    working_.clear();
    changed_.clear();
    typed_ = false;
    complement_.clear();
}

AbundanceSettings::MakeUp& AbundanceSettings::Working(int mixture) {
    auto found = working_.find(mixture);
    if (found != working_.end()) return found->second;
    MixtureStore store(session_.Db(), session_.StudyId());
    MakeUp make_up;
    for (const SpeciesEntry& e : store.SelectedEndmembers(mixture)) {
        const std::string text = store.Abundance(mixture, e.species_id);
        make_up.shown[e.species_id] = std::strtod(text.c_str(), nullptr);
    }
    for (const MixtureRow& row : store.RowsForUpdate(mixture)) {
        if (!make_up.shown.count(row.endmember_id)) make_up.hidden += row.abundance;
        make_up.versions[row.endmember_id] = row.row_version;
    }
    original_[mixture] = make_up;
    return working_[mixture] = make_up;
}

double AbundanceSettings::Total(const MakeUp& make_up) const {
    double total = make_up.hidden;
    for (const auto& [id, abundance] : make_up.shown) total += abundance;
    return total;
}

bool AbundanceSettings::SelectClass(int class_index) {
    const FormItem* item = classes_.At(class_index);
    if (!item || item->data == SpeciesListBox::kPlaceholder) return false;
    mixture_ = item->data;
    Refresh();
    abundance_.clear();
    typed_ = false;
    complement_.clear();
    return true;
}

void AbundanceSettings::Refresh() {
    MixtureStore store(session_.Db(), session_.StudyId());
    const MakeUp& make_up = Working(mixture_);
    std::vector<SpeciesEntry> available, selected;
    // The study's endmembers, split by the working copy rather than by the stored rows.
    for (SpeciesEntry& e : store.Species(true)) {
        names_[e.species_id] = e.folder_name;
        (make_up.shown.count(e.species_id) ? selected : available).push_back(std::move(e));
    }
    available_.Fill(available);
    selected_.Fill(selected);
    // Like the server's sum, no total without a recorded endmember.
    const bool recorded = !make_up.shown.empty() || make_up.hidden != 0.0;
    total_ = recorded ? SumText(Total(make_up)) : std::string();
}

bool AbundanceSettings::Add(int available_index) {
    const FormItem* item = available_.At(available_index);
    if (!item || mixture_ == 0) return false;
    Working(mixture_).shown[item->data] = 0.0;
    changed_.insert(mixture_);
    Refresh();
    return true;
}

bool AbundanceSettings::Remove(int selected_index) {
    const FormItem* item = selected_.At(selected_index);
    if (!item || mixture_ == 0) return false;
    Working(mixture_).shown.erase(item->data);
    changed_.insert(mixture_);
    Refresh();
    return true;
}

void AbundanceSettings::SelectEndmember(int selected_index) {
    const FormItem* item = selected_.At(selected_index);
    if (!item) return;
    const MakeUp& make_up = Working(mixture_);
    const auto found = make_up.shown.find(item->data);
    abundance_ = found == make_up.shown.end() ? std::string() : fmt::format("{}", found->second);
    typed_ = false;
    complement_.clear();
}

bool AbundanceSettings::Save(int selected_index) {
    const FormItem* item = selected_.At(selected_index);
    if (!item) return false;
    const double value = ParseAbundance(abundance_);
    MakeUp& make_up = Working(mixture_);
    const double before = make_up.shown[item->data];
    const double others = Total(make_up) - before;
    CheckAbundanceTotal(value, before, others);
    make_up.shown[item->data] = value;
    changed_.insert(mixture_);
    typed_ = false;
    complement_.clear();
    total_ = SumText(Total(make_up));
    return true;
}

void AbundanceSettings::Ok(int selected_index) {
    if (typed_ && !abundance_.empty()) Save(selected_index);
    if (changed_.empty()) return;
    MixtureStore store(session_.Db(), session_.StudyId());
    int outdated = 0;  // a mixture another session changed since it was read
    // Ends the unit without storing anything of it.
    struct Outdated {};
    try {
        RunInTransaction(session_.Db(), [&] {
            outdated = 0;
            for (int mixture : changed_) {
                std::map<int, double> stored;
                std::map<int, int> versions;
                for (const MixtureRow& row : store.RowsForUpdate(mixture)) {
                    stored[row.endmember_id] = row.abundance;
                    versions[row.endmember_id] = row.row_version;
                }
                const MakeUp& was = original_[mixture];
                const MakeUp& now = working_[mixture];
                // Rows added, removed or changed by another session: this edit would undo
                // theirs.
                if (versions != was.versions) {
                    outdated = mixture;
                    break;
                }
                for (const auto& [id, abundance] : was.shown)
                    if (!now.shown.count(id) && stored.count(id))
                        store.RemoveEndmember(mixture, id);
                for (const auto& [id, abundance] : now.shown) {
                    const auto row = stored.find(id);
                    if (row == stored.end()) store.AddEndmember(mixture, id);
                    if ((row == stored.end() || row->second != abundance) &&
                        !store.SetAbundance(mixture, id, abundance,
                                            row == stored.end() ? 0 : versions[id])) {
                        outdated = mixture;
                        break;
                    }
                }
                if (outdated) break;
            }
            if (outdated) throw Outdated{};
        });
    } catch (const Outdated&) {
    }
    if (outdated) {
        // Nothing was stored; the outdated mixture shows its newer values, the other edits
        // stay for the next OK.
        const int at = classes_.IndexOf(outdated);
        const std::string name = at >= 0 ? classes_.At(at)->text : std::to_string(outdated);
        const std::optional<LastChange> change = MixtureChange(session_.Db(), outdated);
        original_.erase(outdated);
        working_.erase(outdated);
        changed_.erase(outdated);
        if (mixture_ == outdated) {
            Refresh();
            abundance_.clear();
            typed_ = false;
            complement_.clear();
        }
        throw RecordChanged("The mixture \"" + name + "\"", change);
    }
    // What is stored is now the starting point of further edits: read again, with the
    // versions the stored rows have now.
    for (int mixture : changed_) {
        original_.erase(mixture);
        working_.erase(mixture);
    }
    changed_.clear();
    if (mixture_ != 0) Refresh();
}

void AbundanceSettings::Complement() {
    // Fifteen significant digits: the total saved with it is 1 within far less than the
    // slack the check allows, where six decimals could round it past 1 and be refused.
    abundance_ = fmt::format("{:.15g}", 1.0 - std::atof(total_.c_str()));
    typed_ = true;  // shown in the edit like a typed value, and saved by OK like one
    complement_ = abundance_;
}

std::string AbundanceSettings::Note() const {
    std::string note;
    if (!complement_.empty() && complement_ == abundance_)
        note = "The complement " + complement_ +
               " is in the field only: Save stores it for the selected endmember (OK saves it "
               "too).";
    std::set<int> mixtures = changed_;
    if (mixture_ != 0) mixtures.insert(mixture_);
    for (int mixture : mixtures) {
        const auto found = working_.find(mixture);
        if (found == working_.end()) continue;
        const MakeUp& make_up = found->second;
        if (make_up.shown.empty() && make_up.hidden == 0.0) continue;
        const double total = Total(make_up);
        if (std::fabs(total - 1.0) <= 1e-9) continue;
        const int at = classes_.IndexOf(mixture);
        const std::string name = at >= 0 ? classes_.At(at)->text : std::to_string(mixture);
        if (!note.empty()) note += '\n';
        note += "Warning: the fractions of " + name + " add up to " + SumText(total) + ", not 1.";
    }
    return note;
}

}  // namespace orvane
