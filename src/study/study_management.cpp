// SPDX-License-Identifier: GPL-3.0-or-later
#include "study/study_management.h"

#include <optional>

#include <fmt/format.h>

#include "base/frontend.h"
#include "base/orvane_error.h"
#include "base/shown_text.h"
#include "chain/processing_session.h"
#include "store/database.h"
#include "store/name_lookup.h"
#include "store/study_repository.h"
#include "store/study_lock.h"
#include "study/study_history.h"

namespace orvane {

namespace {

constexpr int kMaxSamples = 10000;

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
    StudyRepository studies(session_.Db());
    const auto similar = studies.SimilarNames(f.name);
    if (!similar.empty())
        throw OrvaneError(fmt::format("There is a study \"{}\" (id {}) already; give the new "
                                      "study a name that differs by more than case or trailing "
                                      "blanks.",
                                      similar.front().second, similar.front().first));
    const int study_id = studies.Create(f.name, f.description, f.data_path, f.min_samples);
    session_.SetStudy(study_id);
    return study_id;
}

bool StudyManagement::DeleteCurrentStudy(const std::string& question) {
    Database& db = session_.Db();
    StudyRepository studies(db);
    const int study_id = session_.StudyId();
    const std::optional<std::string> stored_name =
        study_id == 0 ? std::nullopt : studies.Name(study_id);
    if (!stored_name) throw OrvaneError("There is no current study to delete.");
    const std::string& name = *stored_name;
    std::string warning =
        fmt::format("Warning: \nThe study '{}' including all spectral data will be deleted!", name);
    if (!question.empty()) warning += "\n" + question;
    if (!frontend_.Confirm(warning)) return false;
    // The lines of what was deleted follow the commit, so that none claims a deletion that
    // was undone.
    StudyContents deleted;
    {
        StudyLock lock(db, frontend_, study_id);
        frontend_.Report(
            fmt::format("Deleting all data of study '{}' .... \n", EscapeControls(name)));
        deleted = studies.Contents(study_id);
        studies.DeleteAll(study_id);
    }
    const int species = deleted.species, sites = deleted.sites, spectra = deleted.spectra,
              libraries = deleted.libraries, analyses = deleted.analyses;
    frontend_.Report("  Deleted " + Counted(species, "species", "species") + ", " +
                     Counted(sites, "site", "sites") + " and " +
                     Counted(spectra, "spectrum", "spectra") + "\n");
    frontend_.Report("  Deleted " + Counted(libraries, "spectral library", "spectral libraries") +
                     " and " +
                     Counted(analyses, "principal component analysis",
                             "principal component analyses") +
                     "\n");
    frontend_.Report(
        "  Deleted the study's waveband filter, splice, smoothing, continuum and derivative "
        "settings\n");
    frontend_.Report(
        fmt::format("Study '{}' has been removed from the database\n", EscapeControls(name)));
    session_.SetStudy(studies.AnyStudy().value_or(0));
    return true;
}

std::string StudyManagement::StudyReport() {
    StudyRepository studies(session_.Db());
    const int study_id = session_.StudyId();
    const std::optional<StoredStudy> study = studies.Find(study_id);
    if (!study) throw OrvaneError(fmt::format("There is no study with id {}.", study_id));
    std::string text = "Report about study '" + EscapeControls(study->name) +
                       "':\n\nDescription:\n" + EscapeControls(study->description) +
                       "\n\nDatapath:\n" + EscapeControls(study->data_path) +
                       "\n\nNumber of minimum spectra per endmember:\n" + study->min_spectra;
    const StudyContents contents = studies.Contents(study_id);
    text += fmt::format("\n\nNumber of species:\n{}", contents.species);
    text += fmt::format("\n\nNumber of spectra:\n{}", contents.spectra);
    if (contents.spectra > 0) {
        const auto [first, last] = studies.CaptureDates(study_id);
        text += "\n\nSpectra capturing timeframe:\n" + first + " - " + last;
    }
    // Who made and last changed the study and what belongs to it.
    text += "\n\nHistory:\n" + StudyHistoryText(session_.Db(), study_id);
    frontend_.Report(text);
    return text;
}

std::string FolderBrowserStatusText(const std::string& path) {
    bool cut = false;
    const std::string head = FirstCharacters(path, 35, cut);
    return cut ? head + "..." : path;
}

}  // namespace orvane
