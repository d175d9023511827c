// SPDX-License-Identifier: GPL-3.0-or-later
#include "study/study_spectra.h"

#include <algorithm>
#include <set>

#include <fmt/format.h>

#include "base/orvane_error.h"
#include "base/shown_text.h"
#include "store/database.h"
#include "store/study_repository.h"

namespace orvane {

std::vector<StoredSpectrum> ListStudySpectra(Database& db, int study_id,
                                             const std::optional<std::string>& species,
                                             const std::optional<int>& site_no) {
    return StudyRepository(db).Spectra(study_id, species, site_no);
}

std::string StudyName(Database& db, int study_id) {
    return StudyRepository(db).Name(study_id).value_or("");
}

std::vector<std::string> StudySpeciesFolders(Database& db, int study_id) {
    return StudyRepository(db).SortedSpeciesFolders(study_id);
}

int SetSpectraDisabled(Database& db, int study_id, const std::vector<int>& spectrum_ids,
                       bool disabled) {
    const std::set<int> ids(spectrum_ids.begin(), spectrum_ids.end());
    if (ids.empty()) return 0;
    StudyRepository studies(db);
    const std::set<int> found = studies.SpectraAmong(study_id, ids);
    std::string missing;
    for (int id : ids)
        if (!found.count(id)) missing += (missing.empty() ? "" : ", ") + std::to_string(id);
    if (!missing.empty())
        throw OrvaneError("The current study has no spectrum with id " + missing +
                          "; nothing was changed.");
    Transaction transaction(db);
    const int changed = studies.SetDisabled(study_id, ids, disabled);
    if (changed > 0) studies.MarkSpectraChanged(study_id);
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
