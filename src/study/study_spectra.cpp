// SPDX-License-Identifier: GPL-3.0-or-later
#include "study/study_spectra.h"

#include <algorithm>
#include <set>

#include <fmt/format.h>

#include "base/orvane_error.h"
#include "base/shown_text.h"
#include "store/database.h"
#include "study/study_spectra_changes.h"

namespace orvane {

std::vector<StoredSpectrum> ListStudySpectra(Database& db, int study_id,
                                             const std::optional<std::string>& species,
                                             const std::optional<int>& site_no) {
    std::string sql = Sql(
        "select s.spectrum_id, sp.species_id, sp.folder_name, si.site_id, si.site_no, "
        "s.spectrum_no, date_format(si.capture_date, '%%Y-%%m-%%d %%H:%%i:%%s'), s.latitude, "
        "s.longitude, s.altitude, s.pathname, s.disabled from spectrum s, species sp, site si "
        "where s.study_id = %i and sp.species_id = s.species_id and si.site_id = s.site_id",
        study_id);
    if (species) sql += " and sp.folder_name = '" + db.Escape(*species) + "'";
    if (site_no) sql += Sql(" and si.site_no = %i", *site_no);
    sql += " order by sp.folder_name, sp.species_id, si.site_no, s.spectrum_no, s.spectrum_id";
    std::vector<StoredSpectrum> list;
    ResultSet rows = db.Query(sql);
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

std::string StudyName(Database& db, int study_id) {
    std::string name;
    db.QueryText(Sql("SELECT name FROM study WHERE study_id = %i", study_id), name);
    return name;
}

std::vector<std::string> StudySpeciesFolders(Database& db, int study_id) {
    std::vector<std::string> folders;
    ResultSet rows = db.Query(Sql(
        "SELECT folder_name FROM species WHERE study_id = %i ORDER BY folder_name, species_id",
        study_id));
    while (rows.Next()) folders.push_back(rows.String(0));
    return folders;
}

int SetSpectraDisabled(Database& db, int study_id, const std::vector<int>& spectrum_ids,
                       bool disabled) {
    const std::set<int> ids(spectrum_ids.begin(), spectrum_ids.end());
    if (ids.empty()) return 0;
    std::string list;
    for (int id : ids) list += (list.empty() ? "" : ",") + std::to_string(id);
    std::set<int> found;
    {
        ResultSet rows = db.Query(
            Sql("select spectrum_id from spectrum where study_id = %i and spectrum_id in (%s)",
                study_id, list.c_str()));
        while (rows.Next()) found.insert(rows.Int(0));
    }
    std::string missing;
    for (int id : ids)
        if (!found.count(id)) missing += (missing.empty() ? "" : ", ") + std::to_string(id);
    if (!missing.empty())
        throw OrvaneError("The current study has no spectrum with id " + missing +
                          "; nothing was changed.");
    Transaction transaction(db);
    db.Execute(Sql("update spectrum set disabled = %i where study_id = %i and spectrum_id in (%s) "
                   "and disabled %s 0",
                   disabled ? 1 : 0, study_id, list.c_str(), disabled ? "=" : "<>"));
    const int changed = static_cast<int>(db.AffectedRows());
    if (changed > 0) MarkStudySpectraChanged(db, study_id);
    transaction.Commit();
    return changed;
}

std::string StoredSpectrumLine(const StoredSpectrum& s) {
    return fmt::format("{}\t{}\t{}\t{}\t{}\t{:.6f}\t{:.6f}\t{:.1f}\t{}", s.spectrum_id,
                       EscapeControls(s.species), s.site_no, s.spectrum_no,
                       s.capture_time.empty() ? "-" : s.capture_time, s.latitude, s.longitude,
                       s.altitude, s.disabled ? "disabled" : "enabled");
}

}  // namespace orvane
