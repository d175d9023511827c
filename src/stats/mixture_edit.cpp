// SPDX-License-Identifier: GPL-3.0-or-later
#include "stats/mixture_edit.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdlib>

#include <fmt/format.h>

#include "base/shown_text.h"
#include "base/orvane_error.h"
#include "store/database.h"
#include "store/record_history.h"

namespace orvane {

namespace {

std::string Lower(const std::string& text) {
    std::string lower(text);
    for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return lower;
}

const SpeciesEntry* Find(const std::vector<SpeciesEntry>& entries, const std::string& folder) {
    for (const SpeciesEntry& e : entries)
        if (e.folder_name == folder) return &e;
    return nullptr;
}

int MixtureId(MixtureStore& store, const std::string& mixture) {
    const std::vector<SpeciesEntry> mixtures = store.Species(false);
    const SpeciesEntry* found = Find(mixtures, mixture);
    if (!found)
        throw OrvaneError("\"" + mixture +
                          "\" is not a mixture species of the study (species not marked as "
                          "endmembers).");
    return found->species_id;
}

MixtureMakeUp MakeUp(MixtureStore& store, int mixture_id) {
    MixtureMakeUp make_up;
    for (const SpeciesEntry& e : SortedSpecies(store.SelectedEndmembers(mixture_id)))
        make_up.abundances.emplace_back(e.folder_name, store.Abundance(mixture_id, e.species_id));
    make_up.total = store.Total(mixture_id);
    return make_up;
}

}  // namespace

bool SpeciesBefore(const std::string& a, const std::string& b) {
    const std::string la = Lower(a), lb = Lower(b);
    return la != lb ? la < lb : a < b;
}

std::vector<SpeciesEntry> SortedSpecies(std::vector<SpeciesEntry> entries) {
    std::stable_sort(entries.begin(), entries.end(),
                     [](const SpeciesEntry& a, const SpeciesEntry& b) {
                         return SpeciesBefore(a.folder_name, b.folder_name);
                     });
    return entries;
}

double ParseAbundance(const std::string& text) {
    const char* start = text.c_str();
    char* end = nullptr;
    errno = 0;
    const double value = std::strtod(start, &end);
    const bool range_error = errno == ERANGE;
    bool ok = end != start && std::isfinite(value);
    while (ok && (*end == ' ' || *end == '\t')) ++end;
    if (!ok || *end != '\0')
        throw OrvaneError("The abundance \"" + EscapeControls(text) +
                          "\" is not a number; nothing was saved.");
    // Underflow: a double would keep only 0 or a few bits of it.
    if (range_error && std::fabs(value) < 1.0)
        throw OrvaneError("The abundance \"" + EscapeControls(text) +
                          "\" is too small to be stored as given; nothing was saved.");
    if (range_error || !(value >= 0.0 && value <= 1.0))
        throw OrvaneError("The abundance \"" + EscapeControls(text) +
                          "\" is not from 0 to 1 (a fraction of the mixture); nothing was saved.");
    return value == 0.0 ? 0.0 : value;  // -0 is stored as 0
}

void CheckAbundanceTotal(double value, double before, double others) {
    const double total = others + value;
    if (total > 1.0 + kAbundanceTotalSlack && value > before)
        throw OrvaneError(fmt::format(
            "With the abundance {} the mixture's abundances would total {}, more than 1; nothing "
            "was saved (at most {} fits).",
            value, total, std::max(0.0, 1.0 - others)));
}

void SaveAbundance(MixtureStore& store, int mixture_id, int endmember_id, double value,
                   bool record) {
    if (!(value >= 0.0 && value <= 1.0))
        throw OrvaneError(fmt::format("The abundance {} is not from 0 to 1; nothing was saved.",
                                      value));
    RunInTransaction(store.Db(), [&] {
        double others = 0.0, before = 0.0;
        int version = 0;  // the row's version as locked here; a new row has none yet
        for (const MixtureRow& row : store.RowsForUpdate(mixture_id)) {
            (row.endmember_id == endmember_id ? before : others) += row.abundance;
            if (row.endmember_id == endmember_id) version = row.row_version;
        }
        CheckAbundanceTotal(value, before, others);
        if (record) store.AddEndmember(mixture_id, endmember_id);
        if (!store.SetAbundance(mixture_id, endmember_id, value, record ? 0 : version))
            throw RecordChanged("The mixture's abundance", MixtureChange(store.Db(), mixture_id));
    });
}

std::vector<std::string> SpeciesFolders(Database& db, int study_id, bool endmembers) {
    std::vector<std::string> folders;
    for (const SpeciesEntry& e : SortedSpecies(MixtureStore(db, study_id).Species(endmembers)))
        folders.push_back(e.folder_name);
    return folders;
}

std::vector<bool> MarkEndmembers(Database& db, int study_id,
                                 const std::vector<std::string>& folders, bool endmember) {
    MixtureStore store(db, study_id);
    const std::vector<SpeciesEntry> from = store.Species(!endmember);
    const std::vector<SpeciesEntry> to = store.Species(endmember);
    for (const std::string& folder : folders)
        if (!Find(from, folder) && !Find(to, folder))
            throw OrvaneError("The study has no species \"" + folder + "\"; nothing was changed.");
    std::vector<bool> changed;
    std::vector<int> done;
    for (const std::string& folder : folders) {
        const SpeciesEntry* species = Find(from, folder);
        // A folder named twice changes once.
        const bool change =
            species && std::find(done.begin(), done.end(), species->species_id) == done.end();
        if (change) {
            store.SetEndmember(species->species_id, endmember);
            done.push_back(species->species_id);
        }
        changed.push_back(change);
    }
    return changed;
}

MixtureMakeUp ShowMixture(Database& db, int study_id, const std::string& mixture) {
    MixtureStore store(db, study_id);
    return MakeUp(store, MixtureId(store, mixture));
}

MixtureMakeUp SetMixtureAbundance(Database& db, int study_id, const std::string& mixture,
                                  const std::string& endmember, const std::string& abundance) {
    const double value = ParseAbundance(abundance);
    MixtureStore store(db, study_id);
    const int mixture_id = MixtureId(store, mixture);
    const std::vector<SpeciesEntry> not_recorded = store.AvailableEndmembers(mixture_id);
    const std::vector<SpeciesEntry> recorded_ones = store.SelectedEndmembers(mixture_id);
    const SpeciesEntry* available = Find(not_recorded, endmember);
    const SpeciesEntry* recorded = Find(recorded_ones, endmember);
    if (!available && !recorded)
        throw OrvaneError("\"" + endmember + "\" is not an endmember of the study.");
    const int endmember_id = available ? available->species_id : recorded->species_id;
    SaveAbundance(store, mixture_id, endmember_id, value, available != nullptr);
    return MakeUp(store, mixture_id);
}

MixtureMakeUp RemoveFromMixture(Database& db, int study_id, const std::string& mixture,
                                const std::string& endmember) {
    MixtureStore store(db, study_id);
    const int mixture_id = MixtureId(store, mixture);
    const std::vector<SpeciesEntry> recorded_ones = store.SelectedEndmembers(mixture_id);
    const SpeciesEntry* recorded = Find(recorded_ones, endmember);
    if (!recorded)
        throw OrvaneError("The mixture \"" + mixture + "\" records no endmember \"" + endmember +
                          "\".");
    store.RemoveEndmember(mixture_id, recorded->species_id);
    return MakeUp(store, mixture_id);
}

}  // namespace orvane
