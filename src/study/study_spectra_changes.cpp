// SPDX-License-Identifier: GPL-3.0-or-later
#include "study/study_spectra_changes.h"

#include "store/study_repository.h"

namespace orvane {

void MarkStudySpectraChanged(Database& db, int study_id) {
    StudyRepository(db).MarkSpectraChanged(study_id);
}

}  // namespace orvane
