// SPDX-License-Identifier: GPL-3.0-or-later
#include "imagery/pixel_rule.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "base/matrix_stats.h"
#include "stats/class_models.h"
#include "support/refusal.h"

namespace orvane {
namespace {

// Three classes of six spectra in two features (columns are spectra).
ClassStatistics Class(const std::vector<std::pair<double, double>>& points) {
    Matrix data(2, static_cast<int>(points.size()));
    for (size_t i = 0; i < points.size(); ++i) {
        data(1, static_cast<int>(i) + 1) = points[i].first;
        data(2, static_cast<int>(i) + 1) = points[i].second;
    }
    return {data.Ncols(), RowMeans(data), CovarianceOfColumns(data)};
}

std::vector<ClassStatistics> ThreeClasses() {
    return {Class({{0.10, 0.52}, {0.14, 0.49}, {0.12, 0.58}, {0.18, 0.55}, {0.11, 0.47}, {0.16, 0.60}}),
            Class({{0.40, 0.30}, {0.45, 0.36}, {0.38, 0.33}, {0.47, 0.29}, {0.42, 0.38}, {0.36, 0.27}}),
            Class({{0.70, 0.80}, {0.66, 0.72}, {0.74, 0.77}, {0.69, 0.86}, {0.72, 0.75}, {0.77, 0.83}})};
}

struct Decided {
    int number;
    std::vector<float> rules;
};

Decided Decide(const PixelRule& rule, std::vector<double> x) {
    std::vector<double> values(static_cast<size_t>(rule.ClassCount()));
    Decided d{0, std::vector<float>(static_cast<size_t>(rule.ClassCount()), -1.0f)};
    d.number = rule.Decide(x.data(), values.data(), d.rules.data());
    return d;
}

// Reference values: scikit-learn 1.2.1, QuadraticDiscriminantAnalysis(priors=[1/3]*3) fitted on
// the 18 points above, predict_proba; the squared distances with numpy (np.cov, solve);
// scipy.stats.chi2.ppf(0.95, 2) = 5.991464547107979; the angles with numpy's arccos of the
// normalised dot product with each class mean.
TEST(PixelRule, PosteriorsAndThresholdsAgreeWithScikitLearnAndScipy) {
    const ClassModels qda(Classifier::kMahalanobis, ThreeClasses());
    const PixelRule plain(qda, {});
    const Decided between = Decide(plain, {0.39, 0.65});
    EXPECT_EQ(between.number, 2);
    const double expected[] = {0.18702506477374903, 0.4736249125844088, 0.3393500226418421};
    for (int c = 0; c < 3; ++c) EXPECT_NEAR(between.rules[c], expected[c], 1e-6) << c;

    // D² to the winner 0.0271 and 18.33 against the 95 % quantile.
    const PixelRule chi2(qda, MapThreshold::Parse("chi2:0.95"));
    EXPECT_NEAR(chi2.ChiSquareLimit(), 5.991464547107979, 1e-12);
    EXPECT_EQ(Decide(chi2, {0.13, 0.53}).number, 1);
    EXPECT_EQ(Decide(chi2, {0.30, 0.42}).number, 0);
    // Unclassified by the threshold still has its rules.
    EXPECT_NEAR(Decide(chi2, {0.30, 0.42}).rules[1], 0.9999999928857817, 1e-6);

    const PixelRule prob(qda, MapThreshold::Parse("PROB:0.5"));
    EXPECT_EQ(Decide(prob, {0.39, 0.65}).number, 0);
    EXPECT_EQ(Decide(prob, {0.13, 0.53}).number, 1);

    const ClassModels sam(Classifier::kSpectralAngle, ThreeClasses());
    const PixelRule angles(sam, MapThreshold::Parse("angle:0.1"));
    const Decided near_c = Decide(angles, {0.6, 0.65});
    EXPECT_EQ(near_c.number, 3);
    EXPECT_NEAR(near_c.rules[0], 0.4982430144881878, 1e-6);
    EXPECT_NEAR(near_c.rules[1], 0.16405458594746208, 1e-6);
    EXPECT_NEAR(near_c.rules[2], 0.009924352938597229, 1e-6);
    EXPECT_EQ(Decide(angles, {0.30, 0.42}).number, 0);  // 0.115 rad from the closest mean

    // A pixel without finite features is left to the caller as without data.
    EXPECT_EQ(Decide(plain, {0.3, std::nan("")}).number, 0);
}

TEST(PixelRule, ThresholdsTheClassifierCannotGiveAreRefused) {
    const ClassModels sam(Classifier::kSpectralAngle, ThreeClasses());
    EXPECT_TRUE(test::Refuses([&] { PixelRule(sam, MapThreshold::Parse("chi2:0.9")); }, "needs Mahalanobis"));
    const ClassModels qda(Classifier::kMahalanobis, ThreeClasses());
    EXPECT_TRUE(test::Refuses([&] { PixelRule(qda, MapThreshold::Parse("angle:0.2")); }, "needs SAM"));
    for (const char* bad : {"chi2:1", "prob:0", "angle:4", "chi2", "p:0.5", "prob:x"})
        EXPECT_THROW(MapThreshold::Parse(bad), OrvaneError) << bad;
    EXPECT_EQ(MapThreshold::Parse("Chi2:0.99").Text(), "chi2:0.99");
}

// With one huge and one tiny value the posteriors still sum to 1 and none is NaN.
TEST(PixelRule, PosteriorsNeitherUnderflowNorOverflow) {
    const double values[] = {2000.0, 2001.0, std::numeric_limits<double>::infinity()};
    double p[3];
    PosteriorsOf(values, 3, p);
    // e^-1000 / (e^-1000 + e^-1000.5) = 1 / (1 + e^-0.5)
    EXPECT_NEAR(p[0], 0.6224593312018546, 1e-15);
    EXPECT_NEAR(p[1], 0.3775406687981454, 1e-15);
    EXPECT_EQ(p[2], 0.0);
}

}  // namespace
}  // namespace orvane
