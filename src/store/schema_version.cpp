#include "store/schema_version.h"

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
        throw OrvaneError(
            Sql("The database \"%s\" has schema version %i, newer than this "
                "program knows (%i); use the newer version of Orvane that "
                "changed it.",
                name.c_str(), stored, kSchemaVersion));
    if (stored < kSchemaVersion)
        throw OrvaneError(
            Sql("The database \"%s\" has schema version %i, older than this "
                "program needs (%i); bring it up to date with \"scripts/orvane-db "
                "migrate\" (private server) or by applying db/migrations/%03i-*.sql "
                "and the later files in order.",
                name.c_str(), stored, kSchemaVersion, stored + 1));
}

}  // namespace orvane
