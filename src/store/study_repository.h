// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <optional>
#include <set>
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

// One stored spectrum as the study browser lists it. The capture time is the site's: the
// instrument time of the site's first spectrum, which is what the database keeps.
struct StoredSpectrum {
    int spectrum_id = 0;
    int species_id = 0;
    std::string species;  // folder name
    int site_id = 0;
    int site_no = 0;
    int spectrum_no = 0;
    std::string capture_time;  // "YYYY-MM-DD hh:mm:ss", empty when unknown
    double latitude = 0.0;
    double longitude = 0.0;
    double altitude = 0.0;
    std::string file;  // the path it was imported from
    bool disabled = false;
};

// The names of a species; an unset one is empty.
struct StoredSpeciesNames {
    std::string folder;
    std::string common;
    std::string latin;
    std::string local;  // the species table's maori_name column
    int species_id = 0;
    int row_version = 0;  // counts the row's changes
};

// An enabled spectrum with the folder name of its species.
struct SpectrumOfSpecies {
    int spectrum_id = 0;
    std::string folder_name;
};

// What the processing chain takes from a study row.
struct StudyChainRow {
    int min_spectra = 0;  // per endmember
    std::string name;
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
    // The study's minimum of spectra per endmember and its name; empty when there is no such
    // study (the last row wins).
    std::optional<StudyChainRow> ChainRow(int study_id);
    // The study's data folder; empty when there is no such study or it has none.
    std::optional<std::string> DataPath(int study_id);
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

    // The spectra of a study ordered by species folder, site number and spectrum number,
    // optionally of one species folder and one site number only.
    std::vector<StoredSpectrum> Spectra(int study_id, const std::optional<std::string>& species,
                                        const std::optional<int>& site_no);
    // The study's species folders in folder order.
    std::vector<std::string> SortedSpeciesFolders(int study_id);
    // Those of the ids that are spectra of the study.
    std::set<int> SpectraAmong(int study_id, const std::set<int>& spectrum_ids);
    // Sets the disabled flag of those spectra (ids of the study) that differ; returns how
    // many changed.
    int SetDisabled(int study_id, const std::set<int>& spectrum_ids, bool disabled);
    // Records that the study's spectra changed now, so libraries built before are stale.
    void MarkSpectraChanged(int study_id);

    // The names of the study's species in folder order.
    std::vector<StoredSpeciesNames> SpeciesNames(int study_id);
    // The study's species with their number of spectra (disabled ones too), in folder order
    // (numeric order of the folder names when `numerically`); only endmember or only mixture
    // species when `endmember` is given.
    std::vector<SpeciesSpectraCount> SpectraPerSpeciesByFolder(int study_id,
                                                               std::optional<bool> endmember,
                                                               bool numerically);
    // The study's species ordered by folder name, then id.
    std::vector<SpeciesFolder> SpeciesByFolder(int study_id);
    // Stores the names of the species in `folder`; an empty name is stored as NULL.
    // Only the row still at `read_version` (> 0) changes; false when none did.
    bool SetSpeciesNames(int study_id, const StoredSpeciesNames& names, int read_version = 0);

  private:
    Database& db_;
};

}  // namespace orvane
