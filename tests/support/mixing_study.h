// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <array>
#include <string>
#include <vector>

#include "store/database.h"

namespace orvane::test {

// Spectra whose synthesized values are known by construction: a sensor of narrow bands at
// kMixingCentres, and spectra that are constant around each centre, so that element k
// synthesizes to the spectrum's value k.

inline constexpr std::array<int, 6> kMixingCentres = {450, 550, 650, 800, 1000, 1600};
using BandValues = std::array<double, 6>;

// Writes the sensor file "Mixing <elements> bands" with the first `elements` bands.
void WriteMixingSensor(const std::string& path, int elements = 6);
// A species with one site holding one spectrum per entry; `endmember` sets its flag.
int InsertMixingSpecies(Database& db, int study, const std::string& folder, bool endmember,
                        const std::vector<BandValues>& spectra);
// A mixture row, as recorded fractions.
void InsertMixtureRow(Database& db, int mixture, int endmember, double abundance);

// A study with its chain rows and the mixture species grass, soil and "mix", a 0.7 / 0.3
// mixture of them (none an endmember yet); returns the study id.
int InsertGrassSoilMixStudy(Database& db, const std::string& name);

}  // namespace orvane::test
