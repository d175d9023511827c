// SPDX-License-Identifier: GPL-3.0-or-later
#include "plot/plot_layout.h"

#include <gtest/gtest.h>

#include <cmath>

namespace orvane {
namespace {

// Eleven points from (0, -1) to (10, 1) on a 600 x 300 surface with a 12-pixel font of
// average width 6.
PlotLayout Spread(int columns) {
    Matrix rows(11, columns);
    rows = 1.0;  // a third column, as the score plot passes, must change nothing
    for (int r = 1; r <= 11; ++r) {
        rows(r, 1) = r - 1.0;
        rows(r, 2) = -1.0 + (r - 1) * 0.2;
    }
    PlotLayout layout;
    layout.AddItem(rows);
    return layout;
}

TEST(PlotLayout, RangesTicksAndLabels) {
    const PlotScene s = Spread(2).Layout(600, 300, 12, 6, true);
    EXPECT_DOUBLE_EQ(s.x_range, 11.0);
    EXPECT_DOUBLE_EQ(s.x_start, -0.55);
    EXPECT_NEAR(s.y_range, 2.2, 1e-15);
    EXPECT_NEAR(s.y_start, -1.11, 1e-15);
    ASSERT_EQ(s.labels.size(), 10u);
    const char* x_labels[] = {"1.650E+00", "3.850E+00", "6.050E+00", "8.250E+00", "1.045E+01"};
    const char* y_labels[] = {"-6.700E-01", "-2.300E-01", "2.100E-01", "6.500E-01", "1.090E+00"};
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(s.labels[static_cast<size_t>(i)].text, x_labels[i]);
        EXPECT_EQ(s.labels[static_cast<size_t>(i) + 5].text, y_labels[i]);
    }
    // Axes inside the margins: origin (60, 285), ends at x 570 and y 15.
    EXPECT_EQ(s.axes[0].x1, 60);
    EXPECT_EQ(s.axes[0].y1, 285);
    EXPECT_EQ(s.axes[0].x2, 570);
    EXPECT_EQ(s.axes[1].y2, 15);
    // First x tick at 60 + 102, its label centred under it.
    EXPECT_EQ(s.ticks[0].x1, 162);
    EXPECT_EQ(s.labels[0].left, 162 - 27);
}

TEST(PlotLayout, PointsMapOntoTheirTicksAndTheLastRowIsDrawn) {
    const PlotScene two = Spread(2).Layout(600, 300, 12, 6, true);
    const PlotScene three = Spread(3).Layout(600, 300, 12, 6, true);
    ASSERT_EQ(two.points.size(), 11u);
    ASSERT_EQ(three.points.size(), 11u);
    for (size_t i = 0; i < 11; ++i) {
        EXPECT_EQ(two.points[i].x, three.points[i].x);
        EXPECT_EQ(two.points[i].y, three.points[i].y);
    }
    // The first point sits at the data origin, the last at the far corner of the data area.
    EXPECT_EQ(two.points.front().x, 85);
    EXPECT_EQ(two.points.front().y, 271);
    EXPECT_EQ(two.points.back().x, 548);
    EXPECT_EQ(two.points.back().y, 25);
    // x = 6.05 is the third tick's value, so it lands on that tick (within truncation).
    PlotLayout on_tick = Spread(2);
    on_tick.AddItem(std::vector<PlotPoint>{{6.05, 0.0}});
    const PlotScene s = on_tick.Layout(600, 300, 12, 6, true);
    EXPECT_NEAR(s.points.back().x, s.ticks[2].x1, 1.0);

    EXPECT_TRUE(Spread(2).Layout(600, 300, 12, 6, false).points.empty());
}

TEST(PlotLayout, NothingToScaleGivesAxesAndANote) {
    const struct {
        const char* name;
        std::vector<PlotPoint> points;
        const char* note;
    } cases[] = {
        {"no items", {}, "No data to plot"},
        {"one x value", {{2.0, 1.0}, {2.0, 3.0}}, "Every point has the same x value, 2.000E+00"},
        {"one y value", {{1.0, 4.0}, {3.0, 4.0}}, "Every point has the same y value, 4.000E+00"},
        {"only non-numbers", {{std::nan(""), 1.0}}, "No data to plot"},
    };
    for (const auto& c : cases) {
        PlotLayout layout;
        if (!c.points.empty()) layout.AddItem(c.points);
        const PlotScene s = layout.Layout(400, 200, 12, 6, true);
        EXPECT_EQ(s.note, c.note) << c.name;
        EXPECT_EQ(s.axes.size(), 2u) << c.name;
        EXPECT_TRUE(s.ticks.empty() && s.labels.empty() && s.points.empty()) << c.name;
    }
}

}  // namespace
}  // namespace orvane
