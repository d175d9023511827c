// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "base/choice_words.h"

namespace orvane {

class Database;

// The names of one species of a study. The folder name is the species' key and never changes;
// the others are optional and empty when unset.
struct SpeciesNames {
    std::string folder;
    std::string common;
    std::string latin;
    std::string local;  // stored in the species table's maori_name column
    int species_id = 0;
    int row_version = 0;  // the stored row's version when read
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
    // The version of the species the names were chosen against (SpeciesNames::row_version);
    // 0 takes the version read now.
    int read_version = 0;
};

// Stores the names of the species in `folder`; throws OrvaneError, changing nothing, when the
// study has no such species or a name is not UTF-8, holds a control character or is too long,
// and RecordChanged when another session changed the species since `read_version`. Returns
// the species' version after the change.
int RenameSpecies(Database& db, int study_id, const std::string& folder,
                   const SpeciesRename& names);

// Which of its names labels a species in results and exported files. The numbers are kept in
// the window's settings, so they never change. Only an export can number the species instead.
enum NameType { kCommonName = 0, kLocalName = 1, kLatinName = 2, kFolderName = 3, kAutoNumber = 4 };

inline constexpr Choice<NameType> kNameTypeChoices[] = {
    {"common", "Common", kCommonName},
    {"local", "Local", kLocalName},
    {"latin", "Latin", kLatinName},
    {"folder", "Folder", kFolderName},
    {"number", "Auto number", kAutoNumber},
};
// What an export offers; every other result offers the names only.
inline constexpr ChoiceTable<NameType> kExportNameTypes{kNameTypeChoices};
inline constexpr ChoiceTable<NameType> kNameTypes = kExportNameTypes.First(4);
// The local name's word before it was called local; still read wherever a name type is, but
// offered nowhere.
inline constexpr const char* kLocalNameOldWord = "maori";

// "Latin name" for kLatinName; the folder name for anything but the three optional names.
std::string NameTypeLabel(int name_type);

// One report line when some of the species have no name of the chosen type, so their folder
// names stand in; empty when every species has one. Each pair is (folder, name of that type).
std::string MissingNamesNote(const std::vector<std::pair<std::string, std::string>>& names,
                             int name_type);

}  // namespace orvane
