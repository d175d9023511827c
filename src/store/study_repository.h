// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <optional>
#include <string>
#include <utility>
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

// A study row as its report shows it.
struct StoredStudy {
    std::string name;
    std::string description;
    std::string data_path;
    std::string min_spectra;  // as the server writes it
};

// What a study holds, as its deletion and report count it.
struct StudyContents {
    int species = 0;
    int sites = 0;
    int spectra = 0;
    int libraries = 0;
    int analyses = 0;  // principal component analyses
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
    std::optional<std::string> Name(int study_id);
    std::optional<StoredStudy> Find(int study_id);
    // Some study, to fall back on after a deletion; empty when none is left.
    std::optional<int> AnyStudy();
    // The studies whose names a user could not tell from `name` (case and trailing blanks
    // ignored), as (id, name).
    std::vector<std::pair<int, std::string>> SimilarNames(const std::string& name);
    // A new study with its smoothing (none), derivative (method 2) and waveband filter rows,
    // all stamped now, in one transaction; returns its id.
    int Create(const std::string& name, const std::string& description,
               const std::string& data_path, int min_spectra);
    StudyContents Contents(int study_id);
    // The first and last capture dates of its sites as the server writes them; empty
    // strings when it has no sites.
    std::pair<std::string, std::string> CaptureDates(int study_id);
    // Removes every row of the study, children before parents, in one transaction.
    void DeleteAll(int study_id);
    // Every study but one, in the server's order.
    std::vector<StudyName> OtherStudies(int study_id);
    // The study's species, in the server's order.
    std::vector<SpeciesFolder> Species(int study_id);

  private:
    Database& db_;
};

}  // namespace orvane
