#include "study/study_spectra_changes.h"

#include "store/database.h"

namespace orvane {

void MarkStudySpectraChanged(Database& db, int study_id) {
    db.Execute(Sql("update study set spectra_changed_at = current_timestamp(6) where study_id = %i",
                   study_id));
}

}  // namespace orvane
