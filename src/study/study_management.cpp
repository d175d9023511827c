// SPDX-License-Identifier: GPL-3.0-or-later
#include "study/study_management.h"

#include <array>

#include <fmt/format.h>

#include "base/frontend.h"
#include "base/orvane_error.h"
#include "base/shown_text.h"
#include "chain/processing_session.h"
#include "store/database.h"
#include "store/name_lookup.h"
#include "store/study_lock.h"

namespace orvane {

namespace {

constexpr int kMaxSamples = 10000;

// Every child table before the study row; statistics and mixtures while the species that
// select them still exist.
const std::array<const char*, 12> kDeleteSteps = {{
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
    "delete from study where study_id = %i",
}};

// "1 species", "12 sites": the report speaks of what the user collected.
std::string Counted(int n, const char* one, const char* many) {
    return std::to_string(n) + " " + (n == 1 ? one : many);
}

// Characters, not bytes, so that a name is never cut inside a UTF-8 sequence.
std::string FirstCharacters(const std::string& text, size_t count, bool& cut) {
    size_t chars = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        if ((static_cast<unsigned char>(text[i]) & 0xC0) == 0x80) continue;
        if (chars == count) {
            cut = true;
            return text.substr(0, i);
        }
        ++chars;
    }
    cut = false;
    return text;
}

}  // namespace

StudyManagement::StudyManagement(ProcessingSession& session, Frontend& frontend)
    : session_(session), frontend_(frontend) {}

int StudyManagement::CreateStudy(const StudyFields& f) {
    if (f.min_samples < 0 || f.min_samples > kMaxSamples)
        throw OrvaneError("Please enter an integer between 0 and 10000.");
    if (f.name.find_first_not_of(" \t") == std::string::npos)
        throw OrvaneError("Please enter a name for the study.");
    CheckNewName(kStudyNames, f.name);
    Database& db = session_.Db();
    const auto similar = SimilarNames(db, kStudyNames, f.name);
    if (!similar.empty())
        throw OrvaneError(fmt::format("There is a study \"{}\" (id {}) already; give the new "
                                      "study a name that differs by more than case or trailing "
                                      "blanks.",
                                      similar.front().second, similar.front().first));
    Transaction transaction(db);
    db.Execute(
        Sql("insert into study (name, description, datapath, min_no_of_spec_per_endmember) "
            "values('%s', '%s', '%s', %i)",
            db.Escape(f.name).c_str(), db.Escape(f.description).c_str(),
            db.Escape(f.data_path).c_str(), f.min_samples));
    const int study_id = static_cast<int>(db.InsertId());
    db.Execute(
        Sql("insert into smoothing_filter (sf_type_id, changed_at, study_id) values((select "
            "sf_type_id from smoothing_filter_type where type = %i), current_timestamp(6), "
            "%i)",
            0, study_id));
    db.Execute(
        Sql("insert into derivative (deriv_calc_method_id, changed_at, study_id) "
            "values((select deriv_calc_method_id from derivative_calc_method where type = "
            "%i), current_timestamp(6), %i)",
            2, study_id));
    db.Execute(
        Sql("insert into waveband_filter (study_id, changed_at) values(%i, "
            "current_timestamp(6))",
            study_id));
    transaction.Commit();
    session_.SetStudy(study_id);
    return study_id;
}

bool StudyManagement::DeleteCurrentStudy(const std::string& question) {
    Database& db = session_.Db();
    const int study_id = session_.StudyId();
    std::string name;
    if (study_id == 0 ||
        !db.QueryText(Sql("select name from study where study_id = %i", study_id), name))
        throw OrvaneError("There is no current study to delete.");
    std::string warning =
        fmt::format("Warning: \nThe study '{}' including all spectral data will be deleted!", name);
    if (!question.empty()) warning += "\n" + question;
    if (!frontend_.Confirm(warning)) return false;
    const auto count = [&](const char* sql) {
        int n = 0;
        db.QueryInt(Sql(sql, study_id), n);
        return n;
    };
    // The lines of what was deleted follow the commit, so that none claims a deletion that
    // was undone.
    int species = 0, sites = 0, spectra = 0, libraries = 0, analyses = 0;
    {
        StudyLock lock(db, frontend_, study_id);
        frontend_.Report(
            fmt::format("Deleting all data of study '{}' .... \n", EscapeControls(name)));
        species = count("select count(*) from species where study_id = %i");
        sites = count("select count(*) from site where study_id = %i");
        spectra = count("select count(*) from spectrum where study_id = %i");
        libraries = count("select count(*) from library where study_id = %i");
        analyses = count("select count(*) from pca_data where study_id = %i");
        Transaction transaction(db);
        for (const char* step : kDeleteSteps) db.Execute(Sql(step, study_id));
        transaction.Commit();
    }
    frontend_.Report("  Deleted " + Counted(species, "species", "species") + ", " +
                     Counted(sites, "site", "sites") + " and " +
                     Counted(spectra, "spectrum", "spectra") + "\n");
    frontend_.Report("  Deleted " + Counted(libraries, "spectral library", "spectral libraries") +
                     " and " +
                     Counted(analyses, "principal component analysis",
                             "principal component analyses") +
                     "\n");
    frontend_.Report("  Deleted the study's waveband filter, smoothing and derivative settings\n");
    frontend_.Report(
        fmt::format("Study '{}' has been removed from the database\n", EscapeControls(name)));
    int first = 0;
    db.QueryInt("SELECT study_id FROM study LIMIT 1", first);
    session_.SetStudy(first);
    return true;
}

std::string StudyManagement::StudyReport() {
    Database& db = session_.Db();
    const int study_id = session_.StudyId();
    std::string text;
    {
        ResultSet rows =
            db.Query(Sql("select name, description, datapath, "
                         "min_no_of_spec_per_endmember from study where study_id = %i",
                         study_id));
        bool found = false;
        while (rows.Next()) {
            found = true;
            text = "Report about study '" + EscapeControls(rows.String(0)) +
                   "':\n\nDescription:\n" + EscapeControls(rows.String(1)) +
                   "\n\nDatapath:\n" + EscapeControls(rows.String(2)) +
                   "\n\nNumber of minimum spectra per endmember:\n" + rows.Text(3);
        }
        if (!found) throw OrvaneError(fmt::format("There is no study with id {}.", study_id));
    }
    int species = 0;
    db.QueryInt(Sql("select count(*) from species where study_id = %i", study_id), species);
    text += fmt::format("\n\nNumber of species:\n{}", species);
    int spectra = 0;
    db.QueryInt(Sql("select count(*) from spectrum where study_id = %i", study_id), spectra);
    text += fmt::format("\n\nNumber of spectra:\n{}", spectra);
    if (spectra > 0) {
        ResultSet rows = db.Query(Sql(
            "select min(capture_date), max(capture_date) from site where study_id = %i", study_id));
        while (rows.Next())
            text += "\n\nSpectra capturing timeframe:\n" + rows.String(0) + " - " + rows.String(1);
    }
    frontend_.Report(text);
    return text;
}

std::string FolderBrowserStatusText(const std::string& path) {
    bool cut = false;
    const std::string head = FirstCharacters(path, 35, cut);
    return cut ? head + "..." : path;
}

}  // namespace orvane
