// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace orvane {

class Database;

// The names of one species of a study. The folder name is the species' key and never changes;
// the others are optional and empty when unset.
struct SpeciesNames {
    std::string folder;
    std::string common;
    std::string latin;
    std::string local;  // stored in the species table's maori_name column
};

// The longest name the species table holds, in characters.
constexpr size_t kMaxSpeciesNameChars = 80;

// Every species of the study in folder order.
std::vector<SpeciesNames> ListSpeciesNames(Database& db, int study_id);

// The new names of one species; a name left out stays as it is, an empty one is cleared.
struct SpeciesRename {
    std::optional<std::string> common;
    std::optional<std::string> latin;
    std::optional<std::string> local;
};

// Stores the names of the species in `folder`; throws OrvaneError, changing nothing, when the
// study has no such species or a name is not UTF-8, holds a control character or is too long.
void RenameSpecies(Database& db, int study_id, const std::string& folder,
                   const SpeciesRename& names);

// "Latin name" for name type 2 (0 common, 1 local, 2 Latin, 3 folder).
std::string NameTypeLabel(int name_type);

// One report line when some of the species have no name of the chosen type, so their folder
// names stand in; empty when every species has one. Each pair is (folder, name of that type).
std::string MissingNamesNote(const std::vector<std::pair<std::string, std::string>>& names,
                             int name_type);

}  // namespace orvane
