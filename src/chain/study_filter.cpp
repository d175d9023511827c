// SPDX-License-Identifier: GPL-3.0-or-later
#include "chain/study_filter.h"

#include <utility>
#include <vector>

#include "base/band_grid.h"
#include "base/orvane_error.h"
#include "chain/processing_session.h"
#include "store/chain_settings_repository.h"

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
    std::vector<std::pair<int, int>> ranges;
    for (int i = 0; i < filter.Count(); ++i)
        ranges.emplace_back(filter.At(i).lower, filter.At(i).upper);
    ChainSettingsRepository(session.Db()).ReplaceFilterRanges(session.StudyId(), ranges);
    session.LoadStudyFilter();
    session.SetSmoothingType(session.SmoothingType());
}

}  // namespace orvane
