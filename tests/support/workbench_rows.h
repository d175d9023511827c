// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>
#include <vector>

#include "support/scratch_database.h"

namespace orvane::test {

// Imports Gaussian sensor files of data/sensors through the program's own import, in order.
void ImportSensors(const ScratchDatabase& scratch, const std::vector<std::string>& names);

// The starter feature spaces a new database gets.
void LoadSeedFeatureSpaces(Database& db);

}  // namespace orvane::test
