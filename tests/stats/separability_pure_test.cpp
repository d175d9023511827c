// SPDX-License-Identifier: GPL-3.0-or-later
#include "stats/library_statistics.h"
#include "stats/separability.h"

#include <gtest/gtest.h>

#include <cmath>

#include "base/matrix_stats.h"
#include "base/orvane_error.h"
#include "support/labelled_features.h"

namespace orvane {
namespace {

struct Model {
    Matrix mean;
    Matrix cov;
    GaussianClass View() const { return {&mean, &cov, LogDeterminant(cov)}; }
};

Model Diagonal(std::initializer_list<double> mean, std::initializer_list<double> variances) {
    Model m;
    m.mean.ReSize(static_cast<int>(mean.size()), 1);
    m.cov.ReSize(static_cast<int>(mean.size()), static_cast<int>(mean.size()));
    m.cov = 0.0;
    int i = 1;
    for (double v : mean) m.mean(i++, 1) = v;
    i = 1;
    for (double v : variances) m.cov(i, i) = v, ++i;
    return m;
}

// Fourteen features of the size second derivatives of reflectance have: the determinants are
// near 1e-193 and 1e-190, so their product underflows to 0. Expected values from numpy
// (slogdet and solve on the same matrices).
TEST(SeparabilityMath, LogDeterminantsKeepTinyDeterminantsApart) {
    const int n = 14;
    Model i, j;
    for (Model* m : {&i, &j}) {
        m->mean.ReSize(n, 1);
        m->cov.ReSize(n, n);
        m->cov = 0.0;
    }
    for (int k = 0; k < n; ++k) {
        i.cov(k + 1, k + 1) = 1e-14 * (1 + k / 10.0);
        j.cov(k + 1, k + 1) = 2e-14 * (1 + k / 20.0);
        if (k + 1 < n) {
            i.cov(k + 1, k + 2) = i.cov(k + 2, k + 1) = 2e-15;
            j.cov(k + 1, k + 2) = j.cov(k + 2, k + 1) = -3e-15;
        }
        i.mean(k + 1, 1) = 1e-7 * k;
        j.mean(k + 1, 1) = 1e-7 * k + 3e-7 * (k % 2 ? 1 : -1);
    }
    ASSERT_EQ(i.cov.Determinant() * j.cov.Determinant(), 0.0);
    const double b = BhattacharyyaDistance(i.View(), j.View());
    EXPECT_NEAR(b, 7.587550505399755, 1e-9);
    EXPECT_NEAR(JeffriesMatusita(b), 1.998986558510471, 1e-12);
    EXPECT_DOUBLE_EQ(BhattacharyyaDistance(j.View(), i.View()), b);
}

TEST(SeparabilityMath, IdenticalSingularAndUnmodelledPairs) {
    const Model regular = Diagonal({1.0, 2.0}, {0.5, 0.25});
    const Model singular = Diagonal({0.0, 1.0}, {0.5, 0.0});
    // Its determinant is positive, but with `regular`'s negative it averages to 0.
    const Model indefinite = Diagonal({3.0, 1.0}, {-0.5, -0.25});
    const struct {
        const char* name;
        const Model& a;
        const Model& b;
        double expected_b;
    } cases[] = {
        {"identical classes", regular, regular, 0.0},
        {"a singular class", regular, singular, INFINITY},
        {"a singular class first", singular, regular, INFINITY},
        {"an averaged covariance that cannot be inverted", regular, indefinite, INFINITY}};
    for (const auto& c : cases) {
        const double b = BhattacharyyaDistance(c.a.View(), c.b.View());
        EXPECT_EQ(b, c.expected_b) << c.name;
        EXPECT_EQ(JeffriesMatusita(b), std::isinf(c.expected_b) ? 2.0 : 0.0) << c.name;
    }
    // Far apart classes come close to 2 but never pass it.
    const double far =
        BhattacharyyaDistance(regular.View(), Diagonal({60.0, 2.0}, {0.5, 0.25}).View());
    EXPECT_NEAR(far, 59.0 * 59.0 / 0.5 / 8.0, 1e-9);
    EXPECT_LE(JeffriesMatusita(far), 2.0);
    EXPECT_GT(JeffriesMatusita(far), 1.999999);
    // Newmat's own exceptions are no std::exception; both faces would miss them.
    const Model wider = Diagonal({1.0, 2.0, 3.0}, {0.5, 0.25, 0.1});
    EXPECT_THROW(BhattacharyyaDistance(regular.View(), wider.View()), OrvaneError);
    EXPECT_THROW(LogDeterminant(wider.mean), OrvaneError);
}

// The classes of tests/stats/matrix_statistics_reference.py: B of the first two from numpy's
// slogdet and solve; the third (3 spectra in 3 features) is unmodelled and has no distance.
TEST(SeparabilityMath, PairwiseDistancesOfClassStatisticsAsNumpy) {
    const Matrix b = PairwiseBhattacharyya(
        LibraryStatistics(test::LabelledFeatures(), test::FeatureLabels(), 3));
    ASSERT_EQ(b.Nrows(), 3);
    ASSERT_EQ(b.Ncols(), 3);
    for (int i = 1; i <= 3; ++i) EXPECT_EQ(b(i, i), 0.0);
    EXPECT_TRUE(test::Close(b(1, 2), 19.1073910268788, 1e-11));
    EXPECT_EQ(b(1, 2), b(2, 1));
    EXPECT_TRUE(test::Close(JeffriesMatusita(b(1, 2)), 1.9999999899354235, 1e-15));
    for (const auto& [r, c] : {std::pair{1, 3}, {3, 1}, {2, 3}, {3, 2}})
        EXPECT_TRUE(std::isnan(b(r, c))) << r << "," << c << ": " << b(r, c);
}

}  // namespace
}  // namespace orvane
