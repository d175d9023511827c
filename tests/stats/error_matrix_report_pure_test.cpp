// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <cmath>

#include "stats/discriminant_analysis.h"

namespace orvane {
namespace {

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

}  // namespace
}  // namespace orvane
