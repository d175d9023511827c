// SPDX-License-Identifier: GPL-3.0-or-later
// The DI and NTBI features without a database: a sensor held in memory and hand-made stages.
#include "chain/feature_space.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "support/band_values.h"

namespace orvane {
namespace {

using test::Derived;
using test::MemorySensor;

FeatureSpace::BandRange Range(int w1, int w2) {
    FeatureSpace::BandRange r;
    r.wavelength1 = w1;
    r.wavelength2 = w2;
    return r;
}

// For f(x) = A x^2 + B x^3 the term of a triple is minus its second divided difference,
// -(A + B (x1 + x2 + x3)), whatever the spacing; the sums below add those by hand.
TEST(FeatureSpaceDI, OneTermPerTripleFromTheBandNearestWavelength1) {
    const std::vector<double> x = {400, 410, 430, 460, 500, 550};
    const double a = 1e-5, b = 1e-8;
    auto f = [&](double w) { return a * w * w + b * w * w * w; };
    std::vector<double> all;
    for (double w : x) all.push_back(f(w));
    std::vector<double> gap = all;
    gap[2] = kNoValue;  // the band at 430 nm

    struct Case {
        const char* name;
        std::vector<double> values;
        FeatureSpace::BandRange range;
        double expected;
    } cases[] = {
        // Triples starting at 400, 410, 430, 460: x sums 1240, 1300, 1390, 1510.
        {"all valid, 403-460", all, Range(403, 460), -(4 * a + b * 5440)},
        // 431 is nearest 430: triples at 430 and 460 only (x sums 1390, 1510).
        {"all valid, 431-470", all, Range(431, 470), -(2 * a + b * 2900)},
        // Ranges of one triple: the loop always takes the first.
        {"all valid, 403-403", all, Range(403, 403), -(a + b * 1240)},
        // 430 has no value: (400, 410, 460), (410, 460, 500), (460, 500, 550).
        {"gap at 430, 403-460", gap, Range(403, 460), -(3 * a + b * 4150)},
        {"start at the last but one band", all, Range(499, 600), 0.0},
        {"start at the last band", all, Range(549, 600), 0.0}};
    const MemorySensor sensor(x);
    for (const Case& c : cases) {
        FeatureSpace fs;
        fs.Define(0, 1, {c.range});
        fs.MapToSensor(sensor);
        Matrix out;
        fs.DIFeatures(Derived(x, c.values), out);
        ASSERT_EQ(out.Nrows(), 1) << c.name;
        EXPECT_NEAR(out(1, 1), c.expected, 1e-13) << c.name;
    }
}

TEST(FeatureSpaceNTBI, NormalisedDifferenceOfTheTwoBands) {
    const double kNaN = std::numeric_limits<double>::quiet_NaN();
    const std::vector<double> x = {450, 550, 650, 750, 850};
    struct Case {
        const char* name;
        std::vector<double> values;
        FeatureSpace::BandRange range;
        double expected;
    } cases[] = {
        {"b1 0.2, b2 0.6", {0.1, 0.2, 0.3, 0.4, 0.6}, Range(560, 840), 0.5},
        {"b2 equal to b1", {0.1, 0.2, 0.3, 0.2, 0.6}, Range(540, 760), 0.0},
        // 750 has no value: the search goes up to 850.
        {"b2 without value takes the next band up",
         {0.1, 0.2, 0.3, kNoValue, 0.6},
         Range(540, 760),
         (0.6 - 0.2) / 0.8},
        // A band without value never enters the difference: the feature has no value.
        {"b1 without value", {0.1, kNoValue, 0.3, 0.4, 0.6}, Range(560, 840), kNaN},
        {"no b2 up to the last band", {0.1, 0.2, 0.3, kNoValue, kNoValue}, Range(540, 760), kNaN}};
    const MemorySensor sensor(x);
    for (const Case& c : cases) {
        FeatureSpace fs;
        fs.Define(1, 2, {c.range, Range(440, 660)});
        fs.MapToSensor(sensor);
        Matrix out;
        fs.NTBIFeatures(Derived(x, c.values), out);
        ASSERT_EQ(out.Nrows(), 2) << c.name;
        if (std::isnan(c.expected))
            EXPECT_TRUE(std::isnan(out(1, 1))) << c.name << ": " << out(1, 1);
        else
            EXPECT_NEAR(out(1, 1), c.expected, 1e-15) << c.name;
        EXPECT_NEAR(out(2, 1), (c.values[2] - 0.1) / (c.values[2] + 0.1), 1e-15) << c.name;
    }
}

}  // namespace
}  // namespace orvane
