// SPDX-License-Identifier: GPL-3.0-or-later
#include "plot/plot_layout.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cmath>
#include <filesystem>
#include <fstream>

#include "plot/plot_svg.h"
#include "support/scratch_database.h"

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
    EXPECT_EQ(s.labels[2].text, "6.050E+00");

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
        {"only non-numbers", {{std::nan(""), 1.0}}, "No data to plot"}};
    for (const auto& c : cases) {
        PlotLayout layout;
        if (!c.points.empty()) layout.AddItem(c.points);
        const PlotScene s = layout.Layout(400, 200, 12, 6, true);
        EXPECT_EQ(s.note, c.note) << c.name;
        EXPECT_EQ(s.axes.size(), 2u) << c.name;
        EXPECT_TRUE(s.ticks.empty() && s.labels.empty() && s.points.empty()) << c.name;
    }
}

// A plot the disk refuses half way (a file-size limit, as a full disk would) keeps the earlier
// plot byte for byte, like every other result file.
TEST(PlotLayout, AFailedSvgRewriteKeepsTheEarlierPlot) {
    test::TempDir dir;
    const std::string path = dir.File("pca_score_plot.svg");
    std::ofstream(path) << "<svg>earlier</svg>\n";
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        const rlimit limit{256, RLIM_INFINITY};
        setrlimit(RLIMIT_FSIZE, &limit);
        signal(SIGXFSZ, SIG_IGN);
        _exit(WritePlotSvg(Spread(2), true, path) ? 0 : 3);
    }
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 3) << "the failed write must be reported";
    EXPECT_EQ(test::FileText(path), "<svg>earlier</svg>\n");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()),
                            std::filesystem::directory_iterator()),
              1);
    ASSERT_TRUE(WritePlotSvg(Spread(2), true, path));
    EXPECT_NE(test::FileText(path).find("<circle"), std::string::npos);
}

}  // namespace
}  // namespace orvane
