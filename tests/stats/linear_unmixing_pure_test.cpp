// SPDX-License-Identifier: GPL-3.0-or-later
// The least-squares unmixing as a function of matrices (the analysis on a study:
// linear_unmixing_test.cpp).
#include "stats/linear_unmixing.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/labelled_features.h"
#include "support/refusal.h"

namespace orvane {
namespace {

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
    const struct {
        double estimate;
        int decimals;
        bool outside;
        const char* text;
    } cases[] = {
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
    for (const auto& c : cases) {
        EXPECT_EQ(OutsideFractionRange(c.estimate), c.outside) << c.text;
        EXPECT_EQ(FractionText(c.estimate, c.decimals), c.text);
    }
    EXPECT_TRUE(OutsideFractionRange(NAN));
}

// The choice of elements as the command line takes it and the window keeps it.
TEST(UnmixingMath, ReadsAChoiceOfElements) {
    const struct {
        const char* text;
        std::vector<int> elements;  // empty: refused
    } cases[] = {
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
    for (const auto& c : cases) {
        if (c.elements.empty()) {
            EXPECT_THROW(ParseUnmixElements(c.text), OrvaneError) << c.text;
            continue;
        }
        EXPECT_EQ(ParseUnmixElements(c.text), c.elements) << c.text;
        EXPECT_EQ(ParseUnmixElements(UnmixElementsText(c.elements)), c.elements) << c.text;
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
