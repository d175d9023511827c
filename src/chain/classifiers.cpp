// SPDX-License-Identifier: GPL-3.0-or-later
#include "chain/classifiers.h"
#include "base/choice_words.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <limits>

#include "base/orvane_error.h"

namespace orvane {

namespace {

double Dot(const double* a, const double* b, int n) {
    double s = 0.0;
    for (int i = 0; i < n; ++i) s += a[i] * b[i];
    return s;
}

// The log-determinant keeps a broad class from winning spectra that lie far from its mean.
double MahalanobisScore(const ClassScoreTerms& t) { return t.log_det + t.distance; }

double ModifiedMahalanobisScore(const ClassScoreTerms& t) {
    return std::fabs(-t.log_det * t.distance);
}

double GeneralSquaredDistanceScore(const ClassScoreTerms& t) {
    return std::fabs(t.x_p_x - 2.0 * (t.mean_p_x - 0.5 * t.mean_p_mean));
}

double SpectralAngleScore(const ClassScoreTerms& t) {
    const double cosine =
        Dot(t.x, t.mean, t.dimension) / (t.x_norm * std::sqrt(Dot(t.mean, t.mean, t.dimension)));
    // Rounding can put the cosine of two equal vectors a step above 1.
    return std::acos(std::clamp(cosine, -1.0, 1.0));
}

}  // namespace

const std::vector<ClassifierEntry>& ClassifierRegistry() {
    using R = ClassRequirement;
    constexpr Ranking kSmaller = Ranking::kSmallerIsBetter;
    static const std::vector<ClassifierEntry> registry = {
        {Classifier::kMahalanobis, "mahalanobis", "Mahalanobis", R::kClassCovariances, kSmaller,
         MahalanobisScore},
        {Classifier::kModifiedMahalanobis, "modified-mahalanobis", "Modified Mahalanobis",
         R::kClassCovariances, kSmaller, ModifiedMahalanobisScore},
        {Classifier::kGeneralSquaredDistance, "gsd", "Gen. Squared Dist", R::kPooledCovariance,
         kSmaller, GeneralSquaredDistanceScore},
        {Classifier::kSpectralAngle, "sam", "SAM", R::kMeans, kSmaller, SpectralAngleScore,
         "SAM cannot classify in a feature space of one feature: the angle between two single "
         "numbers is 0 or pi, so every class of the same sign ties and the first one would "
         "win. Choose a feature space of at least two features, or another classifier."},
        {Classifier::kMahalanobisShrunk, "mahalanobis-shrunk", "Mahalanobis (shrunk)",
         R::kShrunkCovariances, kSmaller, MahalanobisScore},
    };
    return registry;
}

const ClassifierEntry& ClassifierEntryOf(Classifier kind) {
    for (const ClassifierEntry& c : ClassifierRegistry())
        if (c.kind == kind) return c;
    throw OrvaneError("Unknown classifier number " + std::to_string(static_cast<int>(kind)) + ".");
}

std::string ClassifierWords() {
    std::string words;
    for (const ClassifierEntry& c : ClassifierRegistry())
        words += (words.empty() ? "" : "|") + std::string(c.word);
    return words;
}

Classifier ParseClassifier(const std::string& word) {
    std::string list;
    for (const ClassifierEntry& c : ClassifierRegistry()) {
        if (SameWord(word, c.word)) return c.kind;
        list += (list.empty() ? "" : ", ") + std::string(c.word);
    }
    throw OrvaneError("Unknown classifier \"" + word + "\"; choose one of " + list + ".");
}

bool RanksBefore(Ranking ranking, double a, double b) {
    if (std::isnan(b)) return !std::isnan(a);
    if (std::isnan(a)) return false;
    return ranking == Ranking::kSmallerIsBetter ? a < b : a > b;
}

double UnrankedValue(Ranking ranking) {
    constexpr double kInfinity = std::numeric_limits<double>::infinity();
    return ranking == Ranking::kSmallerIsBetter ? kInfinity : -kInfinity;
}

}  // namespace orvane
