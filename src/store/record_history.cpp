// SPDX-License-Identifier: GPL-3.0-or-later
#include "store/record_history.h"

#include <ctime>

#include "store/database.h"

namespace orvane {

namespace {

// The history columns of the table `alias` as whole seconds, after the columns naming the
// record.
std::string HistoryColumns(const std::string& alias) {
    const std::string a = alias + ".";
    return a + "created_by, coalesce(floor(unix_timestamp(" + a + "created_at)), 0), " + a +
           "changed_by, coalesce(floor(unix_timestamp(" + a + "changed_at)), 0), " + a +
           "row_version";
}

void Collect(Database& db, const std::string& kind, const std::string& sql,
             std::vector<RecordHistory>& into) {
    ResultSet rows = db.Query(sql);
    while (rows.Next()) {
        RecordHistory h;
        h.kind = kind;
        h.name = rows.String(0);
        h.created_by = rows.String(1);
        h.created_at = std::strtoll(rows.Text(2), nullptr, 10);
        h.changed_by = rows.String(3);
        h.changed_at = std::strtoll(rows.Text(4), nullptr, 10);
        h.version = rows.Int(5);
        into.push_back(std::move(h));
    }
}

std::optional<LastChange> ReadChange(Database& db, const std::string& sql) {
    ResultSet rows = db.Query(sql);
    if (!rows.Next()) return std::nullopt;
    LastChange change;
    change.changed_by = rows.String(0);
    change.changed_at = std::strtoll(rows.Text(1), nullptr, 10);
    change.version = rows.Int(2);
    return change;
}

constexpr const char* kChangeColumns =
    "changed_by, coalesce(floor(unix_timestamp(changed_at)), 0), row_version";

}  // namespace

std::vector<RecordHistory> StudyHistory(Database& db, int study_id) {
    std::vector<RecordHistory> all;
    Collect(db, "study",
            Sql("select t.name, %s from study t where t.study_id = %i",
                HistoryColumns("t").c_str(), study_id),
            all);
    Collect(db, "species",
            Sql("select t.folder_name, %s from species t where t.study_id = %i order by "
                "t.folder_name",
                HistoryColumns("t").c_str(), study_id),
            all);
    // A library is told by its feature space and sensor, and by its id among several.
    Collect(db, "library",
            Sql("select concat(coalesce(f.name, '?'), ' on ', coalesce(se.name, '?'), ' (id ', "
                "t.library_id, ')'), %s from library t left join feature_space f on "
                "f.feature_space_id = t.feature_space_id left join sensor se on se.sensor_id = "
                "t.sensor_id where t.study_id = %i order by 1",
                HistoryColumns("t").c_str(), study_id),
            all);
    Collect(db, "mixture",
            Sql("select concat(m.folder_name, ' / ', e.folder_name), %s from mixture t join "
                "species m on m.species_id = t.species_id join species e on e.species_id = "
                "t.endmember_id where m.study_id = %i order by 1",
                HistoryColumns("t").c_str(), study_id),
            all);
    Collect(db, "feature space",
            Sql("select t.name, %s from feature_space t where t.feature_space_id in (select "
                "feature_space_id from library where study_id = %i) order by t.name, "
                "t.feature_space_id",
                HistoryColumns("t").c_str(), study_id),
            all);
    return all;
}

std::string HistoryTime(int64_t seconds) {
    if (seconds <= 0) return "unknown";
    const std::time_t t = static_cast<std::time_t>(seconds);
    std::tm utc{};
    gmtime_r(&t, &utc);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S UTC", &utc);
    return text;
}

std::optional<LastChange> FeatureSpaceChange(Database& db, int feature_space_id) {
    return ReadChange(db, Sql("select %s from feature_space where feature_space_id = %i",
                              kChangeColumns, feature_space_id));
}

std::optional<LastChange> SpeciesChange(Database& db, int species_id) {
    return ReadChange(
        db, Sql("select %s from species where species_id = %i", kChangeColumns, species_id));
}

std::optional<LastChange> MixtureChange(Database& db, int mixture_id) {
    return ReadChange(db, Sql("select %s from mixture where species_id = %i order by "
                              "changed_at desc, row_version desc limit 1",
                              kChangeColumns, mixture_id));
}

RecordChanged::RecordChanged(const std::string& what, const std::optional<LastChange>& change)
    : OrvaneError(
          change ? what + " changed since it was read: " +
                       (change->changed_by.empty() ? std::string("another session")
                                                   : change->changed_by) +
                       " changed it at " + HistoryTime(change->changed_at) + " (version " +
                       std::to_string(change->version) +
                       "). Nothing was saved; make the change again on its newer values."
                 : what + " changed since it was read: another session removed it. Nothing "
                          "was saved.") {}

}  // namespace orvane
