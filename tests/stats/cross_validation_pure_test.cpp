// SPDX-License-Identifier: GPL-3.0-or-later
#include "stats/cross_validation.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <tuple>
#include <vector>

#include "base/parallel.h"
#include "stats/discriminant_analysis.h"
#include "stats/linear_unmixing.h"
#include "support/labelled_features.h"
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
    const std::tuple<const char*, Validation::Kind, int, const char*, const char*> good[] = {
        {"resubstitution", Validation::Kind::kResubstitution, 5, "resubstitution",
         "resubstitution"},
        {"loo", Validation::Kind::kLeaveOneOut, 5, "leave-one-out", "leave-one-out"},
        {"kfold", Validation::Kind::kKFold, 5, "5-fold", "5-fold (class-wise, i mod 5)"},
        {"kfold:3", Validation::Kind::kKFold, 3, "3-fold", "3-fold (class-wise, i mod 3)"},
    };
    for (const auto& [text, kind, folds, name, description] : good) {
        const Validation v = ParseValidation(text);
        EXPECT_EQ(v.kind, kind) << text;
        EXPECT_EQ(v.folds, folds) << text;
        EXPECT_EQ(v.Name(), name) << text;
        EXPECT_EQ(v.Description(), description) << text;
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

// Rows are the predicted classes, columns the reference classes, as the analyses count them.
Matrix Counts(int k, std::initializer_list<double> cells) {
    Matrix e(k + 2, k + 2);
    e = 0.0;
    auto it = cells.begin();
    for (int r = 1; r <= k; ++r)
        for (int c = 1; c <= k; ++c) e(r, c) = *it++;
    return e;
}

// Kappa and the accuracies were worked out with exact fractions in python: for the counts
// below kappa = 31/53, producer's 10/15, 12/15, 7/10 and user's 10/15, 12/13, 7/12.
TEST(ErrorMatrixReport, KappaAndClassAccuraciesOnIndependentValues) {
    const Matrix e = Counts(3, {10, 2, 3, 1, 12, 0, 4, 1, 7});
    EXPECT_NEAR(CohensKappa(e, 3), 31.0 / 53.0, 1e-15);
    EXPECT_EQ(FormatErrorMatrix(e, {"a", "bb", "ccc"}),
              "Error matrix (rows: classified as, columns: reference class)\n"
              "               a  bb  ccc  Row Total\n"
              "a             10   2    3         15\n"
              "bb             1  12    0         13\n"
              "ccc            4   1    7         12\n"
              "Column Total  15  15   10         40\n");
    EXPECT_EQ(FormatClassAccuracies(e, {"a", "bb", "ccc"}),
              "Class  Producer's accuracy  User's accuracy\n"
              "a                  66.67 %          66.67 %\n"
              "bb                 80.00 %          92.31 %\n"
              "ccc                70.00 %          58.33 %\n");

    // All spectra of one class, all found: agreement by chance is total, kappa undefined, and
    // the class nobody belongs to or was given has no accuracies.
    const Matrix lone = Counts(2, {3, 0, 0, 0});
    EXPECT_TRUE(std::isnan(CohensKappa(lone, 2)));
    EXPECT_EQ(FormatClassAccuracies(lone, {"x", "y"}),
              "Class  Producer's accuracy  User's accuracy\n"
              "x                 100.00 %         100.00 %\n"
              "y                      n/a              n/a\n");
    EXPECT_NEAR(CohensKappa(Counts(2, {4, 0, 0, 5}), 2), 1.0, 1e-15);
}

// The report keeps an entry's own line ends, so each name is escaped before the table is laid
// out: a name with a line end or tab stays on its row, its columns aligned to what is shown.
TEST(ErrorMatrixReport, NamesAreEscapedFieldByField) {
    const Matrix e = Counts(2, {3, 1, 0, 2});
    EXPECT_EQ(FormatErrorMatrix(e, {"b\nx", "t\tab"}),
              "Error matrix (rows: classified as, columns: reference class)\n"
              "              b\\nx  t\\tab  Row Total\n"
              "b\\nx             3      1          4\n"
              "t\\tab            0      2          2\n"
              "Column Total     3      3          6\n");
    EXPECT_EQ(FormatClassAccuracies(e, {"b\nx", "t\tab"}),
              "Class  Producer's accuracy  User's accuracy\n"
              "b\\nx              100.00 %          75.00 %\n"
              "t\\tab              66.67 %         100.00 %\n");
}

// The least-squares unmixing as a function of matrices (the analysis on a study:
// linear_unmixing_test.cpp).
const auto Rows = test::MatrixOf;

// Two endmembers on four bands and two mixtures off their plane, from numpy's lstsq
// (tests/stats/matrix_statistics_reference.py).
TEST(UnmixingMath, LeastSquaresFractionsAndResidualsAsNumpy) {
    const Matrix e = Rows({{0.05, 0.40}, {0.08, 0.45}, {0.04, 0.30}, {0.30, 0.10}});
    const Matrix y = Rows({{0.2225, 0.10}, {0.2650, 0.12}, {0.1700, 0.09}, {0.2000, 0.25}});
    const double fractions[2][2] = {{0.5010897640143986, 0.7808879458202548},
                                    {0.497606925679111, 0.1502118514802486}};
    const double rmse[2] = {0.000999142905308213, 0.008519288899842608};
    const LeastSquaresFractions fitted = UnmixLeastSquares(e, y);
    ASSERT_EQ(fitted.fractions.Nrows(), 2);
    ASSERT_EQ(fitted.fractions.Ncols(), 2);
    ASSERT_EQ(fitted.rmse.size(), 2u);
    for (int k = 0; k < 2; ++k) {
        EXPECT_TRUE(test::Close(fitted.rmse[static_cast<size_t>(k)], rmse[k], 1e-9));
        for (int j = 0; j < 2; ++j)
            EXPECT_TRUE(test::Close(fitted.fractions(j + 1, k + 1), fractions[j][k], 1e-11));
    }
}

// One rule flags and prints an estimate wherever it is shown: outside 0-1 only beyond 1e-9,
// and then never printed as a number inside 0-1.
TEST(UnmixingMath, FlagsAndPrintsEstimatesOutsideTheRange) {
    const std::tuple<double, int, bool, const char*> cases[] = {
        {0.0, 2, false, "0.00"},
        {1.0, 2, false, "1.00"},
        {0.5, 4, false, "0.5000"},
        {-1e-9, 2, false, "0.00"},  // rounding of an exact 0, without its sign
        {-4e-12, 4, false, "0.0000"},
        {1.0 + 5e-10, 2, false, "1.00"},
        {-1.5e-9, 2, true, "-0.0000000015"},
        {1.0 + 2e-9, 2, true, "1.000000002"},
        {-2e-6, 2, true, "-0.000002"},
        {-1.0014e-5, 4, true, "-0.00001"},
        {1.004, 2, true, "1.004"},
        {-0.2, 2, true, "-0.20"},
        {1.2, 4, true, "1.2000"},
    };
    for (const auto& [estimate, decimals, outside, text] : cases) {
        EXPECT_EQ(OutsideFractionRange(estimate), outside) << text;
        EXPECT_EQ(FractionText(estimate, decimals), text);
    }
    EXPECT_TRUE(OutsideFractionRange(NAN));
}

// The choice of elements as the command line takes it and the window keeps it.
TEST(UnmixingMath, ReadsAChoiceOfElements) {
    // No elements: refused.
    const std::pair<const char*, std::vector<int>> cases[] = {
        {"1,2,3,6", {1, 2, 3, 6}},
        {" 6, 1 ,3", {1, 3, 6}},
        {"4", {4}},
        {"12,10", {10, 12}},
        {"", {}},
        {"1,,2", {}},
        {"0,1", {}},
        {"1,1", {}},
        {"-1", {}},
        {"1.5", {}},
        {"a", {}},
        {"1,2,", {}},
    };
    for (const auto& [text, elements] : cases) {
        if (elements.empty()) {
            EXPECT_THROW(ParseUnmixElements(text), OrvaneError) << text;
            continue;
        }
        EXPECT_EQ(ParseUnmixElements(text), elements) << text;
        EXPECT_EQ(ParseUnmixElements(UnmixElementsText(elements)), elements) << text;
    }
    EXPECT_EQ(UnmixElementsText(DefaultUnmixElements()), "1,2,3,6");
}

TEST(UnmixingMath, RefusesEndmembersTheBandsCannotTellApart) {
    const Matrix y = Rows({{0.2}, {0.3}, {0.1}, {0.2}});
    const struct {
        const char* what;
        Matrix e;
        Matrix y;
        const char* message;
        Remedy remedy;
    } cases[] = {
        {"more endmembers than bands",
         Rows({{0.1, 0.2, 0.3, 0.4, 0.5}, {0.2, 0.1, 0.4, 0.3, 0.6}, {0.3, 0.3, 0.1, 0.2, 0.1},
               {0.5, 0.2, 0.2, 0.1, 0.3}}),
         y, "Unmixing is not possible with 5 endmembers", Remedy::kReturnEndmembers},
        {"one endmember a multiple of another",
         Rows({{0.1, 0.2}, {0.2, 0.4}, {0.3, 0.6}, {0.4, 0.8}}), y, "linearly dependent",
         Remedy::kNone},
        {"mixtures of other bands", Rows({{0.1}, {0.2}, {0.3}, {0.4}}),
         Rows({{0.1}, {0.2}, {0.3}}), "The mixtures have 3 bands but the endmembers 4",
         Remedy::kNone},
    };
    for (const auto& c : cases) {
        EXPECT_TRUE(test::Refuses([&] { UnmixLeastSquares(c.e, c.y); }, c.message)) << c.what;
        try {
            UnmixLeastSquares(c.e, c.y);
        } catch (const OrvaneError& error) {
            EXPECT_EQ(error.GetRemedy(), c.remedy) << c.what;
        }
    }
}

}  // namespace
}  // namespace orvane
