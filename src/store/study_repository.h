// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>
#include <vector>

namespace orvane {

class Database;

// How many enabled spectra a species of a study has.
struct SpeciesSpectraCount {
    int species_id = 0;
    int spectra = 0;
};

// A species of a study by its folder name.
struct SpeciesFolder {
    int species_id = 0;
    std::string folder_name;
};

// A study by name.
struct StudyName {
    std::string name;
    int study_id = 0;
};

// An enabled spectrum with the folder name of its species.
struct SpectrumOfSpecies {
    int spectrum_id = 0;
    std::string folder_name;
};

// The rows of a study's species and spectra that the analyses select from.
class StudyRepository {
  public:
    explicit StudyRepository(Database& db) : db_(db) {}

    // Every species of the study that has enabled spectra, with their count, in the server's
    // order.
    std::vector<SpeciesSpectraCount> EnabledSpectraPerSpecies(int study_id);
    // The enabled spectra of those species of the study, by spectrum id; none for no species.
    std::vector<SpectrumOfSpecies> EnabledSpectra(int study_id,
                                                  const std::vector<int>& species_ids);

    // The study's name; empty when there is no such study.
    std::string Name(int study_id);
    // Every study but one, in the server's order.
    std::vector<StudyName> OtherStudies(int study_id);
    // The study's species, in the server's order.
    std::vector<SpeciesFolder> Species(int study_id);

  private:
    Database& db_;
};

}  // namespace orvane
