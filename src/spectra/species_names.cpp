// SPDX-License-Identifier: GPL-3.0-or-later
#include "spectra/species_names.h"

#include <fmt/format.h>

#include "base/orvane_error.h"
#include "base/shown_text.h"
#include "base/utf8_text.h"
#include "store/record_history.h"
#include "store/study_repository.h"

namespace orvane {

namespace {

size_t CharacterCount(const std::string& text) {
    size_t count = 0;
    for (unsigned char c : text)
        if ((c & 0xC0) != 0x80) ++count;
    return count;
}

// A name goes on one line of every listing and report, so it may not hold a control character.
void CheckName(const std::string& what, const std::string& text) {
    if (!IsValidUtf8(text))
        throw OrvaneError(fmt::format("The {} \"{}\" is not UTF-8 text.", what,
                                      EscapeControls(text)));
    for (size_t i = 0; i < text.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        const bool c1 = c == 0xC2 && i + 1 < text.size() &&
                        static_cast<unsigned char>(text[i + 1]) >= 0x80 &&
                        static_cast<unsigned char>(text[i + 1]) <= 0x9F;
        if (c < 0x20 || c == 0x7F || c1)
            throw OrvaneError(fmt::format("The {} \"{}\" holds a control character.", what,
                                          EscapeControls(text)));
    }
    if (CharacterCount(text) > kMaxSpeciesNameChars)
        throw OrvaneError(fmt::format("The {} \"{}\" is longer than {} characters.", what,
                                      EscapeControls(text), kMaxSpeciesNameChars));
}

}  // namespace

std::vector<SpeciesNames> ListSpeciesNames(Database& db, int study_id) {
    std::vector<SpeciesNames> list;
    for (StoredSpeciesNames& stored : StudyRepository(db).SpeciesNames(study_id))
        list.push_back({std::move(stored.folder), std::move(stored.common),
                        std::move(stored.latin), std::move(stored.local), stored.species_id,
                        stored.row_version});
    return list;
}

int RenameSpecies(Database& db, int study_id, const std::string& folder,
                   const SpeciesRename& names) {
    if (names.common) CheckName("common name", *names.common);
    if (names.latin) CheckName("Latin name", *names.latin);
    if (names.local) CheckName("local name", *names.local);
    const SpeciesNames* current = nullptr;
    const std::vector<SpeciesNames> all = ListSpeciesNames(db, study_id);
    for (const SpeciesNames& s : all)
        if (s.folder == folder) current = &s;
    if (!current)
        throw OrvaneError(fmt::format("The study has no species folder \"{}\".",
                                      EscapeControls(folder)));
    // A name not given keeps the current one; an empty one clears it.
    StoredSpeciesNames stored;
    stored.folder = folder;
    stored.common = names.common ? *names.common : current->common;
    stored.latin = names.latin ? *names.latin : current->latin;
    stored.local = names.local ? *names.local : current->local;
    // Never over another session's change: the update matches only the version read.
    const int read = names.read_version > 0 ? names.read_version : current->row_version;
    const std::string what = "The species \"" + EscapeControls(folder) + "\"";
    if (read != current->row_version ||
        !StudyRepository(db).SetSpeciesNames(study_id, stored, read))
        throw RecordChanged(what, SpeciesChange(db, current->species_id));
    const std::optional<LastChange> now = SpeciesChange(db, current->species_id);
    return now ? now->version : read + 1;
}

std::string NameTypeLabel(int name_type) {
    switch (name_type) {
        case kCommonName: return "common name";
        case kLocalName: return "local name";
        case kLatinName: return "Latin name";
        default: return "folder name";
    }
}

std::string MissingNamesNote(const std::vector<std::pair<std::string, std::string>>& names,
                             int name_type) {
    if (name_type != kCommonName && name_type != kLocalName && name_type != kLatinName) return {};
    std::string folders;
    int missing = 0;
    for (const auto& [folder, name] : names) {
        if (!name.empty()) continue;
        folders += (missing++ ? ", " : "") + EscapeControls(folder);
    }
    if (missing == 0) return {};
    return fmt::format("{} of {} species have no {}; their folder names are shown instead: {}.",
                       missing, names.size(), NameTypeLabel(name_type), folders);
}

}  // namespace orvane
