// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "store/database.h"

namespace orvane {

// The version of the database schema this program is written for. db/schema.sql records it;
// db/migrations/NNN-*.sql bring an older database up to it.
constexpr int kSchemaVersion = 6;

// The database's recorded version: 1 for a database from before versions were recorded.
int StoredSchemaVersion(Database& db);

// Throws OrvaneError naming the database, both versions and what to do when the database's
// schema is not the one this program knows: a newer one it might damage, an older one whose
// missing keys and columns its statements rely on.
void RequireSchemaVersion(Database& db);

}  // namespace orvane
