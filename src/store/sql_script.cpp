// SPDX-License-Identifier: GPL-3.0-or-later
#include "store/sql_script.h"

#include <fstream>
#include <sstream>

#include "base/orvane_error.h"
#include "base/shown_text.h"

namespace orvane {

void RunSqlScript(Database& db, const std::string& path) {
    std::ifstream in(path);
    if (!in) throw OrvaneError("Cannot read " + path + ".");
    std::string line;
    std::string statement;
    std::string delimiter = ";";
    while (std::getline(in, line)) {
        const std::string t = TrimmedText(line);
        if (t.empty() || t.compare(0, 2, "--") == 0) continue;
        if (t.compare(0, 10, "DELIMITER ") == 0) {
            delimiter = TrimmedText(t.substr(10));
            continue;
        }
        if (t.size() >= delimiter.size() &&
            t.compare(t.size() - delimiter.size(), delimiter.size(), delimiter) == 0) {
            statement += line.substr(0, line.rfind(delimiter)) + "\n";
            db.Execute(statement);
            statement.clear();
        } else {
            statement += line + "\n";
        }
    }
    if (!TrimmedText(statement).empty()) db.Execute(statement);
}

}  // namespace orvane
