// SPDX-License-Identifier: GPL-3.0-or-later
#include "store/study_repository.h"

#include "store/database.h"

namespace orvane {

std::vector<SpeciesSpectraCount> StudyRepository::EnabledSpectraPerSpecies(int study_id) {
    std::vector<SpeciesSpectraCount> counts;
    ResultSet rows = db_.Query(
        Sql("select count(spectrum_id), sp.species_id from spectrum s, species sp where "
            "sp.species_id = s.species_id and sp.study_id = %i and disabled = 0 group by "
            "sp.species_id",
            study_id));
    while (rows.Next()) counts.push_back({rows.Int(1), rows.Int(0)});
    return counts;
}

std::vector<SpectrumOfSpecies> StudyRepository::EnabledSpectra(
    int study_id, const std::vector<int>& species_ids) {
    std::vector<SpectrumOfSpecies> spectra;
    // "in ()" is no statement the server accepts; no species has no spectra.
    if (species_ids.empty()) return spectra;
    std::string list;
    for (int id : species_ids) list += (list.empty() ? "" : ", ") + std::to_string(id);
    ResultSet rows = db_.Query(
        Sql("select s.spectrum_id, sp.folder_name from spectrum s, species sp where "
            "sp.species_id = s.species_id and s.study_id = %i and s.species_id in (%s) and "
            "s.disabled = 0 order by s.spectrum_id",
            study_id, list.c_str()));
    while (rows.Next()) spectra.push_back({rows.Int(0), rows.String(1)});
    return spectra;
}

std::string StudyRepository::Name(int study_id) {
    std::string name;
    db_.QueryText(Sql("select name from study where study_id = %i", study_id), name);
    return name;
}

std::vector<StudyName> StudyRepository::OtherStudies(int study_id) {
    std::vector<StudyName> studies;
    ResultSet rows =
        db_.Query(Sql("SELECT name, study_id FROM study where study_id <> %i;", study_id));
    while (rows.Next()) studies.push_back({rows.String(0), rows.Int(1)});
    return studies;
}

std::vector<SpeciesFolder> StudyRepository::Species(int study_id) {
    std::vector<SpeciesFolder> species;
    ResultSet rows = db_.Query(
        Sql("SELECT species_id, folder_name from species where study_id = %i", study_id));
    while (rows.Next()) species.push_back({rows.Int(0), rows.String(1)});
    return species;
}

}  // namespace orvane
