#pragma once

namespace orvane {

class Database;

// Records that the set of spectra a study's results are built from has changed (a spectrum
// was enabled, disabled or added), so that every library built before now is out of date.
void MarkStudySpectraChanged(Database& db, int study_id);

}  // namespace orvane
