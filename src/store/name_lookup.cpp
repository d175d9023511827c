// SPDX-License-Identifier: GPL-3.0-or-later
#include "store/name_lookup.h"

#include <cctype>
#include <climits>
#include <cstdlib>

#include <fmt/format.h>

#include "base/orvane_error.h"
#include "store/database.h"

namespace orvane {

const NamedTable kStudyNames = {"study", "study_id", "study", "studies"};
const NamedTable kSensorNames = {"sensor", "sensor_id", "sensor", "sensors"};
const NamedTable kFeatureSpaceNames = {"feature_space", "feature_space_id", "feature space",
                                       "feature spaces"};

bool IsNumber(const std::string& s) {
    if (s.empty() || s.size() > 9) return false;
    for (char c : s)
        if (!std::isdigit(static_cast<unsigned char>(c))) return false;
    return true;
}

namespace {

std::string IdList(const std::vector<int>& ids) {
    std::string text;
    for (size_t i = 0; i < ids.size(); ++i)
        text += (i == 0 ? "" : i + 1 == ids.size() ? " and " : ", ") + std::to_string(ids[i]);
    return text;
}

}  // namespace

int ResolveByNameOrId(Database& db, const NamedTable& t, const std::string& value) {
    const std::string missing = std::string("There is no ") + t.what + " \"" + value + "\"";
    if (IsNumber(value)) {
        int id = 0;
        if (!db.QueryInt(
                Sql("select %s from %s where %s = %s", t.key, t.table, t.key, value.c_str()), id))
            throw OrvaneError(missing + ".");
        return id;
    }
    // The server's comparison finds the candidates; the exact ones are picked here.
    std::vector<int> exact;
    std::string near;
    ResultSet rows = db.Query(Sql("select %s, name from %s where name = '%s' order by %s", t.key,
                                  t.table, db.Escape(value).c_str(), t.key));
    while (rows.Next()) {
        if (rows.String(1) == value)
            exact.push_back(rows.Int(0));
        else if (near.empty())
            near = fmt::format("; did you mean \"{}\" (id {})?", rows.Text(1), rows.Int(0));
    }
    if (exact.empty()) throw OrvaneError(missing + (near.empty() ? "." : near));
    if (exact.size() > 1)
        throw OrvaneError(fmt::format("The {} name \"{}\" is ambiguous: {} {} have it; give the "
                                      "id instead.",
                                      t.what, value, t.whats, IdList(exact)));
    return exact.front();
}

std::vector<std::pair<int, std::string>> SimilarNames(Database& db, const NamedTable& t,
                                                      const std::string& name,
                                                      const std::string& condition) {
    // utf8mb4_bin pads with blanks, so lower-cased names compare without case and trailing
    // blanks, and without the accent folding of the columns' own collation.
    ResultSet rows =
        db.Query(Sql("select %s, name from %s where (%s) and lower(name) collate "
                     "utf8mb4_bin = lower(_utf8mb4'%s') collate utf8mb4_bin order "
                     "by %s",
                     t.key, t.table, condition.c_str(), db.Escape(name).c_str(), t.key));
    std::vector<std::pair<int, std::string>> found;
    while (rows.Next()) found.emplace_back(rows.Int(0), rows.String(1));
    return found;
}

std::vector<std::pair<int, std::string>> AllNames(Database& db, const NamedTable& t) {
    ResultSet rows = db.Query(Sql("select %s, name from %s order by %s", t.key, t.table, t.key));
    std::vector<std::pair<int, std::string>> found;
    while (rows.Next()) found.emplace_back(rows.Int(0), rows.String(1));
    return found;
}

}  // namespace orvane
