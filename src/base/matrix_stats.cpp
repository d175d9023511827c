#include "base/matrix_stats.h"

namespace orvane {

Matrix RowMeans(const Matrix& data) {
    const int n = data.Nrows();
    const int m = data.Ncols();
    Matrix mean(n, 1);
    for (int r = 1; r <= n; ++r) {
        double sum = 0.0;
        for (int c = 1; c <= m; ++c) sum += data(r, c);
        mean(r, 1) = m > 0 ? sum / m : 0.0;
    }
    return mean;
}

Matrix CovarianceOfColumns(const Matrix& data) {
    const int n = data.Nrows();
    const int m = data.Ncols();
    const Matrix mean = RowMeans(data);
    Matrix cov(n, n);
    cov = 0.0;
    for (int i = 1; i <= n; ++i) {
        for (int j = i; j <= n; ++j) {
            double sum = 0.0;
            for (int c = 1; c <= m; ++c)
                sum += (data(i, c) - mean(i, 1)) * (data(j, c) - mean(j, 1));
            const double v = m > 1 ? sum / (m - 1) : 0.0;
            cov(i, j) = v;
            cov(j, i) = v;
        }
    }
    return cov;
}

}  // namespace orvane
