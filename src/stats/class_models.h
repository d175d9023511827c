// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>
#include <vector>

#include "base/matrix.h"
#include "chain/processing_session.h"

namespace orvane {

// A class covariance of n spectra in d features is estimable when n >= d + 1 and its numerical
// rank is d: every eigenvalue of its correlation matrix above kRankTolerance times the largest
// one. The correlation matrix makes the rule independent of the features' units; a feature
// without variance makes the rank fall short by itself. Covariances of duplicated or
// too few spectra have eigenvalues near 1e-16 of the largest, regular ones of real
// spectra stay well above 1e-10 even for neighbouring 1 nm bands.
constexpr double kRankTolerance = 1e-12;

// The numerical rank of a covariance by the rule above (0 for an empty or non-finite one).
int CovarianceRank(const Matrix& cov);

// Why the covariance of `n` spectra cannot be estimated, for the report ("19 spectra for 40
// features; at least 41 are needed"); empty when it can.
std::string CovarianceProblem(const Matrix& cov, int n);

// True for the classifiers that need each class's own covariance (Mahalanobis and Modified
// Mahalanobis); the others give every class a value.
bool UsesClassCovariance(Classifier classifier);

// What a classifier needs of one class: its spectrum count, mean (d x 1) and sample
// covariance (d x d, divisor n - 1).
struct ClassStatistics {
    int n = 0;
    Matrix mean;
    Matrix cov;
};

// The classifiers' values of a feature vector for every class, computed from the classes'
// statistics once. With d = x - m_c and C_c the class covariance:
//   Mahalanobis: ln det(C_c) + d'C_c^-1 d, the Gaussian maximum-likelihood discriminant up
//     to constants (QDA with equal priors), ranked by its signed value;
//   Modified Mahalanobis: -ln det(C_c) * d'C_c^-1 d, ranked by its magnitude;
//   Gen. Squared Dist: d'P^-1 d with the pooled covariance P (divisor N), which is LDA;
//   SAM: the angle between x and m_c in radians.
// A class whose covariance is not estimable (CovarianceProblem) is unmodelled for the
// classifiers that use class covariances: it gets no value (+infinity), so it ranks last and
// never wins. Log-determinants are sums of the logs of the LU pivots.
class ClassModels {
  public:
    // Throws SingularCovarianceError when Gen. Squared Dist's pooled covariance cannot be
    // inverted (also when it is rank-deficient by the rule above, with N - k + 1 as its
    // spectrum count), and OrvaneError when no class is modelled or for SAM in a one-feature
    // space, where every angle is 0 or pi and so cannot tell classes apart.
    ClassModels(Classifier classifier, std::vector<ClassStatistics> classes);
    ~ClassModels();
    ClassModels(ClassModels&&) noexcept;
    ClassModels& operator=(ClassModels&&) noexcept;

    Classifier Kind() const { return classifier_; }
    int Count() const { return static_cast<int>(classes_.size()); }
    int Dimension() const { return dimension_; }
    const ClassStatistics& Statistics(int c) const { return classes_.at(static_cast<size_t>(c)); }
    bool Modelled(int c) const { return problems_.at(static_cast<size_t>(c)).empty(); }
    // Why class c is unmodelled; empty when it is modelled.
    const std::string& Problem(int c) const { return problems_.at(static_cast<size_t>(c)); }
    int ModelledCount() const;

    // Replaces class c's statistics and refits what depends on them (the class's inverse, and
    // the pooled covariance for Gen. Squared Dist): cross-validation holds spectra out of one
    // class at a time. Throws as the constructor does.
    void SetClass(int c, ClassStatistics statistics);

    // The value of each class for the features x (Dimension() of them) into values[0, Count()),
    // +infinity for an unmodelled class; smaller ranks first, Modified Mahalanobis by magnitude.
    void Values(const double* x, double* values) const;
    // The class with the smallest value, the first in class order on ties.
    int Winner(const double* x) const;

  private:
    struct Fit;
    void FitClass(size_t c);
    void FitPooled();
    void RequireModelled() const;

    Classifier classifier_;
    int dimension_ = 0;
    std::vector<ClassStatistics> classes_;
    std::vector<std::string> problems_;
    std::vector<Fit> fits_;
    Matrix pooled_inverse_;
};

}  // namespace orvane
