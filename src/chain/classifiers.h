// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>
#include <vector>

namespace orvane {

// The measures a spectrum is classified by. Each has one entry in ClassifierRegistry(), which
// every list, parser and check reads; the values are stored in the window's settings, so an
// existing one keeps its number.
enum class Classifier {
    kMahalanobis = 0,
    kModifiedMahalanobis = 1,
    kGeneralSquaredDistance = 2,
    kSpectralAngle = 3,
    kMahalanobisShrunk = 4,
};

// What a classifier needs fitted from the library's class statistics.
enum class ClassRequirement {
    kMeans,              // the class means only; every class gets a value
    kClassCovariances,   // each class's own covariance, inverted, and its log-determinant
    kShrunkCovariances,  // each class's Ledoit-Wolf covariance in standardised features
    kPooledCovariance,   // the covariance pooled over all classes, inverted
};

// Which end of a classifier's values wins.
enum class Ranking { kSmallerIsBetter, kLargerIsBetter };

// What a score function sees of one class and the classified features x. Only the terms of the
// classifier's requirement are set; the others stay 0.
struct ClassScoreTerms {
    const double* x = nullptr;
    const double* mean = nullptr;  // the class mean
    int dimension = 0;
    double x_norm = 0.0;  // sqrt(x'x)
    // Class and shrunk covariances: ln det(C) and d'C^-1 d, with d = x - mean (divided by the
    // standardisation's scale for shrunk covariances).
    double log_det = 0.0;
    double distance = 0.0;
    // Pooled covariance P: x'P^-1 x, mean'P^-1 x and mean'P^-1 mean.
    double x_p_x = 0.0;
    double mean_p_x = 0.0;
    double mean_p_mean = 0.0;
};

// One classifier: the word the command line takes, the label the window lists and reports and
// result files name, what the library must hold for it, its score and which end of the score
// wins. `one_feature_refusal` is the reason it cannot work in a one-feature space, or null.
struct ClassifierEntry {
    Classifier kind;
    const char* word;
    const char* label;
    ClassRequirement requirement;
    Ranking ranking;
    double (*score)(const ClassScoreTerms& terms);
    const char* one_feature_refusal = nullptr;
};

// Every classifier, in the order the window and the usage list them.
const std::vector<ClassifierEntry>& ClassifierRegistry();
// The entry of a classifier; throws OrvaneError for a value that has none.
const ClassifierEntry& ClassifierEntryOf(Classifier kind);
// The command line's words joined by '|', for usage texts.
std::string ClassifierWords();
// The classifier a command-line word names, case-insensitively; throws OrvaneError listing the
// known words.
Classifier ParseClassifier(const std::string& word);

// True when `a` ranks before `b` under that ranking. A value that is not a number ranks last.
bool RanksBefore(Ranking ranking, double a, double b);
// The value that ranks after every score: what an unmodelled class gets.
double UnrankedValue(Ranking ranking);

}  // namespace orvane
