// SPDX-License-Identifier: GPL-3.0-or-later
#include "stats/class_models.h"

#include <gtest/gtest.h>

#include <vector>

#include "base/matrix_stats.h"
#include "stats/spectral_statistics.h"
#include "support/refusal.h"

namespace orvane {
namespace {

// Features (rows) over spectra (columns).
Matrix Data(const std::vector<std::vector<double>>& rows) {
    Matrix m(static_cast<int>(rows.size()), static_cast<int>(rows.front().size()));
    for (size_t r = 0; r < rows.size(); ++r)
        for (size_t c = 0; c < rows[r].size(); ++c)
            m(static_cast<int>(r) + 1, static_cast<int>(c) + 1) = rows[r][c];
    return m;
}

Matrix Correlation(double r) {
    Matrix m(2, 2);
    m << 1.0 << r << r << 1.0;
    return m;
}

ClassStatistics Statistics(const Matrix& data) {
    return {data.Ncols(), RowMeans(data), CovarianceOfColumns(data)};
}

// The ranks numpy gives for the same covariances: np.linalg.eigvalsh of the correlation
// matrix, counting the eigenvalues above 1e-12 times the largest (smallest eigenvalues noted).
TEST(CovarianceRank, AgreesWithNumpyOnTheCorrelationMatrix) {
    const struct {
        const char* what;
        Matrix cov;
        int rank;
    } cases[] = {
        // Raw covariance eigenvalues 1.6e-16 ... 5.3e8: only the correlation sees rank 3.
        {"features in units 1e12 apart (0.407)",
         CovarianceOfColumns(Data({{1e-8, 3e-8, 2e-8, 5e-8, 4e-8},
                                   {1e4, 3e4, 4e4, 2e4, 7e4},
                                   {0.5, 0.1, 0.9, 0.3, 0.2}})),
         3},
        {"third feature the sum of the others (-1.5e-16)",
         CovarianceOfColumns(Data({{0.1, 0.2, 0.4, 0.3, 0.6, 0.5},
                                   {0.5, 0.1, 0.2, 0.9, 0.3, 0.7},
                                   {0.6, 0.3, 0.6, 1.2, 0.9, 1.2}})),
         2},
        {"4 spectra in 5 features (-1.7e-16, 5.2e-16)",
         CovarianceOfColumns(Data({{0.1, 0.2, 0.4, 0.3},
                                   {0.5, 0.1, 0.2, 0.9},
                                   {0.3, 0.3, 0.1, 0.2},
                                   {0.7, 0.2, 0.5, 0.1},
                                   {0.2, 0.6, 0.3, 0.4}})),
         3},
        {"a constant feature (5.6e-17)",
         CovarianceOfColumns(
             Data({{0.1, 0.2, 0.4, 0.3}, {0.25, 0.25, 0.25, 0.25}, {0.5, 0.1, 0.2, 0.9}})),
         2},
        {"two points, each twice (2.8e-16)",
         CovarianceOfColumns(Data({{0.1, 0.1, 0.3, 0.3}, {0.2, 0.2, 0.4, 0.4}})), 1},
        {"correlation 1 - 1e-10 (1.0e-10 of 2)", Correlation(1 - 1e-10), 2},
        {"correlation 1 - 1e-13 (1.0e-13 of 2)", Correlation(1 - 1e-13), 1},
        {"empty", Matrix(), 0},
    };
    for (const auto& c : cases) EXPECT_EQ(CovarianceRank(c.cov), c.rank) << c.what;
}

TEST(CovarianceProblem, NamesTooFewSpectraBeforeTheRank) {
    const Matrix few = Data({{0.1, 0.2}, {0.5, 0.1}});
    EXPECT_EQ(CovarianceProblem(CovarianceOfColumns(few), 2),
              "2 spectra for 2 features; at least 3 are needed");
    const Matrix twice = Data({{0.1, 0.1, 0.3, 0.3}, {0.2, 0.2, 0.4, 0.4}});
    EXPECT_EQ(CovarianceProblem(CovarianceOfColumns(twice), 4),
              "its covariance has rank 1 in 2 features (its 4 spectra vary in fewer directions "
              "than there are features: duplicated spectra or features that move together)");
    const Matrix regular = Data({{0.1, 0.2, 0.4}, {0.5, 0.1, 0.2}});
    EXPECT_EQ(CovarianceProblem(CovarianceOfColumns(regular), 3), "");
}

// Three spectra per class in two features: every class covariance is estimable, the pooled one
// too unless all classes lie on one line.
TEST(ClassModels, RefusesWhatCannotRankClasses) {
    const std::vector<ClassStatistics> regular = {
        Statistics(Data({{0.1, 0.2, 0.4}, {0.5, 0.1, 0.2}})),
        Statistics(Data({{0.6, 0.7, 0.9}, {0.1, 0.3, 0.2}}))};
    // Each class on its own copy of one line: rank 1 pooled, though N - k + 1 = 5 > 2.
    const std::vector<ClassStatistics> one_line = {
        Statistics(Data({{0.1, 0.2, 0.4}, {0.2, 0.4, 0.8}})),
        Statistics(Data({{0.6, 0.7, 0.9}, {1.0, 1.2, 1.6}}))};
    const std::vector<ClassStatistics> one_feature = {Statistics(Data({{0.1, 0.2, 0.4}})),
                                                      Statistics(Data({{0.6, 0.7, 0.9}}))};

    EXPECT_THROW(ClassModels(Classifier::kGeneralSquaredDistance, one_line),
                 SingularCovarianceError);
    EXPECT_EQ(ClassModels(Classifier::kGeneralSquaredDistance, regular).ModelledCount(), 2);
    // Each class of one_line is unmodelled for Mahalanobis, so nothing is left.
    EXPECT_TRUE(test::Refuses([&] { ClassModels(Classifier::kMahalanobis, one_line); },
                              "No class can be modelled in this feature space"));
    // Every angle between single numbers of one sign is 0: the first class would win all.
    EXPECT_TRUE(test::Refuses([&] { ClassModels(Classifier::kSpectralAngle, one_feature); },
                              "SAM cannot classify in a feature space of one feature"));
    EXPECT_EQ(ClassModels(Classifier::kSpectralAngle, regular).ModelledCount(), 2);
    EXPECT_EQ(ClassModels(Classifier::kMahalanobis, one_feature).ModelledCount(), 2);
}

}  // namespace
}  // namespace orvane
