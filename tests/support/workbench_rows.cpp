#include "support/workbench_rows.h"

#include "app/frontend.h"
#include "app/processing_session.h"
#include "app/sensor_import.h"

namespace orvane::test {

int MakeStudy(Database& db, const std::string& name) {
    db.Execute(
        Sql("insert into study (name, description, datapath, min_no_of_spec_per_endmember) "
            "values ('%s', '', '/data', 3)",
            db.Escape(name).c_str()));
    const int id = static_cast<int>(db.InsertId());
    db.Execute(
        Sql("insert into smoothing_filter (study_id, sf_type_id, changed_at) values (%i, "
            "(select sf_type_id from smoothing_filter_type where type = 0), "
            "current_timestamp(6))",
            id));
    db.Execute(
        Sql("insert into waveband_filter (study_id, changed_at) values (%i, "
            "current_timestamp(6))",
            id));
    return id;
}

void ImportSensors(const ScratchDatabase& scratch, const std::vector<std::string>& names) {
    ProcessingSession session(scratch.Connect(), nullptr);
    SilentFrontend quiet;
    for (const std::string& name : names)
        ImportSensor(session, quiet, SourcePath("data/sensors/" + name + ".txt"), 0);
}

void LoadSeedFeatureSpaces(Database& db) { RunSqlScript(db, SourcePath("db/seed.sql")); }

int Count(Database& db, const std::string& sql) {
    int n = -1;
    db.QueryInt(sql, n);
    return n;
}

}  // namespace orvane::test
