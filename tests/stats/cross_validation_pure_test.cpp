// SPDX-License-Identifier: GPL-3.0-or-later
#include "stats/cross_validation.h"
#include "base/parallel.h"

#include <gtest/gtest.h>

#include <vector>

#include "support/refusal.h"

namespace orvane {
namespace {

// Columns are spectra, rows the two features.
Matrix Columns(const std::vector<std::vector<double>>& points) {
    Matrix m(2, static_cast<int>(points.size()));
    for (size_t j = 0; j < points.size(); ++j)
        for (int i = 0; i < 2; ++i) m(i + 1, static_cast<int>(j) + 1) = points[j][static_cast<size_t>(i)];
    return m;
}

// Three overlapping classes of 6, 5 and 3 spectra in two features; the third has d + 1
// spectra, so holding one of them out leaves it unmodelled for Mahalanobis.
std::vector<Matrix> ThreeClasses() {
    return {Columns({{0.0, 0.18}, {-0.27, -0.53}, {-0.45, -0.59}, {0.06, 0.8}, {-0.49, -0.37},
                     {0.49, 0.21}}),
            Columns({{1.05, -0.43}, {0.99, 1.2}, {0.33, 0.04}, {0.05, -0.79}, {0.08, 0.26}}),
            Columns({{-0.21, 1.28}, {0.36, 1.14}, {-0.71, 1.04}})};
}

// The error matrices (rows: classified as, columns: reference) were computed with
// scikit-learn 1.2.1 under the same folds: QuadraticDiscriminantAnalysis(priors equal) for
// Mahalanobis, fitted on the classes with at least d + 1 training spectra, and
// LinearDiscriminantAnalysis(solver='svd', priors equal) for Gen. Squared Dist. Every
// prediction wins by at least 0.065 in log-probability, far above rounding. The held-out sets
// are spread over threads: one, two or three give the same counts.
TEST(CrossValidationThreads, ErrorMatricesEqualScikitLearnsUnderTheSameFolds) {
    const Validation resubstitution;
    const Validation loo{Validation::Kind::kLeaveOneOut, 5};
    const Validation three_fold{Validation::Kind::kKFold, 3};
    const struct {
        Classifier classifier;
        Validation validation;
        std::vector<std::vector<double>> expected;
        int unmodelled_third;  // held-out sets without a model of the third class
        int sets;
    } cases[] = {
        {Classifier::kMahalanobis, resubstitution, {{5, 1, 0}, {1, 3, 0}, {0, 1, 3}}, 0, 1},
        {Classifier::kGeneralSquaredDistance, resubstitution, {{4, 1, 0}, {1, 4, 0}, {1, 0, 3}}, 0, 1},
        {Classifier::kMahalanobis, loo, {{4, 2, 0}, {2, 2, 3}, {0, 1, 0}}, 3, 14},
        {Classifier::kGeneralSquaredDistance, loo, {{4, 2, 1}, {1, 2, 0}, {1, 1, 2}}, 0, 14},
        {Classifier::kMahalanobis, three_fold, {{3, 2, 1}, {3, 3, 2}, {0, 0, 0}}, 3, 3},
        {Classifier::kGeneralSquaredDistance, three_fold, {{3, 4, 1}, {2, 1, 0}, {1, 0, 2}}, 0, 3},
    };
    for (int threads = 1; threads <= 3; ++threads)
    for (const auto& c : cases) {
        SetWorkerCount(threads);
        const ValidationCounts counts = CrossValidate(c.classifier, ThreeClasses(), c.validation);
        const std::string what = c.validation.Name() + " classifier " +
                                 std::to_string(static_cast<int>(c.classifier)) + ", " +
                                 std::to_string(threads) + " threads";
        for (int r = 0; r < 3; ++r)
            for (int col = 0; col < 3; ++col)
                EXPECT_EQ(counts.counts(r + 1, col + 1),
                          c.expected[static_cast<size_t>(r)][static_cast<size_t>(col)])
                    << what << " row " << r << " column " << col;
        EXPECT_EQ(counts.unmodelled_sets, (std::vector<int>{0, 0, c.unmodelled_third})) << what;
        EXPECT_EQ(counts.held_out_sets, c.sets) << what;
    }
}

// Three spectra per class in two features: every held-out set of 3-fold leaves two, which
// models no class, and a cancelled run stops before its first set.
TEST(CrossValidationMath, ASetThatLeavesNoClassModelledOrACancelIsRefused) {
    const std::vector<Matrix> small = {Columns({{0.1, 0.2}, {0.3, 0.1}, {0.2, 0.4}}),
                                       Columns({{-0.2, 0.0}, {0.0, -0.2}, {-0.1, -0.15}})};
    EXPECT_TRUE(test::Refuses(
        [&] { CrossValidate(Classifier::kMahalanobis, small, {Validation::Kind::kKFold, 3}); },
        "No class can be modelled in this feature space"));
    EXPECT_TRUE(test::EndsCancelled([&] {
        CrossValidate(Classifier::kGeneralSquaredDistance, ThreeClasses(),
                      {Validation::Kind::kLeaveOneOut, 5}, [] { return true; });
    }));
}

TEST(CrossValidationMath, ParsesTheThreeFormsAndRefusesOthers) {
    const struct {
        const char* text;
        Validation::Kind kind;
        int folds;
        const char* name;
        const char* description;
    } good[] = {
        {"resubstitution", Validation::Kind::kResubstitution, 5, "resubstitution", "resubstitution"},
        {"loo", Validation::Kind::kLeaveOneOut, 5, "leave-one-out", "leave-one-out"},
        {"kfold", Validation::Kind::kKFold, 5, "5-fold", "5-fold (class-wise, i mod 5)"},
        {"kfold:3", Validation::Kind::kKFold, 3, "3-fold", "3-fold (class-wise, i mod 3)"},
    };
    for (const auto& g : good) {
        const Validation v = ParseValidation(g.text);
        EXPECT_EQ(v.kind, g.kind) << g.text;
        EXPECT_EQ(v.folds, g.folds) << g.text;
        EXPECT_EQ(v.Name(), g.name) << g.text;
        EXPECT_EQ(v.Description(), g.description) << g.text;
    }
    const std::pair<const char*, const char*> bad[] = {
        {"kfold:1", "K must be at least 2"}, {"kfold:0", "K must be at least 2"},
        {"kfold:", "use resubstitution, loo or kfold[:K]"},
        {"kfold:-3", "use resubstitution, loo or kfold[:K]"},
        {"kfold:3x", "use resubstitution, loo or kfold[:K]"},
        {"kfold3", "use resubstitution, loo or kfold[:K]"},
        {"LOO", "use resubstitution, loo or kfold[:K]"},
        {"", "use resubstitution, loo or kfold[:K]"},
    };
    for (const auto& [text, part] : bad)
        EXPECT_TRUE(test::Refuses([text = text] { ParseValidation(text); }, part)) << text;

    const std::vector<std::string> names = {"alpha", "gamma"};
    EXPECT_NO_THROW(RequireFoldsFit({Validation::Kind::kKFold, 3}, {4, 3}, names));
    EXPECT_NO_THROW(RequireFoldsFit({}, {1, 1}, names));
    EXPECT_TRUE(test::Refuses([&] { RequireFoldsFit({Validation::Kind::kKFold, 4}, {4, 3}, names); },
                              "class gamma has only 3 spectra"));
    EXPECT_TRUE(test::Refuses(
        [&] { RequireFoldsFit({Validation::Kind::kLeaveOneOut, 5}, {4, 1}, names); },
        "class gamma has 1 spectrum"));
}

}  // namespace
}  // namespace orvane
