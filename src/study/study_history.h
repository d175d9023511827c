// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>

namespace orvane {

class Database;

// Who created and last changed the study, its species, libraries and mixtures and the feature
// spaces its libraries use, and when, as a table: one record a line under a heading line,
// columns aligned.
std::string StudyHistoryText(Database& db, int study_id);

}  // namespace orvane
