// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <vector>

#include "base/matrix.h"
#include "stats/class_models.h"

namespace orvane {

// What a library stores for each class, from the features of its spectra (one column per
// spectrum): the spectrum count, the mean, the sample covariance (divisor n - 1) and the
// Ledoit-Wolf intensity in the standardisation of all classes' spectra together
// (SetLedoitWolfShrinkage). Throws OrvaneError for a class without spectra or classes of
// different dimensions.
std::vector<ClassStatistics> LibraryStatistics(const std::vector<Matrix>& class_features);

// The same from one matrix of every spectrum's features (d x N) and each column's class label
// (0 .. class_count - 1); a class's spectra keep their column order. Throws OrvaneError for a
// label out of range, a count of labels other than N, or a class without spectra.
std::vector<ClassStatistics> LibraryStatistics(const Matrix& features,
                                               const std::vector<int>& labels, int class_count);

}  // namespace orvane
