// SPDX-License-Identifier: GPL-3.0-or-later
// The DI and NTBI features without a database: a sensor held in memory and hand-made stages.
#include "chain/feature_space.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <set>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "chain/sensor_synthesis.h"
#include "spectra/sensor.h"
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

    const std::tuple<const char*, std::vector<double>, FeatureSpace::BandRange, double> cases[] = {
        // Triples starting at 400, 410, 430, 460: x sums 1240, 1300, 1390, 1510.
        {"all valid, 403-460", all, Range(403, 460), -(4 * a + b * 5440)},
        // 431 is nearest 430: triples at 430 and 460 only (x sums 1390, 1510).
        {"all valid, 431-470", all, Range(431, 470), -(2 * a + b * 2900)},
        // The same two triples when the range runs past the axis: 500 has no third band.
        {"all valid, 431-600", all, Range(431, 600), -(2 * a + b * 2900)},
        // Ranges of one triple: the loop always takes the first.
        {"all valid, 403-403", all, Range(403, 403), -(a + b * 1240)},
        // 430 has no value: (400, 410, 460), (410, 460, 500), (460, 500, 550).
        {"gap at 430, 403-460", gap, Range(403, 460), -(3 * a + b * 4150)},
        {"start at the last but one band", all, Range(499, 600), 0.0},
        {"start at the last band", all, Range(549, 600), 0.0}};
    const MemorySensor sensor(x);
    for (const auto& [name, values, range, expected] : cases) {
        FeatureSpace fs;
        fs.Define(0, 1, {range});
        fs.MapToSensor(sensor);
        Matrix out;
        fs.DIFeatures(Derived(x, values), out);
        ASSERT_EQ(out.Nrows(), 1) << name;
        EXPECT_NEAR(out(1, 1), expected, 1e-13) << name;
    }
}

TEST(FeatureSpaceNTBI, NormalisedDifferenceOfTheTwoBands) {
    const double kNaN = std::numeric_limits<double>::quiet_NaN();
    const std::vector<double> x = {450, 550, 650, 750, 850};
    const std::tuple<const char*, std::vector<double>, FeatureSpace::BandRange, double> cases[] = {
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
    for (const auto& [name, values, range, expected] : cases) {
        FeatureSpace fs;
        fs.Define(1, 2, {range, Range(440, 660)});
        fs.MapToSensor(sensor);
        Matrix out;
        fs.NTBIFeatures(Derived(x, values), out);
        ASSERT_EQ(out.Nrows(), 2) << name;
        if (std::isnan(expected))
            EXPECT_TRUE(std::isnan(out(1, 1))) << name << ": " << out(1, 1);
        else
            EXPECT_NEAR(out(1, 1), expected, 1e-15) << name;
        EXPECT_NEAR(out(2, 1), (values[2] - 0.1) / (values[2] + 0.1), 1e-15) << name;
    }
}

using test::MemorySensor;

SensorElement Element(int number, double centre, double fwhm = 10.0,
                      std::vector<std::pair<double, double>> ratios = {}) {
    SensorElement e;
    e.number = number;
    e.band_no = number;
    e.avg_wavelength = centre;
    e.fwhm = fwhm;
    e.ratios = std::move(ratios);
    return e;
}

// A curved reflectance, so that the width and the placement of a window change the result.
double Curve(int w) { return 0.2 + 0.0004 * (w - 500) + 0.00002 * (w - 500) * (w - 500); }

BandVector Smoothed(const std::set<int>& missing = {}) {
    BandVector v(350, 2150);
    for (int w = 350; w <= 2499; ++w) v.Set(w, missing.count(w) ? kNoValue : Curve(w), w);
    return v;
}

double SynthesizeOne(int type, const SensorElement& e, const std::set<int>& missing = {}) {
    const MemorySensor sensor(type, {e});
    return SynthesizeSensorBands(Smoothed(missing), sensor)->Value(e.number);
}

// Expected values come from an independent evaluation of the weighted mean (python, double
// precision) over the window named in each case; for the ratio and centre responses,
// Curve(499) = 0.19962, Curve(500) = 0.2 and Curve(501) = 0.20042.
TEST(SensorSynthesis, ResponsesWindowsAndCentreRounding) {
    const std::vector<std::pair<double, double>> table = {{499.7, 1.0}, {500.2, 3.0}, {501.9, 2.0}};
    const int g = kResponseGaussian, r = kResponseRatio, c = kResponseCentre;
    const std::tuple<const char*, int, SensorElement, std::set<int>, double> cases[] = {
        // clang-format off
        {"window 487..513", g, Element(1, 500.0), {}, 0.20035491537338443},
        {"centre .5 rounds down: 487..513", g, Element(1, 500.5), {}, 0.20055621819246394},
        {"centre .6 rounds up: 488..514", g, Element(1, 500.6), {}, 0.20060466784064332},
        {"no value at c+5: 496..504", g, Element(1, 500.0), {505}, 0.20011525570541858},
        {"no value at c+13: 488..512", g, Element(1, 500.0), {513}, 0.20034965455474402},
        {"no value at c+14 is outside: 487..513", g, Element(1, 500.0), {514}, 0.20035491537338443},
        {"grid start cuts the window: 350..354", g, Element(1, 352.0), {}, 0.57891845752125182},
        {"centre without value", g, Element(1, 500.0), {500}, kNoValue},
        {"ratio, wavelengths truncated", r, Element(1, 500.0, 0.0, table), {}, (0.19962 * 1 + 0.2 * 3 + 0.20042 * 2) / 6},
        {"ratio skips a band without value", r, Element(1, 500.0, 0.0, table), {500}, (0.19962 * 1 + 0.20042 * 2) / 3},
        {"ratios summing to zero", r, Element(1, 500.0, 0.0, {{500.0, 0.0}}), {}, kNoValue},
        {"centre sampling truncates 500.9", c, Element(1, 500.9), {}, 0.2},
        {"centre sampling on a band without value", c, Element(1, 500.9), {500}, kNoValue},
        // clang-format on
    };
    for (const auto& [name, type, element, missing, expected] : cases) {
        const double v = SynthesizeOne(type, element, missing);
        if (!HasValue(expected))
            EXPECT_FALSE(HasValue(v)) << name;
        else
            EXPECT_NEAR(v, expected, 1e-14) << name;
    }
}

// A sensor synthesizes its elements together; each must get exactly the value it gets alone,
// whatever windows its neighbours use.
TEST(SensorSynthesis, ElementsOfOneSensorMatchTheirSingleSyntheses) {
    const std::set<int> missing = {705, 706, 1000, 1400, 1401, 1402};
    std::vector<SensorElement> elements;
    const double centres[] = {355.0, 420.3,  500.5,  640.0,  700.2,  712.0,  800.0,
                              995.7, 1003.0, 1200.0, 1401.0, 1500.0, 2300.0, 2497.5};
    const double widths[] = {10.0, 10.0, 30.0, 7.0,  10.0, 25.0, 10.0,
                             12.0, 10.0, 60.0, 10.0, 10.0, 20.0, 10.0};
    for (int i = 0; i < 14; ++i) elements.push_back(Element(i + 1, centres[i], widths[i]));
    elements[6].usable = false;
    const MemorySensor sensor(kResponseGaussian, elements);
    const auto together = SynthesizeSensorBands(Smoothed(missing), sensor);
    int valid = 0;
    for (int i = 0; i < 14; ++i) {
        const double alone =
            elements[static_cast<size_t>(i)].usable
                ? SynthesizeOne(kResponseGaussian, elements[static_cast<size_t>(i)], missing)
                : kNoValue;
        EXPECT_TRUE(test::SameValue(together->Value(i + 1), alone)) << "element " << i + 1;
        valid += HasValue(alone);
    }
    EXPECT_FALSE(HasValue(together->Value(11)));  // its centre has no value
    EXPECT_EQ(together->X(7), 800.0);  // an unusable element keeps its wavelength
    EXPECT_EQ(together->ValidCount(), valid);
}

TEST(SensorSynthesis, InterpolationOntoTheGrid) {
    struct Band {
        double x, v;
    };
    struct Case {
        const char* name;
        std::vector<Band> bands;
        std::vector<std::pair<int, double>> expected;  // wavelength, value
        int valid;
    } cases[] = {
        {"two bands",
         {{485.0, 0.10}, {560.0, 0.40}},
         {{484, kNoValue}, {485, 0.10}, {500, 0.16}, {559, 0.396}, {560, 0.40}, {561, kNoValue}},
         76},
        {"a band without value breaks both neighbouring lines",
         {{485.0, 0.10}, {560.0, 0.40}, {640.5, kNoValue}, {700.0, 0.2}},
         {{560, 0.40}, {561, kNoValue}, {640, kNoValue}, {700, kNoValue}},
         76},
        // 0.4 + (0.2 - 0.4) / 39.5 * (560 - 560.7) from the second line, not the first's 0.39723
        {"the later pair writes the shared wavelength",
         {{485.0, 0.10}, {560.7, 0.40}, {600.2, 0.20}},
         {{560, 0.4 + 0.2 / 39.5 * 0.7}, {600, 0.4 - 0.2 / 39.5 * 39.3}, {601, kNoValue}},
         116},
        {"wavelengths past the grid are not written",
         {{2490.3, 0.2}, {2510.0, 0.4}},
         {{2489, kNoValue}, {2490, 0.2 + 0.2 / 19.7 * -0.3}, {2499, 0.2 + 0.2 / 19.7 * 8.7}},
         10}};
    for (const Case& c : cases) {
        BandVector synth(1, static_cast<int>(c.bands.size()));
        for (size_t i = 0; i < c.bands.size(); ++i)
            synth.Set(static_cast<int>(i) + 1, c.bands[i].v, c.bands[i].x);
        BandVector grid(350, 2150);
        grid.FillValues(0.5);  // leftovers of an earlier run must not survive
        InterpolateToGrid(synth, grid);
        for (const auto& [w, v] : c.expected) {
            if (!HasValue(v)) {
                EXPECT_FALSE(HasValue(grid.Value(w))) << c.name << " at " << w;
            } else {
                EXPECT_NEAR(grid.Value(w), v, 1e-12) << c.name << " at " << w;
            }
            EXPECT_EQ(grid.X(w), w) << c.name;
        }
        EXPECT_EQ(grid.ValidCount(), c.valid) << c.name;
    }
}

}  // namespace
}  // namespace orvane
