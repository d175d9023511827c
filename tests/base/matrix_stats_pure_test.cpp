// SPDX-License-Identifier: GPL-3.0-or-later
#include "base/matrix_stats.h"

#include <gtest/gtest.h>

namespace orvane {
namespace {

// Features in rows, observations in columns; values worked out by hand.
TEST(MatrixStatsMath, RowMeansAndSampleCovariance) {
    Matrix data(2, 3);
    data << 1.0 << 2.0 << 3.0   // feature 1
         << 2.0 << 4.0 << 7.0;  // feature 2
    const Matrix mean = RowMeans(data);
    ASSERT_EQ(mean.Nrows(), 2);
    ASSERT_EQ(mean.Ncols(), 1);
    EXPECT_DOUBLE_EQ(mean(1, 1), 2.0);
    EXPECT_DOUBLE_EQ(mean(2, 1), 13.0 / 3.0);
    const Matrix cov = CovarianceOfColumns(data);
    ASSERT_EQ(cov.Nrows(), 2);
    ASSERT_EQ(cov.Ncols(), 2);
    EXPECT_DOUBLE_EQ(cov(1, 1), 1.0);  // divisor n - 1 = 2
    EXPECT_DOUBLE_EQ(cov(2, 2), 19.0 / 3.0);
    EXPECT_DOUBLE_EQ(cov(1, 2), 2.5);
    EXPECT_DOUBLE_EQ(cov(2, 1), 2.5);
}

TEST(MatrixStatsMath, SingleObservationHasZeroCovariance) {
    Matrix data(3, 1);
    data << 1.0 << -2.0 << 5.0;
    const Matrix cov = CovarianceOfColumns(data);
    for (int i = 1; i <= 3; ++i)
        for (int j = 1; j <= 3; ++j) EXPECT_EQ(cov(i, j), 0.0);
    EXPECT_EQ(RowMeans(data)(2, 1), -2.0);
}

}  // namespace
}  // namespace orvane
