// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

namespace orvane {

// y = A x for A of `rows` rows stored column after column, `stride` (at least `rows`) entries
// apart, and x of `count` entries. Each y[r] is summed over the columns in their order, from
// 0 (`from_zero`) or from the first column's product, as a row's dot product or Newmat's
// matrix product sums it, so the result is theirs to the bit; the rows are summed side by
// side in registers, which the dependency of one sum on the last does not allow row by row.
void ColumnProduct(const double* a, int rows, int stride, const double* x, int count, double* y,
                   bool from_zero);

// The stride ColumnProduct is fastest with for `rows` rows (a multiple of 4), with the entries
// beyond `rows` 0.
int ColumnStride(int rows);

}  // namespace orvane
