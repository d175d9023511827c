#pragma once

#include "base/matrix.h"

namespace orvane {

// Each row's mean over the columns, as an n x 1 matrix.
Matrix RowMeans(const Matrix& data);
// Sample covariance of the rows (features) over the columns (observations), divisor n - 1;
// all zeros for a single observation.
Matrix CovarianceOfColumns(const Matrix& data);

// ln det(m), summed from the logarithms of the LU pivots so that determinants far outside the
// range of a double (1e-300 for twenty small features) keep their logarithm. NaN when the
// determinant is zero or negative, which no covariance of a Gaussian class has.
double LogDeterminant(const Matrix& m);

}  // namespace orvane
