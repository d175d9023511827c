// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "store/study_repository.h"

namespace orvane {

class Database;

// The spectra of a study ordered by species folder, site number and spectrum number,
// optionally of one species folder and one site number only.
std::vector<StoredSpectrum> ListStudySpectra(Database& db, int study_id,
                                             const std::optional<std::string>& species = {},
                                             const std::optional<int>& site_no = {});

// The study's name; empty when there is no such study.
std::string StudyName(Database& db, int study_id);

// The study's species folders in folder order.
std::vector<std::string> StudySpeciesFolders(Database& db, int study_id);

// Disables or enables the spectra with these ids in one transaction and, when any of them
// changed, records that the study's spectra changed so its libraries are out of date.
// Throws OrvaneError, changing nothing, when an id is not a spectrum of the study. Returns
// how many spectra changed state.
int SetSpectraDisabled(Database& db, int study_id, const std::vector<int>& spectrum_ids,
                       bool disabled);

// One tab-separated line of a listing: id, species, site, number, capture time, latitude,
// longitude, altitude, "enabled" or "disabled".
std::string StoredSpectrumLine(const StoredSpectrum& s);

}  // namespace orvane
