// SPDX-License-Identifier: GPL-3.0-or-later
#include "stats/class_models.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include <fmt/format.h>

#include "base/column_product.h"
#include "base/matrix_errors.h"
#include "base/matrix_stats.h"
#include "base/orvane_error.h"
#include "stats/spectral_statistics.h"

namespace orvane {

namespace {

constexpr const char* kMatrixFailed = "Matrix computation failed: ";

double Dot(const double* a, const double* b, int n) {
    double s = 0.0;
    for (int i = 0; i < n; ++i) s += a[i] * b[i];
    return s;
}

// x' A y for column vectors of the matrix's size, summed row by row.
double QuadraticForm(const Matrix& a, const double* x, const double* y, int n) {
    const double* row = a.Store();
    double total = 0.0;
    for (int i = 0; i < n; ++i, row += n) total += x[i] * Dot(row, y, n);
    return total;
}

// A stored column after column in ColumnProduct's layout.
std::vector<double> ColumnsOf(const Matrix& a) {
    const int rows = a.Nrows(), cols = a.Ncols(), stride = ColumnStride(rows);
    std::vector<double> columns(static_cast<size_t>(stride) * static_cast<size_t>(cols), 0.0);
    for (int j = 0; j < cols; ++j)
        for (int i = 0; i < rows; ++i)
            columns[static_cast<size_t>(j) * stride + i] =
                a.Store()[static_cast<size_t>(i) * cols + j];
    return columns;
}

// QuadraticForm's sums to the bit from A's columns, all rows' dot products at once into `ay`.
double QuadraticFormByColumns(const std::vector<double>& columns, const double* x,
                              const double* y, int n, double* ay) {
    ColumnProduct(columns.data(), n, ColumnStride(n), y, n, ay, true);
    double total = 0.0;
    for (int i = 0; i < n; ++i) total += x[i] * ay[i];
    return total;
}

}  // namespace

bool UsesClassCovariance(Classifier classifier) {
    const ClassRequirement r = ClassifierEntryOf(classifier).requirement;
    return r == ClassRequirement::kClassCovariances || r == ClassRequirement::kShrunkCovariances;
}

bool NeedsShrinkage(Classifier classifier) {
    return ClassifierEntryOf(classifier).requirement == ClassRequirement::kShrunkCovariances;
}

Standardisation StandardisationOf(const std::vector<ClassStatistics>& classes) {
    Standardisation z;
    if (classes.empty()) return z;
    const int p = classes.front().mean.Nrows();
    z.mean.assign(static_cast<size_t>(p), 0.0);
    z.scale.assign(static_cast<size_t>(p), 1.0);
    double total = 0.0;
    for (const ClassStatistics& c : classes) {
        total += c.n;
        for (int k = 0; k < p; ++k) z.mean[static_cast<size_t>(k)] += c.n * c.mean(k + 1, 1);
    }
    if (total <= 0.0) return z;
    for (double& m : z.mean) m /= total;
    for (int k = 0; k < p; ++k) {
        const double m = z.mean[static_cast<size_t>(k)];
        double sum = 0.0;
        for (const ClassStatistics& c : classes) {
            const double away = c.mean(k + 1, 1) - m;
            // A single spectrum has no covariance of its own.
            if (c.n > 1) sum += (c.n - 1.0) * c.cov(k + 1, k + 1);
            sum += c.n * away * away;
        }
        const double sd = std::sqrt(sum / total);
        if (sd > 0.0) z.scale[static_cast<size_t>(k)] = sd;
    }
    return z;
}

double LedoitWolfShrinkage(const Matrix& features, const Standardisation& standardisation) {
    const int p = features.Nrows();
    const int n = features.Ncols();
    if (n < 2) return std::nan("");
    if (p == 1) return 0.0;
    // X, n x p, the standardised spectra centred by their mean.
    std::vector<double> x(static_cast<size_t>(n) * static_cast<size_t>(p));
    for (int k = 0; k < p; ++k) {
        const double scale = standardisation.scale.at(static_cast<size_t>(k));
        double mean = 0.0;
        for (int i = 0; i < n; ++i) mean += features(k + 1, i + 1) / scale;
        mean /= n;
        for (int i = 0; i < n; ++i)
            x[static_cast<size_t>(i) * p + k] = features(k + 1, i + 1) / scale - mean;
    }
    double trace = 0.0;  // trace(S)
    double beta_ = 0.0;
    for (int i = 0; i < n; ++i) {
        const double norm2 = Dot(&x[static_cast<size_t>(i) * p], &x[static_cast<size_t>(i) * p], p);
        trace += norm2;
        beta_ += norm2 * norm2;
    }
    trace /= n;
    double delta_ = 0.0;
    for (int k = 0; k < p; ++k)
        for (int l = 0; l < p; ++l) {
            double s = 0.0;
            for (int i = 0; i < n; ++i)
                s += x[static_cast<size_t>(i) * p + k] * x[static_cast<size_t>(i) * p + l];
            delta_ += s * s;
        }
    delta_ /= static_cast<double>(n) * n;
    const double mu = trace / p;
    double beta = (beta_ / n - delta_) / (static_cast<double>(p) * n);
    const double delta = (delta_ - 2.0 * mu * trace + p * mu * mu) / p;
    beta = std::min(beta, delta);
    if (beta == 0.0 || delta == 0.0) return 0.0;
    return beta / delta;
}

void SetLedoitWolfShrinkage(std::vector<ClassStatistics>& classes,
                            const std::vector<const Matrix*>& features) {
    if (features.size() != classes.size())
        throw OrvaneError(
            fmt::format("Shrinkage needs the spectra of every class: {} classes "
                        "but spectra of {}.",
                        classes.size(), features.size()));
    if (classes.empty()) return;
    const int p = features.front()->Nrows();
    Standardisation z;
    z.mean.assign(static_cast<size_t>(p), 0.0);
    z.scale.assign(static_cast<size_t>(p), 1.0);
    double total = 0.0;
    for (const Matrix* f : features) {
        if (f->Nrows() != p)
            throw OrvaneError(
                fmt::format("Shrinkage needs spectra of one dimension: {} and {} "
                            "features.",
                            p, f->Nrows()));
        total += f->Ncols();
        for (int k = 0; k < p; ++k)
            for (int i = 1; i <= f->Ncols(); ++i) z.mean[static_cast<size_t>(k)] += (*f)(k + 1, i);
    }
    if (total > 0.0) {
        for (double& m : z.mean) m /= total;
        for (int k = 0; k < p; ++k) {
            const double m = z.mean[static_cast<size_t>(k)];
            double sum = 0.0;
            for (const Matrix* f : features)
                for (int i = 1; i <= f->Ncols(); ++i)
                    sum += ((*f)(k + 1, i) - m) * ((*f)(k + 1, i) - m);
            const double sd = std::sqrt(sum / total);
            if (sd > 0.0) z.scale[static_cast<size_t>(k)] = sd;
        }
    }
    for (size_t c = 0; c < classes.size(); ++c)
        classes[c].shrinkage = LedoitWolfShrinkage(*features[c], z);
}

int CovarianceRank(const Matrix& cov) {
    const int d = cov.Nrows();
    if (d == 0 || cov.Ncols() != d) return 0;
    std::vector<double> scale(static_cast<size_t>(d));
    int constant = 0;
    for (int i = 1; i <= d; ++i) {
        const double v = cov(i, i);
        if (!std::isfinite(v)) return 0;
        // A feature without variance adds nothing to the rank.
        if (v <= 0.0) ++constant;
        scale[static_cast<size_t>(i - 1)] = v > 0.0 ? 1.0 / std::sqrt(v) : 0.0;
    }
    SymmetricMatrix correlation(d);
    for (int i = 1; i <= d; ++i)
        for (int j = 1; j <= i; ++j) {
            const double r = cov(i, j) * scale[static_cast<size_t>(i - 1)] *
                             scale[static_cast<size_t>(j - 1)];
            if (!std::isfinite(r)) return 0;
            correlation(i, j) = r;
        }
    DiagonalMatrix eigen;
    WithMatrixErrors(kMatrixFailed, [&] { NEWMAT::EigenValues(correlation, eigen); });
    double largest = 0.0;
    for (int i = 1; i <= d; ++i) largest = std::max(largest, eigen(i));
    int rank = 0;
    for (int i = 1; i <= d; ++i)
        if (eigen(i) > kRankTolerance * largest) ++rank;
    // The zero rows and columns of constant features give eigenvalues of exactly 0.
    return std::min(rank, d - constant);
}

std::string CovarianceProblem(const Matrix& cov, int n) {
    const int d = cov.Nrows();
    if (n < d + 1)
        return fmt::format("{} spectra for {} features; at least {} are needed", n, d, d + 1);
    const int rank = CovarianceRank(cov);
    if (rank < d)
        return fmt::format(
            "its covariance has rank {} in {} features (its {} spectra vary in fewer "
            "directions than there are features: duplicated spectra or features that move "
            "together)",
            rank, d, n);
    return "";
}

// One class's share of the fitted model: C_c^-1 (also column after column), ln det(C_c) and
// m_c' P m_c.
struct ClassModels::Fit {
    Matrix inverse;
    std::vector<double> inverse_columns;
    double log_det = std::nan("");
    double mean_p_mean = 0.0;
};

ClassModels::ClassModels(Classifier classifier, std::vector<ClassStatistics> classes)
    : classifier_(classifier),
      entry_(&ClassifierEntryOf(classifier)),
      classes_(std::move(classes)) {
    dimension_ = classes_.empty() ? 0 : classes_.front().mean.Nrows();
    if (entry_->one_feature_refusal && dimension_ == 1)
        throw OrvaneError(entry_->one_feature_refusal);
    problems_.resize(classes_.size());
    fits_.resize(classes_.size());
    if (Needs(ClassRequirement::kShrunkCovariances))
        standardisation_ = StandardisationOf(classes_);
    for (size_t c = 0; c < classes_.size(); ++c) FitClass(c);
    FitPooled();
    RequireModelled();
}

ClassModels::~ClassModels() = default;
ClassModels::ClassModels(ClassModels&&) noexcept = default;
ClassModels& ClassModels::operator=(ClassModels&&) noexcept = default;

int ClassModels::ModelledCount() const {
    return static_cast<int>(std::count(problems_.begin(), problems_.end(), std::string()));
}

void ClassModels::SetClass(int c, ClassStatistics statistics) {
    const size_t i = static_cast<size_t>(c);
    classes_.at(i) = std::move(statistics);
    if (Needs(ClassRequirement::kShrunkCovariances)) {
        standardisation_ = StandardisationOf(classes_);
        for (size_t j = 0; j < classes_.size(); ++j) FitClass(j);
    } else {
        FitClass(i);
    }
    FitPooled();
    RequireModelled();
}

void ClassModels::FitClass(size_t c) {
    const ClassStatistics& s = classes_[c];
    Fit& fit = fits_[c];
    fit = Fit();
    problems_[c].clear();
    if (Needs(ClassRequirement::kShrunkCovariances)) return FitShrunk(c);
    if (!Needs(ClassRequirement::kClassCovariances)) return;
    problems_[c] = CovarianceProblem(s.cov, s.n);
    if (!problems_[c].empty()) return;
    WithMatrixErrors(kMatrixFailed, [&] {
        try {
            fit.log_det = LogDeterminant(s.cov);
            fit.inverse = s.cov.i();
            fit.inverse_columns = ColumnsOf(fit.inverse);
        } catch (const NEWMAT::SingularException&) {
            problems_[c] = "its covariance cannot be inverted";
        }
    });
    if (problems_[c].empty() && !std::isfinite(fit.log_det))
        problems_[c] = "its covariance is not positive definite";
}

void ClassModels::FitShrunk(size_t c) {
    const ClassStatistics& s = classes_[c];
    Fit& fit = fits_[c];
    const int p = dimension_;
    if (s.n < 2) {
        problems_[c] = fmt::format("{} spectrum; the shrunk covariance needs at least 2", s.n);
        return;
    }
    if (!std::isfinite(s.shrinkage)) {
        problems_[c] =
            "its shrinkage intensity is unknown (the library was built before it was "
            "stored, or its features are not all finite); build the library again";
        return;
    }
    WithMatrixErrors(kMatrixFailed, [&] {
        // The population covariance in the standardised features, then shrunk towards mu I.
        Matrix shrunk(p, p);
        const double population = (s.n - 1.0) / s.n;
        double trace = 0.0;
        for (int i = 1; i <= p; ++i)
            for (int j = 1; j <= p; ++j)
                shrunk(i, j) = s.cov(i, j) * population /
                               (standardisation_.scale[static_cast<size_t>(i - 1)] *
                                standardisation_.scale[static_cast<size_t>(j - 1)]);
        for (int i = 1; i <= p; ++i) trace += shrunk(i, i);
        const double mu = trace / p;
        shrunk *= 1.0 - s.shrinkage;
        for (int i = 1; i <= p; ++i) shrunk(i, i) += s.shrinkage * mu;
        const int rank = CovarianceRank(shrunk);
        if (rank < p) {
            problems_[c] = fmt::format(
                "its shrunk covariance has rank {} in {} features (shrinkage {:.6g} of {} "
                "spectra)",
                rank, p, s.shrinkage, s.n);
            return;
        }
        try {
            fit.log_det = LogDeterminant(shrunk);
            fit.inverse = shrunk.i();
            fit.inverse_columns = ColumnsOf(fit.inverse);
        } catch (const NEWMAT::SingularException&) {
            problems_[c] = "its shrunk covariance cannot be inverted";
        }
    });
    if (problems_[c].empty() && !std::isfinite(fit.log_det))
        problems_[c] = "its shrunk covariance is not positive definite";
}

void ClassModels::FitPooled() {
    if (!Needs(ClassRequirement::kPooledCovariance) || classes_.empty()) return;
    const int n = dimension_;
    WithMatrixErrors(kMatrixFailed, [&] {
        Matrix pooled(n, n);
        pooled = 0.0;
        double total = 0.0;
        for (const ClassStatistics& c : classes_) {
            if (c.n > 1) pooled += (c.n - 1.0) * c.cov;
            total += c.n;
        }
        pooled /= total;
        const int spectra = static_cast<int>(total);
        // The pooled covariance has N - k degrees of freedom.
        if (!CovarianceProblem(pooled, spectra - static_cast<int>(classes_.size()) + 1).empty())
            throw SingularCovarianceError();
        try {
            pooled_inverse_ = pooled.i();
        } catch (const NEWMAT::SingularException&) {
            throw SingularCovarianceError();
        }
        for (size_t c = 0; c < classes_.size(); ++c) {
            const double* m = classes_[c].mean.Store();
            fits_[c].mean_p_mean = QuadraticForm(pooled_inverse_, m, m, n);
        }
    });
}

void ClassModels::RequireModelled() const {
    if (classes_.empty() || ModelledCount() > 0) return;
    std::string why;
    for (size_t c = 0; c < classes_.size() && c < 3; ++c) why += "\n  " + problems_[c];
    throw OrvaneError(
        "No class can be modelled in this feature space: no class covariance can be "
        "estimated." + why +
        "\nChoose a feature space of fewer features, or a classifier that needs no class "
        "covariance.");
}

double ClassModels::ClassLogDeterminant(int c) const {
    if (!Modelled(c) || (!Needs(ClassRequirement::kClassCovariances) &&
                         !Needs(ClassRequirement::kShrunkCovariances)))
        return std::nan("");
    return fits_.at(static_cast<size_t>(c)).log_det;
}

void ClassModels::Values(const double* x, double* values) const {
    const int n = dimension_;
    // Scratch of the calling thread, since a map asks for every pixel of an image.
    thread_local std::vector<double> scratch;
    if (scratch.size() < 3 * static_cast<size_t>(n)) scratch.resize(3 * static_cast<size_t>(n));
    double* d = scratch.data();
    double* ay = d + n;
    double* p_x = ay + n;
    ClassScoreTerms terms;
    terms.x = x;
    terms.dimension = n;
    if (Needs(ClassRequirement::kPooledCovariance)) {
        const double* row = pooled_inverse_.Store();
        for (int i = 0; i < n; ++i, row += n) p_x[i] = Dot(row, x, n);
        terms.x_p_x = Dot(x, p_x, n);
    }
    terms.x_norm = std::sqrt(Dot(x, x, n));
    const double unranked = UnrankedValue(entry_->ranking);
    for (size_t c = 0; c < classes_.size(); ++c) {
        if (!problems_[c].empty()) {
            values[c] = unranked;
            continue;
        }
        const double* m = classes_[c].mean.Store();
        const Fit& fit = fits_[c];
        terms.mean = m;
        switch (entry_->requirement) {
            case ClassRequirement::kClassCovariances:
                for (int i = 0; i < n; ++i) d[i] = x[i] - m[i];
                terms.log_det = fit.log_det;
                terms.distance = QuadraticFormByColumns(fit.inverse_columns, d, d, n, ay);
                break;
            case ClassRequirement::kShrunkCovariances:
                for (int i = 0; i < n; ++i)
                    d[i] = (x[i] - m[i]) / standardisation_.scale[static_cast<size_t>(i)];
                terms.log_det = fit.log_det;
                terms.distance = QuadraticFormByColumns(fit.inverse_columns, d, d, n, ay);
                break;
            case ClassRequirement::kPooledCovariance:
                terms.mean_p_x = Dot(m, p_x, n);
                terms.mean_p_mean = fit.mean_p_mean;
                break;
            case ClassRequirement::kMeans:
                break;
        }
        const double v = entry_->score(terms);
        // A value that is not a number ranks last instead of breaking the ordering.
        values[c] = std::isnan(v) ? unranked : v;
    }
}

Classification Classify(const ClassModels& models, const double* x) {
    Classification result;
    result.values.resize(static_cast<size_t>(models.Count()));
    models.Values(x, result.values.data());
    const Ranking ranking = models.Ranks();
    result.winner = static_cast<int>(
        std::min_element(result.values.begin(), result.values.end(),
                         [ranking](double a, double b) { return RanksBefore(ranking, a, b); }) -
        result.values.begin());
    return result;
}

}  // namespace orvane
