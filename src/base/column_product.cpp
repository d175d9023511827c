// SPDX-License-Identifier: GPL-3.0-or-later
#include "base/column_product.h"

#include <algorithm>

namespace orvane {

namespace {

constexpr int kBlock = 32;  // rows summed side by side: eight AVX registers of four

// Rows [0, B) of the product; B a multiple of 4 up to kBlock, the rows beyond `rows` computed
// from the zero padding and dropped.
template <int B>
__attribute__((always_inline)) inline void Block(const double* a, int rows, int stride,
                                                 const double* x, int count, double* y,
                                                 bool from_zero) {
    double sum[B];
    int j = 0;
    if (from_zero) {
        for (int r = 0; r < B; ++r) sum[r] = 0.0;
    } else {
        for (int r = 0; r < B; ++r) sum[r] = a[r] * x[0];
        j = 1;
    }
    for (; j < count; ++j) {
        const double* column = a + static_cast<long>(j) * stride;
        const double v = x[j];
        for (int r = 0; r < B; ++r) sum[r] += column[r] * v;
    }
    for (int r = 0; r < rows; ++r) y[r] = sum[r];
}

}  // namespace

int ColumnStride(int rows) { return (rows + 3) / 4 * 4; }

__attribute__((target_clones("avx2", "default"))) void ColumnProduct(const double* a, int rows,
                                                                     int stride,
                                                                     const double* x, int count,
                                                                     double* y, bool from_zero) {
    if (count == 0) {
        for (int r = 0; r < rows; ++r) y[r] = 0.0;
        return;
    }
    for (int first = 0; first < rows; first += kBlock) {
        const int n = std::min(kBlock, rows - first);
        const double* block = a + first;
        double* out = y + first;
        // A partial block reads the padding of the stride (ColumnStride) or the next rows.
        switch ((n + 3) / 4) {
            case 1: Block<4>(block, n, stride, x, count, out, from_zero); break;
            case 2: Block<8>(block, n, stride, x, count, out, from_zero); break;
            case 3: Block<12>(block, n, stride, x, count, out, from_zero); break;
            case 4: Block<16>(block, n, stride, x, count, out, from_zero); break;
            case 5: Block<20>(block, n, stride, x, count, out, from_zero); break;
            case 6: Block<24>(block, n, stride, x, count, out, from_zero); break;
            case 7: Block<28>(block, n, stride, x, count, out, from_zero); break;
            default: Block<32>(block, n, stride, x, count, out, from_zero); break;
        }
    }
}

}  // namespace orvane
