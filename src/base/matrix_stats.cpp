// SPDX-License-Identifier: GPL-3.0-or-later
#include "base/matrix_stats.h"

#include <algorithm>
#include <limits>
#include <vector>

#include "base/matrix_errors.h"

namespace orvane {

Matrix RowMeans(const Matrix& data) {
    const int n = data.Nrows();
    const int m = data.Ncols();
    Matrix mean(n, 1);
    const double* row = data.Store();
    for (int r = 1; r <= n; ++r, row += m) {
        double sum = 0.0;
        for (int c = 0; c < m; ++c) sum += row[c];
        mean(r, 1) = m > 0 ? sum / m : 0.0;
    }
    return mean;
}

Matrix CovarianceOfColumns(const Matrix& data) {
    const int n = data.Nrows();
    const int m = data.Ncols();
    Matrix cov(n, n);
    cov = 0.0;
    if (m < 2 || n == 0) return cov;
    const Matrix mean = RowMeans(data);
    std::vector<double> centred(static_cast<size_t>(n) * static_cast<size_t>(m));
    const double* in = data.Store();
    for (int i = 0; i < n; ++i) {
        const double mi = mean(i + 1, 1);
        for (int c = 0; c < m; ++c)
            centred[static_cast<size_t>(i) * m + c] = in[static_cast<size_t>(i) * m + c] - mi;
    }
    // The observations are taken in blocks small enough that every feature's block stays in
    // the cache while all pairs are summed; four partial sums let the products overlap.
    constexpr int kBlock = 256;
    double* out = cov.Store();
    for (int start = 0; start < m; start += kBlock) {
        const int len = std::min(kBlock, m - start);
        for (int i = 0; i < n; ++i) {
            const double* a = centred.data() + static_cast<size_t>(i) * m + start;
            for (int j = i; j < n; ++j) {
                const double* b = centred.data() + static_cast<size_t>(j) * m + start;
                double s0 = 0.0, s1 = 0.0, s2 = 0.0, s3 = 0.0;
                int c = 0;
                for (; c + 4 <= len; c += 4) {
                    s0 += a[c] * b[c];
                    s1 += a[c + 1] * b[c + 1];
                    s2 += a[c + 2] * b[c + 2];
                    s3 += a[c + 3] * b[c + 3];
                }
                for (; c < len; ++c) s0 += a[c] * b[c];
                out[static_cast<size_t>(i) * n + j] += (s0 + s1) + (s2 + s3);
            }
        }
    }
    for (int i = 0; i < n; ++i) {
        for (int j = i; j < n; ++j) {
            const double v = out[static_cast<size_t>(i) * n + j] / (m - 1);
            out[static_cast<size_t>(i) * n + j] = v;
            out[static_cast<size_t>(j) * n + i] = v;
        }
    }
    return cov;
}

double LogDeterminant(const Matrix& m) {
    constexpr double kNone = std::numeric_limits<double>::quiet_NaN();
    // A singular matrix simply has no log-determinant; anything else Newmat refuses (a matrix
    // that is not square) is the program's error.
    return WithMatrixErrors("Log-determinant failed: ", [&] {
        try {
            const NEWMAT::LogAndSign ld = m.LogDeterminant();
            return ld.Sign() <= 0 ? kNone : ld.LogValue();
        } catch (const NEWMAT::SingularException&) {
            return kNone;
        }
    });
}

}  // namespace orvane
