// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "store/database.h"

namespace orvane::test {

// Rows of a study arranged directly in a scratch database, for tests of the readers.

int InsertStudy(Database& db, const std::string& name, const std::string& datapath = "");
// A study as study creation leaves it: with its "none" smoothing row, its derivative row and
// its waveband filter row, so that libraries can be built and found current.
int InsertStudyWithChainRows(Database& db, const std::string& name, int min_spectra = 3);
int InsertSpecies(Database& db, int study_id, const std::string& folder,
                  const std::optional<std::string>& common = std::nullopt,
                  const std::optional<std::string>& latin = std::nullopt,
                  const std::optional<std::string>& maori = std::nullopt);
int InsertSite(Database& db, int study_id, int species_id, int site_no);
// The study's waveband_filter row and one waveband_filter_range row per {lower, upper};
// returns the filter id.
int InsertWavebandFilter(Database& db, int study_id,
                         const std::vector<std::pair<int, int>>& ranges);

struct SpectrumValues {
    int spectrum_no = 1;
    double latitude = 0.0;
    double longitude = 0.0;
    double altitude = 0.0;
    int disabled = 0;
};

// Inserts the row, then writes `reflectances` as its BLOB (any length, so that tests can
// store a wrong one; an empty block stays NULL).
int InsertSpectrum(Database& db, int study_id, int species_id, int site_id,
                   const SpectrumValues& values, const std::string& reflectances);

// Spectra of a species, one site per entry ({site number, values}): each value a spectrum that
// is constant at it, numbered from 1 across the sites.
void InsertConstantSpectra(Database& db, int study_id, int species_id,
                           const std::vector<std::pair<int, std::vector<float>>>& sites);

// 2150 reflectances that differ at every band and between seeds.
std::vector<float> DistinctReflectances(int seed);
std::string Blob(const std::vector<float>& values);

}  // namespace orvane::test
