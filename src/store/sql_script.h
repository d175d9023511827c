// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>

#include "store/database.h"

namespace orvane {

// Runs every statement of an SQL script as the mariadb client splits it: statements end with
// ";" at a line end, or with the delimiter a DELIMITER line sets (stored functions and triggers
// hold semicolons of their own); "--" comment lines are skipped. Throws OrvaneError when the
// file cannot be read, DatabaseError when a statement fails.
void RunSqlScript(Database& db, const std::string& path);

}  // namespace orvane
