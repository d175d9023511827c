// SPDX-License-Identifier: GPL-3.0-or-later
#include "chain/filter_defaults.h"

#include <fmt/format.h>

#include "base/band_grid.h"
#include "chain/study_filter.h"
#include "spectra/waveband_filter.h"

namespace orvane {

std::string AddDefaultRanges(const WavebandFilter& defaults, WavebandFilter& filter) {
    if (defaults.Count() == 0)
        return "The configuration file has no default ranges (filter_b, filter_br); nothing "
               "was added.";
    std::string added;
    std::string skipped;
    for (int i = 0; i < defaults.Count(); ++i) {
        const int lower = defaults.At(i).lower;
        const int upper = defaults.At(i).upper;
        if (!FilterRangeProblem(lower, upper).empty()) {
            skipped += "\n  " + FilterRangeText(lower, upper);
            continue;
        }
        filter.AddRange(lower, upper);
        added += "\n  " + FilterRangeText(lower, upper);
    }
    std::string text = added.empty() ? "No default range was added."
                                     : "Added the configured default ranges:" + added;
    if (!skipped.empty())
        text += fmt::format("\nSkipped, as outside {} - {} nm or reversed:", kFirstWavelength,
                            kGridEdge) +
                skipped;
    return text;
}

}  // namespace orvane
