// SPDX-License-Identifier: GPL-3.0-or-later
// The eigenanalysis of features held in memory, without a database.
#include "stats/principal_components.h"

#include <gtest/gtest.h>

#include <cmath>

#include "base/matrix.h"
#include "support/labelled_features.h"
#include "support/refusal.h"

namespace orvane {
namespace {

// The 14 spectra of tests/stats/matrix_statistics_reference.py: eigenvalues and components
// as scikit-learn's PCA gives them (explained_variance_, components_ with the sign that
// makes each one's largest entry positive, as an eigenvector's sign is arbitrary).
TEST(PcaMath, EigenvaluesAndComponentsAsScikitLearn) {
    const double eigenvalues[3] = {0.05463601550965599, 0.01670634675581245,
                                   0.0007521432290370634};
    const double components[3][3] = {
        {-0.627341662357171, -0.39375303385312865, 0.6718638158156739},
        {-0.24755323475906701, 0.9188345592910578, 0.30734418591008017},
        {0.7383493987478174, -0.026487751581900976, 0.6738980370834095}};
    const PcaDecomposition pca = DecomposeCovariance(test::LabelledFeatures());
    ASSERT_EQ(pca.eigenvalues.size(), 3u);
    ASSERT_EQ(pca.components.Nrows(), 3);
    for (int k = 0; k < 3; ++k) {
        SCOPED_TRACE(k);
        EXPECT_TRUE(test::Close(pca.eigenvalues[static_cast<size_t>(k)], eigenvalues[k], 1e-11));
        // The stored order is ascending, column by column.
        EXPECT_EQ(pca.values(3 - k), pca.eigenvalues[static_cast<size_t>(k)]);
        int largest = 1;
        for (int j = 2; j <= 3; ++j)
            if (std::fabs(pca.components(k + 1, j)) > std::fabs(pca.components(k + 1, largest)))
                largest = j;
        const double sign = pca.components(k + 1, largest) > 0 ? 1.0 : -1.0;
        for (int j = 0; j < 3; ++j) {
            EXPECT_TRUE(test::Close(sign * pca.components(k + 1, j + 1), components[k][j], 1e-9));
            EXPECT_EQ(pca.vectors(j + 1, 3 - k), pca.components(k + 1, j + 1));
        }
    }
    EXPECT_TRUE(test::Refuses(
        [] { DecomposeCovariance(Matrix(test::LabelledFeatures().Columns(1, 1))); },
        "needs at least two spectra; 1 were given"));
}

}  // namespace
}  // namespace orvane
