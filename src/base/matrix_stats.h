#pragma once

#include "base/matrix.h"

namespace orvane {

// Each row's mean over the columns, as an n x 1 matrix.
Matrix RowMeans(const Matrix& data);
// Sample covariance of the rows (features) over the columns (observations), divisor n - 1.
Matrix CovarianceOfColumns(const Matrix& data);

}  // namespace orvane
