// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "base/choice_words.h"

namespace orvane {

// Whether an export or a plot shows every spectrum or the mean of each site or species. The
// numbers are kept in the window's settings, so they never change.
enum SpectraDetails { kEverySpectrum = 0, kSiteMean = 1, kSpeciesMean = 2 };

inline constexpr Choice<SpectraDetails> kSpectraDetailsChoices[] = {
    {"spectra", "All spectra", kEverySpectrum},
    {"site-mean", "Mean per site", kSiteMean},
    {"species-mean", "Mean per species", kSpeciesMean},
};
inline constexpr ChoiceTable<SpectraDetails> kSpectraDetails{kSpectraDetailsChoices};

}  // namespace orvane
