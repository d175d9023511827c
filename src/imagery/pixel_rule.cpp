// SPDX-License-Identifier: GPL-3.0-or-later
#include "imagery/pixel_rule.h"

#include <boost/math/distributions/chi_squared.hpp>
#include <cmath>
#include <limits>

#include "base/choice_words.h"
#include "base/number_text.h"
#include "base/orvane_error.h"
#include "base/shown_text.h"
#include "stats/class_models.h"

namespace orvane {

namespace {

constexpr double kPi = 3.14159265358979323846;

}  // namespace

MapThreshold MapThreshold::Parse(const std::string& text) {
    const size_t colon = text.find(':');
    const std::string word = AsciiLower(text.substr(0, colon));
    const std::string number = colon == std::string::npos ? "" : text.substr(colon + 1);
    MapThreshold t;
    if (SameWord(text, "none")) return t;
    if (colon != std::string::npos && !number.empty()) {
        if (word == "chi2" || word == "prob") {
            t.kind = word == "chi2" ? kChiSquare : kPosterior;
            t.value = ParseReal(number, 0.0, 1.0, "The threshold's probability");
            if (t.value > 0.0 && t.value < 1.0) return t;
            throw OrvaneError("The threshold's probability must lie strictly between 0 and 1, "
                              "not " + number + ".");
        }
        if (word == "angle") {
            t.kind = kAngle;
            t.value = ParseReal(number, 0.0, kPi, "The threshold's angle");
            if (t.value > 0.0) return t;
            throw OrvaneError("The threshold's angle must be above 0 radians.");
        }
    }
    throw OrvaneError("Unknown threshold \"" + EscapeControls(text) +
                      "\": use chi2:P, prob:P (P between 0 and 1) or angle:RAD (radians).");
}

std::string MapThreshold::Text() const {
    switch (kind) {
        case kChiSquare: return "chi2:" + PlainNumber(value);
        case kPosterior: return "prob:" + PlainNumber(value);
        case kAngle: return "angle:" + PlainNumber(value);
        case kNone: break;
    }
    return "none";
}

RuleMeasure RuleMeasureOf(Classifier classifier) {
    switch (classifier) {
        case Classifier::kMahalanobis:
        case Classifier::kMahalanobisShrunk:
        case Classifier::kGeneralSquaredDistance:
            return RuleMeasure::kPosterior;
        case Classifier::kSpectralAngle:
            return RuleMeasure::kAngle;
        case Classifier::kModifiedMahalanobis:
            break;
    }
    return RuleMeasure::kValue;
}

const char* RuleMeasureName(RuleMeasure measure) {
    switch (measure) {
        case RuleMeasure::kPosterior: return "posterior probability";
        case RuleMeasure::kAngle: return "spectral angle (radians)";
        case RuleMeasure::kValue: break;
    }
    return "classifier value";
}

void PosteriorsOf(const double* values, int count, double* posteriors) {
    double smallest = std::numeric_limits<double>::infinity();
    for (int c = 0; c < count; ++c)
        if (values[c] < smallest) smallest = values[c];
    double sum = 0.0;
    for (int c = 0; c < count; ++c) {
        posteriors[c] = std::isfinite(values[c]) ? std::exp(-0.5 * (values[c] - smallest)) : 0.0;
        sum += posteriors[c];
    }
    for (int c = 0; c < count; ++c) posteriors[c] = sum > 0.0 ? posteriors[c] / sum : 0.0;
}

PixelRule::PixelRule(const ClassModels& models, MapThreshold threshold)
    : models_(models),
      threshold_(threshold),
      measure_(RuleMeasureOf(models.Kind())),
      count_(models.Count()),
      dimension_(models.Dimension()) {
    const char* classifier = ClassifierEntryOf(models.Kind()).label;
    const bool probabilistic = measure_ == RuleMeasure::kPosterior;
    if ((threshold.kind == MapThreshold::kChiSquare || threshold.kind == MapThreshold::kPosterior) &&
        !probabilistic)
        throw OrvaneError(std::string("The threshold ") + threshold.Text() +
                          " needs Mahalanobis, Mahalanobis (shrunk) or Gen. Squared Dist; the "
                          "classifier is " + classifier + ".");
    if (threshold.kind == MapThreshold::kAngle && models.Kind() != Classifier::kSpectralAngle)
        throw OrvaneError(std::string("The threshold ") + threshold.Text() +
                          " needs SAM; the classifier is " + classifier + ".");
    if (threshold.kind == MapThreshold::kChiSquare)
        chi2_limit_ = boost::math::quantile(boost::math::chi_squared(dimension_), threshold.value);
    log_dets_.resize(static_cast<size_t>(count_), 0.0);
    // Gen. Squared Dist's value is the squared distance itself; the others add ln det C.
    if (models.Kind() != Classifier::kGeneralSquaredDistance)
        for (int c = 0; c < count_; ++c) log_dets_[static_cast<size_t>(c)] = models.ClassLogDeterminant(c);
}

int PixelRule::Decide(const double* features, double* values, float* rules) const {
    for (int i = 0; i < dimension_; ++i)
        if (!std::isfinite(features[i])) return 0;
    models_.Values(features, values);
    const Ranking ranking = models_.Ranks();
    int winner = 0;
    for (int c = 1; c < count_; ++c)
        if (RanksBefore(ranking, values[c], values[winner])) winner = c;
    if (!std::isfinite(values[winner])) return 0;
    const double value = values[winner];
    const double distance = value - log_dets_[static_cast<size_t>(winner)];
    if (measure_ == RuleMeasure::kPosterior) PosteriorsOf(values, count_, values);
    if (rules)
        for (int c = 0; c < count_; ++c) rules[c] = static_cast<float>(values[c]);
    switch (threshold_.kind) {
        case MapThreshold::kChiSquare:
            if (distance > chi2_limit_) return 0;
            break;
        case MapThreshold::kPosterior:
            if (values[winner] < threshold_.value) return 0;
            break;
        case MapThreshold::kAngle:
            if (value > threshold_.value) return 0;
            break;
        case MapThreshold::kNone:
            break;
    }
    return winner + 1;
}

}  // namespace orvane
