#pragma once

namespace orvane {

class Database;

// Records that the study's spectra changed now (an import, a deletion, a spectrum disabled
// or enabled): libraries built before this moment show as out of date.
void MarkStudySpectraChanged(Database& db, int study_id);

}  // namespace orvane
