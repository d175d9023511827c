// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/workbench_rows.h"

#include "base/frontend.h"
#include "chain/processing_session.h"
#include "study/sensor_import.h"

namespace orvane::test {

void ImportSensors(const ScratchDatabase& scratch, const std::vector<std::string>& names) {
    ProcessingSession session(scratch.Connect(), nullptr);
    SilentFrontend quiet;
    for (const std::string& name : names)
        ImportSensor(session, quiet, SourcePath("data/sensors/" + name + ".txt"), 0);
}

void LoadSeedFeatureSpaces(Database& db) { RunSqlScript(db, SourcePath("db/seed.sql")); }

}  // namespace orvane::test
