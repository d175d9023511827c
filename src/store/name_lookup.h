// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace orvane {

class Database;

// A table whose rows users pick by name: studies, sensors, feature spaces.
struct NamedTable {
    const char* table;
    const char* key;
    const char* what;    // "study"
    const char* whats;   // "studies"
};

extern const NamedTable kStudyNames;
extern const NamedTable kSensorNames;
extern const NamedTable kFeatureSpaceNames;

// True for an id as users write it: one to nine digits, nothing else.
bool IsNumber(const std::string& s);

// An id given as digits, or else the one row whose name is `value` byte for byte (the
// server's own comparison ignores case and trailing blanks, which picked the wrong study).
// Throws OrvaneError when no row matches (naming a near match, if any) and when several do,
// listing their ids so that the user can give one.
int ResolveByNameOrId(Database& db, const NamedTable& table, const std::string& value);

// The rows (id, name) whose name equals `name` when case and trailing blanks are ignored,
// among those `condition` (an SQL condition, "1" for all) selects: the names a new row may
// not take, since a user could not tell them apart.
std::vector<std::pair<int, std::string>> SimilarNames(Database& db, const NamedTable& table,
                                                      const std::string& name,
                                                      const std::string& condition = "1");

// Every row (id, name) of the table, by id: the study and sensor lists of both faces.
std::vector<std::pair<int, std::string>> AllNames(Database& db, const NamedTable& table);

}  // namespace orvane
