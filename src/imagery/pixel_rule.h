// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>
#include <vector>

#include "chain/classifiers.h"

namespace orvane {

class ClassModels;

// When a classified pixel is still left unclassified: its squared Mahalanobis distance to the
// winning class beyond the chi-square quantile P with d degrees of freedom, the winner's
// posterior below P, or the spectral angle to the winner beyond RAD.
struct MapThreshold {
    enum Kind { kNone, kChiSquare, kPosterior, kAngle };
    Kind kind = kNone;
    double value = 0.0;

    // "chi2:P", "prob:P" (0 < P < 1) or "angle:RAD" (0 < RAD <= pi), words in any case;
    // throws OrvaneError naming the forms.
    static MapThreshold Parse(const std::string& text);
    // The same form back, "none" for kNone.
    std::string Text() const;
};

// What a rules raster holds of each class: the posterior probability with equal priors, the
// spectral angle in radians, or the classifier's own value (a distance).
enum class RuleMeasure { kPosterior, kAngle, kValue };
RuleMeasure RuleMeasureOf(Classifier classifier);
// "posterior probability", "spectral angle (radians)", "classifier value".
const char* RuleMeasureName(RuleMeasure measure);

// The decision for one pixel's features under a library's class models and a threshold: the
// class number (1 for the first class, 0 for unclassified) and each class's rule. Threads
// share one: it reads only the models, and each caller brings its own scratch.
class PixelRule {
  public:
    // Refuses (OrvaneError) a threshold the classifier cannot give: chi2 and prob need
    // Mahalanobis, Mahalanobis (shrunk) or Gen. Squared Dist; angle needs SAM.
    PixelRule(const ClassModels& models, MapThreshold threshold);

    int ClassCount() const { return count_; }
    RuleMeasure Measure() const { return measure_; }
    // The chi-square quantile a squared distance is compared with (chi2 only).
    double ChiSquareLimit() const { return chi2_limit_; }

    // `values` holds ClassCount() doubles of scratch; `rules` (ClassCount() floats) may be
    // null. Features that are not all finite give 0 and no rules: the caller counts such a
    // pixel as without data.
    int Decide(const double* features, double* values, float* rules) const;

  private:
    const ClassModels& models_;
    MapThreshold threshold_;
    RuleMeasure measure_;
    int count_;
    int dimension_;
    double chi2_limit_ = 0.0;
    std::vector<double> log_dets_;
};

// Posterior probabilities with equal priors from Gaussian discriminant values
// v_c = ln det C_c + D_c^2 (or D_c^2 with a shared covariance): p_c = e^(-v_c/2) / sum e^(-v/2),
// summed from the largest term so that no term underflows to an empty sum; an infinite value
// (an unmodelled class) has probability 0.
void PosteriorsOf(const double* values, int count, double* posteriors);

}  // namespace orvane
