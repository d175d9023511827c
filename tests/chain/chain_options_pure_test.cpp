// SPDX-License-Identifier: GPL-3.0-or-later
// The classifier registry without a database: its words, labels and rankings.
#include "chain/classifiers.h"

#include <gtest/gtest.h>

#include <cmath>
#include <iterator>

#include "support/refusal.h"

namespace orvane {
namespace {

// Both faces and the library checks read the classifiers from one registry: each word names
// its classifier whatever its row, and the entry carries the label the window shows and what the
// library must hold for it.
TEST(ClassifierRegistry, EachWordNamesItsClassifierAndUnknownOnesAreRefused) {
    using R = ClassRequirement;
    const struct {
        const char* word;
        Classifier kind;
        const char* label;
        ClassRequirement requirement;
    } cases[] = {
        {"mahalanobis", Classifier::kMahalanobis, "Mahalanobis", R::kClassCovariances},
        {"Modified-Mahalanobis", Classifier::kModifiedMahalanobis, "Modified Mahalanobis",
         R::kClassCovariances},
        {"gsd", Classifier::kGeneralSquaredDistance, "Gen. Squared Dist", R::kPooledCovariance},
        {"SAM", Classifier::kSpectralAngle, "SAM", R::kMeans},
        {"mahalanobis-shrunk", Classifier::kMahalanobisShrunk, "Mahalanobis (shrunk)",
         R::kShrunkCovariances}};
    ASSERT_EQ(ClassifierRegistry().size(), std::size(cases));
    for (const auto& c : cases) {
        EXPECT_EQ(ParseClassifier(c.word), c.kind) << c.word;
        const ClassifierEntry& entry = ClassifierEntryOf(c.kind);
        EXPECT_STREQ(entry.label, c.label);
        EXPECT_EQ(entry.requirement, c.requirement) << c.word;
        EXPECT_EQ(entry.ranking, Ranking::kSmallerIsBetter) << c.word;
    }
    EXPECT_EQ(ClassifierWords(), "mahalanobis|modified-mahalanobis|gsd|sam|mahalanobis-shrunk");
    EXPECT_TRUE(test::Refuses([] { ParseClassifier("shrunk"); },
                              "Unknown classifier \"shrunk\"; choose one of mahalanobis, "
                              "modified-mahalanobis, gsd, sam, mahalanobis-shrunk."));
    // A number read back from elsewhere (a window's saved settings) that names no classifier.
    EXPECT_TRUE(test::Refuses([] { ClassifierEntryOf(static_cast<Classifier>(17)); },
                              "Unknown classifier number 17."));
}

// Either ranking puts values that are not numbers last, so an unmodelled class never wins.
TEST(ClassifierRegistry, RankingOrdersEitherWayAndNeverFirstANonNumber) {
    const double nan = std::nan("");
    const struct {
        Ranking ranking;
        double a, b;
        bool before;
    } cases[] = {
        {Ranking::kSmallerIsBetter, 1.0, 2.0, true},
        {Ranking::kSmallerIsBetter, 2.0, 1.0, false},
        {Ranking::kLargerIsBetter, 2.0, 1.0, true},
        {Ranking::kLargerIsBetter, 1.0, 2.0, false},
        {Ranking::kSmallerIsBetter, nan, 1.0, false},
        {Ranking::kSmallerIsBetter, 1.0, nan, true},
        {Ranking::kLargerIsBetter, nan, -1.0, false},
        {Ranking::kLargerIsBetter, -1.0, nan, true},
        {Ranking::kSmallerIsBetter, nan, nan, false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(RanksBefore(c.ranking, c.a, c.b), c.before) << c.a << " " << c.b;
    for (Ranking r : {Ranking::kSmallerIsBetter, Ranking::kLargerIsBetter})
        EXPECT_TRUE(RanksBefore(r, r == Ranking::kSmallerIsBetter ? 1e308 : -1e308,
                                UnrankedValue(r)));
}

}  // namespace
}  // namespace orvane
