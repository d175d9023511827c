// SPDX-License-Identifier: GPL-3.0-or-later
#include "stats/library_statistics.h"

#include <algorithm>

#include <fmt/format.h>

#include "base/matrix_stats.h"
#include "base/orvane_error.h"

namespace orvane {

std::vector<ClassStatistics> LibraryStatistics(const std::vector<Matrix>& class_features) {
    std::vector<ClassStatistics> classes(class_features.size());
    std::vector<const Matrix*> pointers;
    for (size_t c = 0; c < class_features.size(); ++c) {
        const Matrix& x = class_features[c];
        // A class without spectra has no mean; storing zeros would let it win.
        if (x.Ncols() == 0)
            throw OrvaneError(fmt::format("Class {} has no spectra to take statistics of.", c + 1));
        classes[c].n = x.Ncols();
        classes[c].mean = RowMeans(x);
        classes[c].cov = CovarianceOfColumns(x);
        pointers.push_back(&x);
    }
    SetLedoitWolfShrinkage(classes, pointers);
    return classes;
}

std::vector<ClassStatistics> LibraryStatistics(const Matrix& features,
                                               const std::vector<int>& labels, int class_count) {
    const int n = features.Ncols();
    if (static_cast<int>(labels.size()) != n)
        throw OrvaneError(
            fmt::format("{} class labels for {} spectra; every spectrum needs one.", labels.size(),
                        n));
    std::vector<int> counts(static_cast<size_t>(std::max(class_count, 0)), 0);
    for (int label : labels) {
        if (label < 0 || label >= class_count)
            throw OrvaneError(fmt::format("Class label {} is outside 0 to {}.", label,
                                          class_count - 1));
        ++counts[static_cast<size_t>(label)];
    }
    std::vector<Matrix> split(counts.size());
    for (size_t c = 0; c < counts.size(); ++c) split[c].ReSize(features.Nrows(), counts[c]);
    std::vector<int> filled(counts.size(), 0);
    for (int j = 0; j < n; ++j) {
        const size_t c = static_cast<size_t>(labels[static_cast<size_t>(j)]);
        split[c].Column(++filled[c]) = features.Column(j + 1);
    }
    return LibraryStatistics(split);
}

}  // namespace orvane
