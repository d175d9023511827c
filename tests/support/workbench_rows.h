// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>
#include <vector>

#include "base/frontend.h"
#include "chain/processing_session.h"
#include "study/sensor_import.h"
#include "support/scratch_database.h"

namespace orvane::test {

// Imports Gaussian sensor files of data/sensors through the program's own import, in order.
inline void ImportSensors(const ScratchDatabase& scratch, const std::vector<std::string>& names) {
    ProcessingSession session(scratch.Connect(), nullptr);
    SilentFrontend quiet;
    for (const std::string& name : names)
        ImportSensor(session, quiet, SourcePath("data/sensors/" + name + ".txt"), 0);
}

// The starter feature spaces a new database gets.
inline void LoadSeedFeatureSpaces(Database& db) { RunSqlScript(db, SourcePath("db/seed.sql")); }

}  // namespace orvane::test
