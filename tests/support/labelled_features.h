// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "base/matrix.h"

namespace orvane::test {

// A matrix of the given rows.
inline Matrix MatrixOf(const std::vector<std::vector<double>>& rows) {
    Matrix m(static_cast<int>(rows.size()), static_cast<int>(rows.front().size()));
    for (size_t r = 0; r < rows.size(); ++r)
        for (size_t c = 0; c < rows[r].size(); ++c)
            m(static_cast<int>(r) + 1, static_cast<int>(c) + 1) = rows[r][c];
    return m;
}

// Three features (rows) of 14 spectra (columns) in three interleaved classes of 6, 5 and 3
// spectra: the data of tests/stats/matrix_statistics_reference.py, whose printed values the
// statistics tests compare with.
inline Matrix LabelledFeatures() {
    return MatrixOf({
        {0.12, 0.31, 0.15, 0.52, 0.29, 0.11, 0.55, 0.33, 0.50, 0.18, 0.14, 0.30, 0.16, 0.28},
        {0.40, 0.22, 0.43, 0.61, 0.25, 0.38, 0.66, 0.20, 0.58, 0.47, 0.41, 0.27, 0.45, 0.23},
        {1.10, 0.95, 1.05, 0.70, 0.90, 1.20, 0.72, 0.88, 0.69, 1.00, 1.15, 0.97, 1.08, 0.93},
    });
}

inline std::vector<int> FeatureLabels() { return {0, 1, 0, 2, 1, 0, 2, 1, 2, 0, 0, 1, 0, 1}; }

// Agreement with a value computed elsewhere, relative to its size: the summation orders of
// the two computations differ.
inline ::testing::AssertionResult Close(double actual, double expected, double relative) {
    if (std::fabs(actual - expected) <= relative * std::fabs(expected))
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure()
           << actual << " differs from " << expected << " by more than " << relative
           << " relative";
}

}  // namespace orvane::test
