// SPDX-License-Identifier: GPL-3.0-or-later
#include "store/mixture_store.h"

#include "store/database.h"

namespace orvane {

std::vector<SpeciesEntry> MixtureStore::List(const std::string& sql) {
    std::vector<SpeciesEntry> entries;
    ResultSet rows = db_.Query(sql);
    while (rows.Next()) entries.push_back({rows.String(0), rows.Int(1)});
    return entries;
}

std::vector<SpeciesEntry> MixtureStore::Species(bool endmembers) {
    return List(
        Sql("SELECT folder_name, species_id FROM species where study_id = %i and "
            "endmember = '%c'",
            study_id_, endmembers ? 'Y' : 'N'));
}

void MixtureStore::SetEndmember(int species_id, bool endmember) {
    db_.Execute(Sql("UPDATE species set endmember = '%c' where species_id = %i",
                    endmember ? 'Y' : 'N', species_id));
}

std::vector<SpeciesEntry> MixtureStore::AvailableEndmembers(int mixture_id) {
    return List(
        Sql("SELECT folder_name, species_id FROM species where endmember = 'Y' and "
            "study_id = %i and species_id not in (select endmember_id from mixture where "
            "species_id = %i) ",
            study_id_, mixture_id));
}

std::vector<SpeciesEntry> MixtureStore::SelectedEndmembers(int mixture_id) {
    return List(
        Sql("SELECT folder_name, species_id FROM species where endmember = 'Y' and "
            "study_id = %i and species_id in (select endmember_id from mixture where "
            "species_id = %i)",
            study_id_, mixture_id));
}

void MixtureStore::AddEndmember(int mixture_id, int endmember_id) {
    db_.Execute(Sql("insert into mixture (species_id, endmember_id) values(%i, %i)", mixture_id,
                    endmember_id));
}

void MixtureStore::RemoveEndmember(int mixture_id, int endmember_id) {
    db_.Execute(Sql("delete from mixture where species_id = %i and endmember_id = %i", mixture_id,
                    endmember_id));
}

std::string MixtureStore::Abundance(int mixture_id, int endmember_id) {
    std::string text;
    db_.QueryText(Sql("select abundance from mixture where species_id = %i and endmember_id = %i",
                      mixture_id, endmember_id),
                  text);
    return text;
}

std::vector<std::pair<int, double>> MixtureStore::AbundancesForUpdate(int mixture_id) {
    std::vector<std::pair<int, double>> rows;
    for (const MixtureRow& row : RowsForUpdate(mixture_id))
        rows.emplace_back(row.endmember_id, row.abundance);
    return rows;
}

std::vector<MixtureRow> MixtureStore::RowsForUpdate(int mixture_id) {
    Statement select(db_,
                     "select endmember_id, abundance, row_version from mixture where species_id = "
                     "? for update");
    select.SetInt(0, mixture_id);
    MixtureRow row;
    select.BindResultInt(0, &row.endmember_id);
    select.BindResultDouble(1, &row.abundance);
    select.BindResultInt(2, &row.row_version);
    select.Execute();
    std::vector<MixtureRow> rows;
    while (select.Fetch()) rows.push_back(row);
    return rows;
}

bool MixtureStore::SetAbundance(int mixture_id, int endmember_id, double abundance,
                                int read_version) {
    Statement update(db_, std::string("update mixture set abundance = ? where species_id = ? and "
                                      "endmember_id = ?") +
                              (read_version > 0 ? " and row_version = ?" : ""));
    update.SetDouble(0, abundance);
    update.SetInt(1, mixture_id);
    update.SetInt(2, endmember_id);
    if (read_version > 0) update.SetInt(3, read_version);
    update.Execute();
    // The triggers stamp every update, so a matched row always counts as changed.
    return update.AffectedRows() > 0;
}

std::string MixtureStore::Total(int mixture_id) {
    std::string text;
    db_.QueryText(Sql("select sum(abundance) from mixture where species_id = %i", mixture_id),
                  text);
    return text;
}

std::vector<SpeciesEntry> MixtureStore::UnmixingSpecies(bool endmembers) {
    std::vector<SpeciesEntry> entries;
    ResultSet rows = db_.Query(
        Sql("select species_id, folder_name from species where endmember = '%c' and study_id = %i",
            endmembers ? 'Y' : 'N', study_id_));
    while (rows.Next()) entries.push_back({rows.String(1), rows.Int(0)});
    return entries;
}

std::vector<RecordedFraction> MixtureStore::Recorded(int mixture_id) {
    std::vector<RecordedFraction> recorded;
    ResultSet rows = db_.Query(
        Sql("select abundance, folder_name, m.endmember_id from mixture m, species s "
            "where m.species_id = %i and s.species_id = m.endmember_id order by "
            "folder_name",
            mixture_id));
    while (rows.Next()) recorded.push_back({rows.String(0), rows.String(1), rows.Int(2)});
    return recorded;
}

}  // namespace orvane
