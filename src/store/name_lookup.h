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

// True when `name` reads as an id: digits only, apart from blanks around them. Such a name
// could be taken for another row's id, so no new name or rename may be one.
bool ReadsAsId(const std::string& name);

// Refuses (OrvaneError) a new name or a rename that the database or the lookup below could not
// tell apart: one that is not valid UTF-8, one that reads as an id, and one that begins with
// "id:" or "name:", the prefixes the lookup reads.
void CheckNewName(const NamedTable& table, const std::string& name);

// The row a user means by `value`, by one rule for every NAME|ID:
//   "id:N"      the id N;
//   "name:TEXT" the row whose name is TEXT byte for byte (the server's own comparison ignores
//               case and trailing blanks, which picked the wrong study);
//   digits      the id they spell; refused when another row is named exactly these digits
//               (rows named so before such names were refused), so a delete never hits the
//               row the user did not mean;
//   otherwise   the row named exactly `value`.
// Names are looked for among the rows that `condition` (an SQL condition) selects; `scope`
// ends the messages that say none was found there (" of that type"). Throws OrvaneError when
// no row matches (naming a near match, if any) and when several do, listing their ids.
int ResolveByNameOrId(Database& db, const NamedTable& table, const std::string& value,
                      const std::string& condition = "1", const std::string& scope = "");

// The rows (id, name) whose name equals `name` when case and trailing blanks are ignored,
// among those `condition` (an SQL condition, "1" for all) selects: the names a new row may
// not take, since a user could not tell them apart.
std::vector<std::pair<int, std::string>> SimilarNames(Database& db, const NamedTable& table,
                                                      const std::string& name,
                                                      const std::string& condition = "1");

// Every row (id, name) of the table, by id: the study and sensor lists of both faces.
std::vector<std::pair<int, std::string>> AllNames(Database& db, const NamedTable& table);

}  // namespace orvane
