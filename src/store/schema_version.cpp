// SPDX-License-Identifier: GPL-3.0-or-later
#include "store/schema_version.h"

#include <fmt/format.h>

#include "base/data_files.h"

namespace orvane {

int StoredSchemaVersion(Database& db) {
    int tables = 0;
    db.QueryInt(
        "select count(*) from information_schema.tables where table_schema = database() and "
        "table_name = 'schema_version'",
        tables);
    int version = 1;
    if (tables > 0) db.QueryInt("select max(version) from schema_version", version);
    return version;
}

void RequireSchemaVersion(Database& db) {
    const int stored = StoredSchemaVersion(db);
    if (stored == kSchemaVersion) return;
    std::string name = db.Name();
    db.QueryText("select database()", name);
    if (stored > kSchemaVersion)
        throw OrvaneError(fmt::format("The database \"{}\" has schema version {}, newer than "
                                      "this program knows ({}); use the newer version of Orvane "
                                      "that changed it.",
                                      name, stored, kSchemaVersion));
    // The installed program names the installed tool and files, a checkout's its own.
    const DataFiles files = DataFiles::ForThisProgram();
    if (stored < kSchemaVersion)
        throw OrvaneError(fmt::format("The database \"{}\" has schema version {}, older than "
                                      "this program needs ({}); bring it up to date with "
                                      "\"{} migrate\" (private server) or by "
                                      "applying {}/{:03}-*.sql and the later files in "
                                      "order.",
                                      name, stored, kSchemaVersion, files.DbToolCommand(),
                                      files.installed ? files.db + "/migrations" : "db/migrations",
                                      stored + 1));
}

}  // namespace orvane
