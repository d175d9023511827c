// SPDX-License-Identifier: GPL-3.0-or-later
// The band statistics and axis ticks the spectra plots draw with (the plots of a study:
// spectra_plot_test.cpp).
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "base/orvane_error.h"
#include "plot/plot_layout.h"
#include "plot/spectra_plot.h"
#include "plot/spectra_plot_svg.h"
#include "spectra/band_vector.h"
#include "stats/band_statistics.h"

namespace orvane {
namespace {

TEST(BandStatisticsTest, MeanAndSampleDeviationOverTheMembersWithAValue) {
    // Band 1: 1, 2, 4 (mean 7/3, sd sqrt(7/3)); band 2: one member without value; band 3: none.
    BandVector a(1, 3), b(1, 3), c(1, 3);
    const double rows[3][3] = {{1, 0.5, kNoValue}, {2, kNoValue, kNoValue}, {4, 1.5, kNoValue}};
    BandVector* v[] = {&a, &b, &c};
    for (int m = 0; m < 3; ++m)
        for (int i = 0; i < 3; ++i) v[m]->Set(i + 1, rows[m][i], 400.0 + i);
    const BandStatistics s = MeanAndDeviation({&a, &b, &c});
    EXPECT_EQ(s.x, (std::vector<double>{400, 401, 402}));
    EXPECT_DOUBLE_EQ(s.mean[0], 7.0 / 3.0);
    EXPECT_DOUBLE_EQ(s.deviation[0], std::sqrt(7.0 / 3.0));
    EXPECT_DOUBLE_EQ(s.mean[1], 1.0);
    EXPECT_DOUBLE_EQ(s.deviation[1], std::sqrt(0.5));
    EXPECT_EQ(s.count, (std::vector<int>{3, 2, 0}));
    EXPECT_TRUE(std::isnan(s.mean[2]) && std::isnan(s.deviation[2]));
    // One member: no spread.
    EXPECT_EQ(MeanAndDeviation({&a}).deviation[0], 0.0);
    BandVector other(2, 3);
    EXPECT_THROW(MeanAndDeviation({&a, &other}), OrvaneError);
}

TEST(NiceTicksTest, RoundStepsInsideTheRange) {
    const struct {
        double lo, hi;
        int target;
        std::vector<double> ticks;
    } cases[] = {
        {350, 2499, 8, {400, 600, 800, 1000, 1200, 1400, 1600, 1800, 2000, 2200, 2400}},
        {-0.05, 0.62, 6, {0, 0.1, 0.2, 0.3, 0.4, 0.5, 0.6}},
        {3, 3, 5, {}}};
    for (const auto& c : cases) {
        const std::vector<double> t = NiceTicks(c.lo, c.hi, c.target);
        ASSERT_EQ(t.size(), c.ticks.size()) << c.lo << ".." << c.hi;
        for (size_t i = 0; i < t.size(); ++i) EXPECT_NEAR(t[i], c.ticks[i], 1e-12);
    }
}

}  // namespace
}  // namespace orvane
