// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <limits>
#include <string>
#include <vector>

#include "base/matrix.h"
#include "chain/classifiers.h"

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

// True for the classifiers that need each class's own covariance (Mahalanobis, Modified
// Mahalanobis and Mahalanobis (shrunk)); the others give every class a value.
bool UsesClassCovariance(Classifier classifier);
// True for the classifiers whose library must hold each class's shrinkage intensity.
bool NeedsShrinkage(Classifier classifier);

// What a classifier needs of one class: its spectrum count, mean (d x 1) and sample
// covariance (d x d, divisor n - 1), and for Mahalanobis (shrunk) its Ledoit-Wolf shrinkage
// intensity (NaN when not computed).
struct ClassStatistics {
    int n = 0;
    Matrix mean;
    Matrix cov;
    double shrinkage = std::numeric_limits<double>::quiet_NaN();
};

// The features standardised for Mahalanobis (shrunk): z = (x - mean) / scale with the mean and
// the population standard deviation (divisor N) of all spectra of all classes together; a
// feature without variance keeps the scale 1, so it is only centred.
struct Standardisation {
    std::vector<double> mean;
    std::vector<double> scale;
};

// The standardisation derived from the class statistics alone: the mean of all spectra is the
// count-weighted class means, their spread the classes' own ((n - 1) C) plus their means'
// distances from it.
Standardisation StandardisationOf(const std::vector<ClassStatistics>& classes);

// The Ledoit-Wolf shrinkage intensity of one class (the estimator of scikit-learn's
// ledoit_wolf_shrinkage). X (n x p) holds the class's standardised spectra as rows, centred by
// their mean; with S = X'X / n, mu = trace(S) / p,
//   beta_  = sum over all k, l of ((X^2)'(X^2))_kl   (= sum_i |x_i|^4),
//   delta_ = sum over all k, l of ((X'X)_kl)^2 / n^2  (= |S|_F^2),
//   beta   = (beta_ / n - delta_) / (p n),
//   delta  = (delta_ - 2 mu trace(S) + p mu^2) / p    (= |S - mu I|_F^2 / p),
// the intensity is min(beta, delta) / delta, and 0 when that minimum is 0, when delta is 0 (S
// is already mu I) or for a single feature. Two spectra always give 0: their estimate of the
// noise in S is nil. `features` holds one column per spectrum (as FeatureMatrix gives them);
// NaN for fewer than 2 spectra.
double LedoitWolfShrinkage(const Matrix& features, const Standardisation& standardisation);

// Computes the standardisation of all classes' spectra (features[c]: class c's spectra, one
// column each) and sets every class's shrinkage intensity in it. A library build does this
// once; cross-validation again for every fold's training spectra.
void SetLedoitWolfShrinkage(std::vector<ClassStatistics>& classes,
                            const std::vector<const Matrix*>& features);

// The classifiers' values of a feature vector for every class, computed from the classes'
// statistics once. With d = x - m_c and C_c the class covariance:
//   Mahalanobis: ln det(C_c) + d'C_c^-1 d, the Gaussian maximum-likelihood discriminant up
//     to constants (QDA with equal priors), ranked by its signed value;
//   Modified Mahalanobis: -ln det(C_c) * d'C_c^-1 d, ranked by its magnitude;
//   Gen. Squared Dist: d'P^-1 d with the pooled covariance P (divisor N), which is LDA;
//   SAM: the angle between x and m_c in radians;
//   Mahalanobis (shrunk): ln det(C) + d'C^-1 d in the standardised features (StandardisationOf
//     the classes' statistics), d = (x - m_c) / scale, with C = (1 - s) S + s mu I the class's
//     Ledoit-Wolf covariance: S its population covariance (divisor n) standardised, mu =
//     trace(S) / p and s its stored shrinkage intensity (LedoitWolfShrinkage). Defined for
//     every class of at least 2 spectra; the rank check applies to C, which is positive
//     definite whenever s > 0.
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
    Ranking Ranks() const { return entry_->ranking; }
    int Count() const { return static_cast<int>(classes_.size()); }
    int Dimension() const { return dimension_; }
    const ClassStatistics& Statistics(int c) const { return classes_.at(static_cast<size_t>(c)); }
    bool Modelled(int c) const { return problems_.at(static_cast<size_t>(c)).empty(); }
    // Why class c is unmodelled; empty when it is modelled.
    const std::string& Problem(int c) const { return problems_.at(static_cast<size_t>(c)); }
    int ModelledCount() const;
    // ln det of class c's fitted covariance (its own, or its shrunk one); NaN for the
    // classifiers that fit none and for an unmodelled class.
    double ClassLogDeterminant(int c) const;

    // Replaces class c's statistics and refits what depends on them (the class's inverse, and
    // the pooled covariance for Gen. Squared Dist): cross-validation holds spectra out of one
    // class at a time. The shrunk classifier's standardisation comes from every class, so it
    // refits them all. Throws as the constructor does.
    void SetClass(int c, ClassStatistics statistics);

    // The value of each class for the features x (Dimension() of them) into values[0, Count()),
    // UnrankedValue for an unmodelled class; Ranks() tells which end wins. Its buffers are its
    // own, so threads may call it on one const ClassModels at once.
    void Values(const double* x, double* values) const;

  private:
    struct Fit;
    void FitClass(size_t c);
    void FitPooled();
    void FitShrunk(size_t c);
    void RequireModelled() const;
    bool Needs(ClassRequirement r) const { return entry_->requirement == r; }

    Classifier classifier_;
    const ClassifierEntry* entry_;
    int dimension_ = 0;
    std::vector<ClassStatistics> classes_;
    std::vector<std::string> problems_;
    std::vector<Fit> fits_;
    Matrix pooled_inverse_;
    Standardisation standardisation_;
};

// One feature vector classified: every class's value in class order (as ClassModels::Values
// gives them) and the class whose value ranks first, the first in class order on ties.
struct Classification {
    std::vector<double> values;
    int winner = 0;
};

// Classifies the features x (models.Dimension() of them). It reads only the models and x and
// writes only its result, so any number of threads may classify with one const ClassModels,
// and classifying never changes the classes it was fitted from.
Classification Classify(const ClassModels& models, const double* x);

}  // namespace orvane
