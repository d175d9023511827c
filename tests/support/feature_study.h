// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "store/database.h"

namespace orvane::test {

// Spectra whose features are known by construction: with narrow sensor bands at 400, 1000 and
// 2000 nm and the band pairs (400, 1000) and (1000, 2000), a spectrum made by
// FeatureSpectrum(f1, f2) has the normalised differences f1 and f2.

// The spectrum as a reflectance BLOB: 0.25 up to 700 nm, b up to 1500 nm, c above.
std::string FeatureSpectrum(double f1, double f2);
// Writes the three-band Gaussian sensor file.
void WriteThreeBandSensor(const std::string& path);
// An NTBI feature space "pairs" of dimension 2 over the two band pairs; returns its id.
int InsertPairFeatureSpace(Database& db);

using FeaturePoints = std::vector<std::pair<double, double>>;
// A species with one site per entry ({site number, feature points}); returns its id.
int InsertFeatureSpecies(Database& db, int study, const std::string& folder,
                         const std::vector<std::pair<int, FeaturePoints>>& sites);

// A study with its chain rows and two species of known features: alpha (two sites, four
// spectra) and beta (one site, four spectra); returns the study id.
int InsertAlphaBetaStudy(Database& db, const std::string& name);

}  // namespace orvane::test
