// SPDX-License-Identifier: GPL-3.0-or-later
#include "spectra/species_names.h"

#include <fmt/format.h>

#include "base/orvane_error.h"
#include "base/shown_text.h"
#include "base/utf8_text.h"
#include "store/database.h"

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

void SetName(Statement& update, unsigned index, const std::optional<std::string>& name,
             const std::string& current) {
    const std::string& value = name ? *name : current;
    if (value.empty())
        update.SetNull(index);
    else
        update.SetText(index, value);
}

}  // namespace

std::vector<SpeciesNames> ListSpeciesNames(Database& db, int study_id) {
    std::vector<SpeciesNames> list;
    ResultSet rows = db.Query(
        Sql("SELECT folder_name, common_name, latin_name, maori_name FROM species WHERE "
            "study_id = %i ORDER BY folder_name",
            study_id));
    while (rows.Next()) {
        SpeciesNames names;
        names.folder = rows.String(0);
        if (!rows.IsNull(1)) names.common = rows.String(1);
        if (!rows.IsNull(2)) names.latin = rows.String(2);
        if (!rows.IsNull(3)) names.local = rows.String(3);
        list.push_back(std::move(names));
    }
    return list;
}

void RenameSpecies(Database& db, int study_id, const std::string& folder,
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
    Statement update(db,
                     "UPDATE species SET common_name = ?, latin_name = ?, maori_name = ? "
                     "WHERE study_id = ? AND folder_name = ?");
    SetName(update, 0, names.common, current->common);
    SetName(update, 1, names.latin, current->latin);
    SetName(update, 2, names.local, current->local);
    update.SetInt(3, study_id);
    update.SetText(4, folder);
    update.Execute();
}

std::string NameTypeLabel(int name_type) {
    switch (name_type) {
        case 0: return "common name";
        case 1: return "local name";
        case 2: return "Latin name";
        default: return "folder name";
    }
}

std::string MissingNamesNote(const std::vector<std::pair<std::string, std::string>>& names,
                             int name_type) {
    if (name_type < 0 || name_type > 2) return {};
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
