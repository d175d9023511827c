// SPDX-License-Identifier: GPL-3.0-or-later
#include "store/study_repository.h"

#include <array>

#include "store/database.h"
#include "store/name_lookup.h"

namespace orvane {

namespace {

// Every child table before the study row; statistics and mixtures while the species that
// select them still exist.
const std::array<const char*, 14> kDeleteSteps = {{
    "delete from statistic where species_id in (select species_id from species where study_id "
    "= %i)",
    "delete from mixture where species_id in (select species_id from species where study_id = "
    "%i)",
    "delete from library where study_id = %i",
    "delete from pca_data where study_id = %i",
    "delete from spectrum where study_id = %i",
    "delete from site where study_id = %i",
    "delete from species where study_id = %i",
    "delete from waveband_filter_range where study_id = %i",
    "delete from waveband_filter where study_id = %i",
    "delete from derivative where study_id = %i",
    "delete from smoothing_filter where study_id = %i",
    "delete from stage_pair where study_id = %i",
    "delete from stage_option where study_id = %i",
    "delete from study where study_id = %i",
}};

}  // namespace

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

std::optional<std::string> StudyRepository::Name(int study_id) {
    std::string name;
    if (!db_.QueryText(Sql("select name from study where study_id = %i", study_id), name))
        return std::nullopt;
    return name;
}

std::optional<StoredStudy> StudyRepository::Find(int study_id) {
    ResultSet rows = db_.Query(Sql("select name, description, datapath, "
                                   "min_no_of_spec_per_endmember from study where study_id = %i",
                                   study_id));
    std::optional<StoredStudy> found;
    while (rows.Next())
        found = StoredStudy{rows.String(0), rows.String(1), rows.String(2), rows.Text(3)};
    return found;
}

std::optional<StudyChainRow> StudyRepository::ChainRow(int study_id) {
    std::optional<StudyChainRow> found;
    ResultSet rows = db_.Query(
        Sql("select min_no_of_spec_per_endmember, name from study where study_id = %i", study_id));
    while (rows.Next()) found = StudyChainRow{rows.Int(0), rows.String(1)};
    return found;
}

std::optional<std::string> StudyRepository::DataPath(int study_id) {
    std::string path;
    if (!db_.QueryText(Sql("SELECT datapath FROM study where study_id = %i", study_id), path))
        return std::nullopt;
    return path;
}

std::optional<int> StudyRepository::AnyStudy() {
    int first = 0;
    if (!db_.QueryInt("SELECT study_id FROM study LIMIT 1", first)) return std::nullopt;
    return first;
}

std::vector<std::pair<int, std::string>> StudyRepository::SimilarNames(const std::string& name) {
    return orvane::SimilarNames(db_, kStudyNames, name);
}

int StudyRepository::Create(const std::string& name, const std::string& description,
                            const std::string& data_path, int min_spectra) {
    int study_id = 0;
    RunInTransaction(db_, [&] {
        db_.Execute(
            Sql("insert into study (name, description, datapath, min_no_of_spec_per_endmember) "
                "values('%s', '%s', '%s', %i)",
                db_.Escape(name).c_str(), db_.Escape(description).c_str(),
                db_.Escape(data_path).c_str(), min_spectra));
        study_id = static_cast<int>(db_.InsertId());
        db_.Execute(
            Sql("insert into smoothing_filter (sf_type_id, changed_at, study_id) values((select "
                "sf_type_id from smoothing_filter_type where type = %i), current_timestamp(6), "
                "%i)",
                0, study_id));
        db_.Execute(
            Sql("insert into derivative (deriv_calc_method_id, changed_at, study_id) "
                "values((select deriv_calc_method_id from derivative_calc_method where type = "
                "%i), current_timestamp(6), %i)",
                2, study_id));
        db_.Execute(
            Sql("insert into waveband_filter (study_id, changed_at) values(%i, "
                "current_timestamp(6))",
                study_id));
    });
    return study_id;
}

StudyContents StudyRepository::Contents(int study_id) {
    const auto count = [&](const char* sql) {
        int n = 0;
        db_.QueryInt(Sql(sql, study_id), n);
        return n;
    };
    StudyContents c;
    c.species = count("select count(*) from species where study_id = %i");
    c.sites = count("select count(*) from site where study_id = %i");
    c.spectra = count("select count(*) from spectrum where study_id = %i");
    c.libraries = count("select count(*) from library where study_id = %i");
    c.analyses = count("select count(*) from pca_data where study_id = %i");
    return c;
}

std::pair<std::string, std::string> StudyRepository::CaptureDates(int study_id) {
    std::pair<std::string, std::string> dates;
    ResultSet rows = db_.Query(
        Sql("select min(capture_date), max(capture_date) from site where study_id = %i", study_id));
    while (rows.Next()) dates = {rows.String(0), rows.String(1)};
    return dates;
}

std::vector<StoredSpectrum> StudyRepository::Spectra(int study_id,
                                                     const std::optional<std::string>& species,
                                                     const std::optional<int>& site_no) {
    std::string sql = Sql(
        "select s.spectrum_id, sp.species_id, sp.folder_name, si.site_id, si.site_no, "
        "s.spectrum_no, date_format(si.capture_date, '%%Y-%%m-%%d %%H:%%i:%%s'), s.latitude, "
        "s.longitude, s.altitude, s.pathname, s.disabled from spectrum s, species sp, site si "
        "where s.study_id = %i and sp.species_id = s.species_id and si.site_id = s.site_id",
        study_id);
    if (species) sql += " and sp.folder_name = '" + db_.Escape(*species) + "'";
    if (site_no) sql += Sql(" and si.site_no = %i", *site_no);
    sql += " order by sp.folder_name, sp.species_id, si.site_no, s.spectrum_no, s.spectrum_id";
    std::vector<StoredSpectrum> list;
    ResultSet rows = db_.Query(sql);
    while (rows.Next()) {
        StoredSpectrum s;
        s.spectrum_id = rows.Int(0);
        s.species_id = rows.Int(1);
        s.species = rows.String(2);
        s.site_id = rows.Int(3);
        s.site_no = rows.Int(4);
        s.spectrum_no = rows.Int(5);
        s.capture_time = rows.String(6);
        s.latitude = rows.Real(7);
        s.longitude = rows.Real(8);
        s.altitude = rows.Real(9);
        s.file = rows.String(10);
        s.disabled = rows.Int(11) != 0;
        list.push_back(std::move(s));
    }
    return list;
}

std::vector<std::string> StudyRepository::SortedSpeciesFolders(int study_id) {
    std::vector<std::string> folders;
    ResultSet rows = db_.Query(Sql(
        "SELECT folder_name FROM species WHERE study_id = %i ORDER BY folder_name, species_id",
        study_id));
    while (rows.Next()) folders.push_back(rows.String(0));
    return folders;
}

namespace {

std::string IdList(const std::set<int>& ids) {
    std::string list;
    for (int id : ids) list += (list.empty() ? "" : ",") + std::to_string(id);
    return list;
}

}  // namespace

std::set<int> StudyRepository::SpectraAmong(int study_id, const std::set<int>& spectrum_ids) {
    std::set<int> found;
    if (spectrum_ids.empty()) return found;
    ResultSet rows = db_.Query(
        Sql("select spectrum_id from spectrum where study_id = %i and spectrum_id in (%s)",
            study_id, IdList(spectrum_ids).c_str()));
    while (rows.Next()) found.insert(rows.Int(0));
    return found;
}

int StudyRepository::SetDisabled(int study_id, const std::set<int>& spectrum_ids, bool disabled) {
    if (spectrum_ids.empty()) return 0;
    db_.Execute(Sql("update spectrum set disabled = %i where study_id = %i and spectrum_id in (%s) "
                    "and disabled %s 0",
                    disabled ? 1 : 0, study_id, IdList(spectrum_ids).c_str(),
                    disabled ? "=" : "<>"));
    return static_cast<int>(db_.AffectedRows());
}

void StudyRepository::MarkSpectraChanged(int study_id) {
    db_.Execute(Sql("update study set spectra_changed_at = current_timestamp(6) where study_id = %i",
                    study_id));
}

std::vector<StoredSpeciesNames> StudyRepository::SpeciesNames(int study_id) {
    std::vector<StoredSpeciesNames> list;
    ResultSet rows = db_.Query(
        Sql("SELECT folder_name, common_name, latin_name, maori_name, species_id, row_version "
            "FROM species WHERE study_id = %i ORDER BY folder_name",
            study_id));
    while (rows.Next()) {
        StoredSpeciesNames names;
        names.folder = rows.String(0);
        if (!rows.IsNull(1)) names.common = rows.String(1);
        if (!rows.IsNull(2)) names.latin = rows.String(2);
        if (!rows.IsNull(3)) names.local = rows.String(3);
        names.species_id = rows.Int(4);
        names.row_version = rows.Int(5);
        list.push_back(std::move(names));
    }
    return list;
}

bool StudyRepository::SetSpeciesNames(int study_id, const StoredSpeciesNames& names,
                                      int read_version) {
    Statement update(db_, std::string("UPDATE species SET common_name = ?, latin_name = ?, "
                                      "maori_name = ? WHERE study_id = ? AND folder_name = ?") +
                              (read_version > 0 ? " AND row_version = ?" : ""));
    const auto set = [&update](unsigned index, const std::string& value) {
        if (value.empty())
            update.SetNull(index);
        else
            update.SetText(index, value);
    };
    set(0, names.common);
    set(1, names.latin);
    set(2, names.local);
    update.SetInt(3, study_id);
    update.SetText(4, names.folder);
    if (read_version > 0) update.SetInt(5, read_version);
    update.Execute();
    // The triggers stamp every update, so a matched row always counts as changed.
    return update.AffectedRows() > 0;
}

void StudyRepository::DeleteAll(int study_id) {
    RunInTransaction(db_, [&] {
        for (const char* step : kDeleteSteps) db_.Execute(Sql(step, study_id));
    });
}

std::vector<StudyName> StudyRepository::OtherStudies(int study_id) {
    std::vector<StudyName> studies;
    ResultSet rows =
        db_.Query(Sql("SELECT name, study_id FROM study where study_id <> %i;", study_id));
    while (rows.Next()) studies.push_back({rows.String(0), rows.Int(1)});
    return studies;
}

std::vector<SpeciesSpectraCount> StudyRepository::SpectraPerSpeciesByFolder(
    int study_id, std::optional<bool> endmember, bool numerically) {
    std::string query =
        Sql("select count(spectrum_id), sp.species_id from spectrum s, species sp where "
            "sp.species_id = s.species_id and sp.study_id = %i ",
            study_id);
    if (endmember) query += *endmember ? "and endmember = 'Y' " : "and endmember = 'N' ";
    query += "group by folder_name, sp.species_id ORDER BY folder_name";
    if (numerically) query += " + 0";
    std::vector<SpeciesSpectraCount> counts;
    ResultSet rows = db_.Query(query);
    while (rows.Next()) counts.push_back({rows.Int(1), rows.Int(0)});
    return counts;
}

std::vector<SpeciesFolder> StudyRepository::SpeciesByFolder(int study_id) {
    std::vector<SpeciesFolder> species;
    ResultSet rows = db_.Query(Sql(
        "SELECT species_id, folder_name FROM species WHERE study_id = %i ORDER BY folder_name, "
        "species_id",
        study_id));
    while (rows.Next()) species.push_back({rows.Int(0), rows.String(1)});
    return species;
}

std::vector<SpeciesFolder> StudyRepository::Species(int study_id) {
    std::vector<SpeciesFolder> species;
    ResultSet rows = db_.Query(
        Sql("SELECT species_id, folder_name from species where study_id = %i", study_id));
    while (rows.Next()) species.push_back({rows.Int(0), rows.String(1)});
    return species;
}

}  // namespace orvane
