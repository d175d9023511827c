// SPDX-License-Identifier: GPL-3.0-or-later
#include "chain/study_filter.h"

#include "base/band_grid.h"
#include "base/orvane_error.h"
#include "chain/processing_session.h"
#include "store/database.h"

namespace orvane {

std::string FilterRangeProblem(int lower, int upper) {
    if (lower < kFirstWavelength || upper > kGridEdge || lower > upper)
        return "A waveband filter range needs " + std::to_string(kFirstWavelength) +
               " <= lower <= upper <= " + std::to_string(kGridEdge) + " nm; " +
               FilterRangeText(lower, upper) + " is not one.";
    return "";
}

std::string FilterRangeText(int lower, int upper) {
    return std::to_string(lower) + " - " + std::to_string(upper) + " nm";
}

WavebandFilter StoredStudyFilter(ProcessingSession& session) {
    WavebandFilter loaded;
    loaded.Load(session.Db(), session.StudyId());
    return loaded;
}

void ReplaceStudyFilter(ProcessingSession& session, const WavebandFilter& filter) {
    for (int i = 0; i < filter.Count(); ++i) {
        const std::string problem = FilterRangeProblem(filter.At(i).lower, filter.At(i).upper);
        if (!problem.empty()) throw OrvaneError(problem);
    }
    Database& db = session.Db();
    const int study = session.StudyId();
    {
        Transaction tx(db);
        db.Execute(Sql("delete from waveband_filter_range where study_id = %i", study));
        for (int i = 0; i < filter.Count(); ++i) {
            db.Execute(Sql("insert into waveband_filter_range (study_id, waveband_filter_id, "
                           "lower_wavelength, upper_wavelength) values (%i, (select "
                           "waveband_filter_id from waveband_filter where study_id = %i), %i, %i)",
                           study, study, filter.At(i).lower, filter.At(i).upper));
        }
        db.Execute(Sql("update waveband_filter set changed_at = current_timestamp(6) where "
                       "study_id = %i",
                       study));
        tx.Commit();
    }
    session.LoadStudyFilter();
    session.SetSmoothingType(session.SmoothingType());
}

}  // namespace orvane
