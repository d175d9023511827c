// SPDX-License-Identifier: GPL-3.0-or-later
#include "store/name_lookup.h"

#include <algorithm>
#include <climits>
#include <string_view>

#include <fmt/format.h>

#include "base/number_text.h"
#include "base/orvane_error.h"
#include "base/shown_text.h"
#include "base/utf8_text.h"
#include "store/database.h"

namespace orvane {

const NamedTable kStudyNames = {"study", "study_id", "study", "studies"};
const NamedTable kSensorNames = {"sensor", "sensor_id", "sensor", "sensors"};
const NamedTable kFeatureSpaceNames = {"feature_space", "feature_space_id", "feature space",
                                       "feature spaces"};

namespace {

constexpr std::string_view kIdPrefix = "id:";
constexpr std::string_view kNamePrefix = "name:";

bool AllDigits(std::string_view s) {
    return !s.empty() && s.find_first_not_of("0123456789") == std::string_view::npos;
}

bool StartsWith(std::string_view s, std::string_view prefix) {
    return s.substr(0, prefix.size()) == prefix;
}

// A value as a message shows it: controls and bytes that are not UTF-8 written as escapes.
std::string Shown(const std::string& value) {
    return "\"" + EscapeControls(value) + "\"";
}

std::string IdList(const std::vector<int>& ids) {
    std::string text;
    for (size_t i = 0; i < ids.size(); ++i)
        text += (i == 0 ? "" : i + 1 == ids.size() ? " and " : ", ") + std::to_string(ids[i]);
    return text;
}

// The id that `digits` spell, or 0 when it is beyond any id (ids start at 1).
int DigitsToId(std::string_view digits) {
    const size_t first = std::min(digits.find_first_not_of('0'), digits.size());
    digits.remove_prefix(first);
    if (digits.empty() || digits.size() > 10) return 0;
    const long long v = std::stoll(std::string(digits));
    return v > INT_MAX ? 0 : static_cast<int>(v);
}

bool IdExists(Database& db, const NamedTable& t, int id) {
    int found = 0;
    return id > 0 && db.QueryInt(Sql("select %s from %s where %s = %i", t.key, t.table, t.key, id),
                                 found);
}

// The ids of the rows in `condition` named `name` byte for byte; `near` gets a hint naming one
// that differs only in case or trailing blanks. The server's comparison finds the candidates.
std::vector<int> ExactNames(Database& db, const NamedTable& t, const std::string& name,
                            const std::string& condition, std::string* near) {
    std::vector<int> exact;
    if (!IsValidUtf8(name)) return exact;  // no stored name is, and the server would refuse it
    ResultSet rows = db.Query(Sql("select %s, name from %s where (%s) and name = '%s' order by %s",
                                  t.key, t.table, condition.c_str(), db.Escape(name).c_str(),
                                  t.key));
    while (rows.Next()) {
        if (rows.String(1) == name)
            exact.push_back(rows.Int(0));
        else if (near && near->empty())
            *near = fmt::format("; did you mean {} (id {})?", Shown(rows.String(1)), rows.Int(0));
    }
    return exact;
}

int ById(Database& db, const NamedTable& t, std::string_view digits, const std::string& given) {
    const int id = DigitsToId(digits);
    if (!IdExists(db, t, id))
        throw OrvaneError(fmt::format("There is no {} with id {}.", t.what, given));
    return id;
}

int ByName(Database& db, const NamedTable& t, const std::string& name,
           const std::string& condition, const std::string& scope) {
    std::string near;
    const std::vector<int> exact = ExactNames(db, t, name, condition, &near);
    if (exact.empty())
        throw OrvaneError(fmt::format("There is no {} {}{}{}", t.what, Shown(name), scope,
                                      near.empty() ? "." : near));
    if (exact.size() > 1)
        throw OrvaneError(fmt::format("The {} name {} is ambiguous{}: {} {} have it; give "
                                      "the id of the one you mean, as in id:{}.",
                                      t.what, Shown(name), scope, t.whats, IdList(exact),
                                      exact.front()));
    return exact.front();
}

}  // namespace

bool ReadsAsId(const std::string& name) {
    const char* blanks = " \t\r\n\v\f";
    const size_t first = name.find_first_not_of(blanks);
    if (first == std::string::npos) return false;
    const size_t last = name.find_last_not_of(blanks);
    return AllDigits(std::string_view(name).substr(first, last - first + 1));
}

void CheckNewName(const NamedTable& t, const std::string& name) {
    if (!IsValidUtf8(name))
        throw OrvaneError(fmt::format("The {} name {} is not valid UTF-8 text (the bytes shown as "
                                      "\\xNN are not); give the name in UTF-8.",
                                      t.what, Shown(name)));
    if (ReadsAsId(name))
        throw OrvaneError(fmt::format("The {} name {} is made of digits only, so it would be "
                                      "taken for a {} id; add a letter or another character.",
                                      t.what, Shown(name), t.what));
    if (StartsWith(name, kIdPrefix) || StartsWith(name, kNamePrefix))
        throw OrvaneError(fmt::format("The {} name {} begins with \"{}\", which marks an {} when "
                                      "names and ids are given; choose another name.",
                                      t.what, Shown(name),
                                      StartsWith(name, kIdPrefix) ? kIdPrefix : kNamePrefix,
                                      StartsWith(name, kIdPrefix) ? "id" : "exact name"));
}

int ResolveByNameOrId(Database& db, const NamedTable& t, const std::string& value,
                      const std::string& condition, const std::string& scope) {
    const std::string_view v(value);
    if (StartsWith(v, kIdPrefix)) {
        const std::string_view digits = v.substr(kIdPrefix.size());
        if (!AllDigits(digits))
            throw OrvaneError(fmt::format("{} is no {} id: after \"id:\" give the digits of "
                                          "one, as in id:5.",
                                          Shown(value), t.what));
        return ById(db, t, digits, std::string(digits));
    }
    if (StartsWith(v, kNamePrefix))
        return ByName(db, t, value.substr(kNamePrefix.size()), condition, scope);
    if (!AllDigits(v)) return ByName(db, t, value, condition, scope);
    // Digits are an id; a row that carries them as its name (stored before such names were
    // refused) makes them ambiguous, and guessing could delete the wrong row.
    const int id = DigitsToId(v);
    std::vector<int> named = ExactNames(db, t, value, condition, nullptr);
    named.erase(std::remove(named.begin(), named.end(), id), named.end());
    const bool exists = IdExists(db, t, id);
    if (!named.empty()) {
        if (!exists)
            throw OrvaneError(fmt::format("There is no {} with id {}, but {} {} named {}; give "
                                          "name:{} to choose it by its name.",
                                          t.what, value, named.size() == 1 ? t.what : t.whats,
                                          IdList(named) + (named.size() == 1 ? " is" : " are"),
                                          Shown(value), value));
        throw OrvaneError(fmt::format("{} is ambiguous: it is the id of a {}, and {} {} named {}; "
                                      "give id:{} for the id or name:{} for the name.",
                                      Shown(value), t.what,
                                      named.size() == 1 ? t.what : t.whats,
                                      IdList(named) + (named.size() == 1 ? " is" : " are"),
                                      Shown(value), value, value));
    }
    if (!exists) throw OrvaneError(fmt::format("There is no {} with id {}.", t.what, value));
    return id;
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
