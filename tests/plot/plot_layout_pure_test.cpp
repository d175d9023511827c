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
#include <map>
#include <set>
#include <tuple>

#include "base/orvane_error.h"
#include "plot/figure_size.h"
#include "plot/plot_svg.h"
#include "plot/score_plot.h"
#include "plot/scree_plot.h"
#include "spectra/band_vector.h"
#include "stats/band_statistics.h"
#include "support/refusal.h"
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

// Where a label's text starts when each character is `cw` wide.
int Start(const PixelText& t, int cw) {
    const int width = static_cast<int>(t.text.size()) * cw;
    return t.anchor == PixelText::kStart
               ? t.left
               : t.left - (t.anchor == PixelText::kMiddle ? width / 2 : width);
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
    // The first point sits at the data origin, the last at the far corner of the data area:
    // axes from (60, 282) to (570, 15), the data 5 % inside them.
    EXPECT_EQ(two.points.front().x, 85);
    EXPECT_EQ(two.points.front().y, 268);
    EXPECT_EQ(two.points.back().x, 548);
    EXPECT_EQ(two.points.back().y, 25);
    // x = 6 is the fourth tick's value (0, 2, 4, 6 ...), so it lands on that tick.
    PlotLayout on_tick = Spread(2);
    on_tick.AddItem(std::vector<PlotPoint>{{6.0, 0.5}});
    const PlotScene s = on_tick.Layout(600, 300, 12, 6, true);
    EXPECT_NEAR(s.points.back().x, s.ticks[3].x1, 1.0);
    EXPECT_EQ(s.labels[3].text, "6");
    // y = 0.5 is the y axis's fourth tick (-1.0, -0.5, 0.0, 0.5, 1.0).
    ASSERT_EQ(s.x_ticks, 6);
    EXPECT_NEAR(s.points.back().y, s.ticks[6 + 3].y1, 1.0);
    EXPECT_EQ(s.labels[6 + 3].text, "0.5");

    EXPECT_TRUE(Spread(2).Layout(600, 300, 12, 6, false).points.empty());
}

TEST(PlotLayout, NothingToScaleGivesAxesAndANote) {
    const std::tuple<const char*, std::vector<PlotPoint>, const char*> cases[] = {
        {"no items", {}, "No data to plot"},
        {"one x value", {{2.0, 1.0}, {2.0, 3.0}}, "Every point has the same x value, 2.000"},
        {"one y value", {{1.0, 4.0}, {3.0, 4.0}}, "Every point has the same y value, 4.000"},
        {"only non-numbers", {{std::nan(""), 1.0}}, "No data to plot"}};
    for (const auto& [name, points, note] : cases) {
        PlotLayout layout;
        if (!points.empty()) layout.AddItem(points);
        const PlotScene s = layout.Layout(400, 200, 12, 6, true);
        EXPECT_EQ(s.note, note) << name;
        EXPECT_EQ(s.axes.size(), 2u) << name;
        EXPECT_TRUE(s.ticks.empty() && s.labels.empty() && s.points.empty()) << name;
    }
}

// Tick labels are plain decimals with the places their step needs, whatever the magnitude.
TEST(PlotLayout, TickLabelsArePlainDecimals) {
    const struct {
        double value, step;
        const char* text;
    } cases[] = {{6.05, 2.2, "6.05"},         {1.587, 0.35, "1.587"},
                 {-0.000123, 0.0004, "-0.000123"}, {123456.0, 25000.0, "123456"},
                 {-0.0001, 0.2, "0.000"},     {0.0, 0.0, "0"}};
    for (const auto& c : cases)
        EXPECT_EQ(TickLabel(c.value, TickDecimals(c.step)), c.text) << c.value;
}

// Points of every size of number get labels without exponents that stay on the surface.
TEST(PlotLayout, LabelsFitTheSurfaceWithoutExponents) {
    for (double scale : {1e-5, 1.0, 1587.0, 1e6}) {
        PlotLayout layout;
        layout.AddItem(std::vector<PlotPoint>{{-scale, -3 * scale}, {4 * scale, 2 * scale}});
        layout.SetAxisTitles("PC1 (62.3 %)", "PC2 (20.1 %)");
        const int w = 598, h = 306, cw = 7, ch = 14;
        const PlotScene s = layout.Layout(w, h, ch, cw, true);
        ASSERT_GE(s.labels.size(), 6u);
        for (const PixelText& t : s.labels) {
            SCOPED_TRACE(t.text);
            EXPECT_EQ(t.text.find_first_of("eE"), std::string::npos);
            EXPECT_GE(Start(t, cw), 0);
            EXPECT_LE(Start(t, cw) + static_cast<int>(t.text.size()) * cw, w);
            EXPECT_GE(t.top, 0);
            EXPECT_LE(t.top + ch, h);
        }
    }
}

// The score plot's layout: one colour per species, distinct, on its points and in the legend
// (in name order), and the axis titles placed on the surface.
TEST(PlotLayout, ScorePlotColoursSpeciesWithLegendAndAxisTitles) {
    ScorePlotData plot;
    plot.title = "Scores";
    plot.x_title = "PC1 (62.3 %)";
    plot.y_title = "PC3 (4.0 %)";
    plot.points.ReSize(5, 3);
    const double xy[5][2] = {{0, 0}, {1, 2}, {2, 1}, {3, 3}, {4, 0.5}};
    for (int r = 1; r <= 5; ++r) {
        plot.points(r, 1) = xy[r - 1][0];
        plot.points(r, 2) = xy[r - 1][1];
        plot.points(r, 3) = 1.0;
    }
    plot.species = {"rimu", "kahikatea", "rimu", "totara", "kahikatea"};
    const PlotScene s = ScorePlotLayout(plot).Layout(598, 306, 14, 7, true);

    ASSERT_EQ(s.legend.size(), 3u);
    const std::vector<std::string> names = {s.legend[0].text, s.legend[1].text, s.legend[2].text};
    EXPECT_EQ(names, (std::vector<std::string>{"kahikatea", "rimu", "totara"}));
    std::map<std::string, std::string> colour;
    for (const auto& e : s.legend) {
        colour[e.text] = e.colour;
        EXPECT_NE(e.colour, "#000000");
        EXPECT_LE(e.left + static_cast<int>(e.text.size() + 2) * 7, 598);
    }
    EXPECT_EQ(std::set<std::string>({colour["kahikatea"], colour["rimu"], colour["totara"]}).size(),
              3u);
    // Points come item by item: kahikatea's two, rimu's two, totara's one.
    EXPECT_EQ(s.point_colours,
              (std::vector<std::string>{colour["kahikatea"], colour["kahikatea"], colour["rimu"],
                                        colour["rimu"], colour["totara"]}));
    EXPECT_EQ(s.x_title.text, "PC1 (62.3 %)");
    EXPECT_EQ(s.y_title.text, "PC3 (4.0 %)");
    // The x title sits under the x labels, the y title above the top y tick's label.
    EXPECT_GT(s.x_title.top, s.labels[0].top);
    EXPECT_LT(s.y_title.top + 14, s.labels.back().top + 1);

    const std::string svg = PlotSvg(ScorePlotLayout(plot), true);
    for (const std::string& text : {std::string(">PC1 (62.3 %)<"), std::string(">rimu<"),
                                    "fill=\"" + colour["totara"] + "\""})
        EXPECT_NE(svg.find(text), std::string::npos) << text;

    // Without species the points stay one black item and there is no legend.
    plot.species.clear();
    const PlotScene plain = ScorePlotLayout(plot).Layout(598, 306, 14, 7, true);
    EXPECT_TRUE(plain.legend.empty());
    EXPECT_EQ(plain.point_colours, std::vector<std::string>(5, "#000000"));
}

// Each component's share in percent and the running total, which ends at 100 exactly; a
// negative eigenvalue (rounding noise) is no share, and without variance there is nothing.
TEST(ScreePlot, SharesArePercentAndTheCumulativeReachesOneHundred) {
    const struct {
        const char* name;
        std::vector<double> eigenvalues;
        std::vector<double> percent, cumulative;
    } cases[] = {
        {"three", {6.0, 3.0, 1.0}, {60.0, 30.0, 10.0}, {60.0, 90.0, 100.0}},
        {"noise below zero", {3.0, 1.0, -1e-12}, {75.0, 25.0, 0.0}, {75.0, 100.0, 100.0}},
        {"thirds", {1.0, 1.0, 1.0}, {100.0 / 3, 100.0 / 3, 100.0 / 3}, {100.0 / 3, 200.0 / 3, 100.0}},
        {"no variance", {0.0, 0.0}, {}, {}},
        {"none", {}, {}, {}}};
    for (const auto& c : cases) {
        const ExplainedVariance v = ExplainedVarianceOf(c.eigenvalues);
        ASSERT_EQ(v.percent.size(), c.percent.size()) << c.name;
        ASSERT_EQ(v.cumulative.size(), c.cumulative.size()) << c.name;
        for (size_t i = 0; i < c.percent.size(); ++i) {
            EXPECT_NEAR(v.percent[i], c.percent[i], 1e-9) << c.name << " " << i;
            EXPECT_NEAR(v.cumulative[i], c.cumulative[i], 1e-9) << c.name << " " << i;
        }
        if (!v.cumulative.empty()) {
            EXPECT_EQ(v.cumulative.back(), 100.0) << c.name;
        }
    }
}

// Bars as tall as their share on a 0 to 100 % axis, the cumulative line ending at the axis's
// top, labels and titles on the surface; a long tail of tiny components is left out and the x
// title says so.
TEST(ScreePlot, BarsAndLineShareOnePercentAxis) {
    const int w = 598, h = 306, ch = 14, cw = 7;
    ScorePlotData plot;
    plot.title = "PCA Score Plot of study 'field'";
    plot.eigenvalues = {6.0, 3.0, 1.0};
    const ScreeLayout layout = ScreeLayoutOf(plot);
    EXPECT_EQ(layout.Title(), "PCA Explained Variance of study 'field'");
    const ScreeScene s = layout.Layout(w, h, ch, cw);
    ASSERT_EQ(s.bars.size(), 3u);
    ASSERT_EQ(s.cumulative.size(), 3u);
    const int base = s.axes[0].y1;
    const int top = s.axes[1].y2;  // the y axis runs from 0 % up to 100 %
    const double per_cent = (base - top) / 100.0;
    const double shares[] = {60.0, 30.0, 10.0};
    for (size_t i = 0; i < 3; ++i) {
        EXPECT_NEAR(s.bars[i].height, shares[i] * per_cent, 1.0) << i;
        EXPECT_EQ(s.bars[i].top + s.bars[i].height, base) << i;
        // The line's vertex sits above the middle of its bar.
        EXPECT_NEAR(s.cumulative[i].x, s.bars[i].left + s.bars[i].width / 2.0, 1.0) << i;
    }
    EXPECT_EQ(s.cumulative.back().y, top);
    EXPECT_NEAR(s.cumulative[1].y, base - 90.0 * per_cent, 1.0);
    std::vector<std::string> values;
    for (const PixelText& t : s.bar_values) values.push_back(t.text);
    EXPECT_EQ(values, (std::vector<std::string>{"60.0", "30.0", "10.0"}));
    // The first bar's top is where the line starts: its share is written inside it instead.
    EXPECT_GT(s.bar_values[0].top, s.bars[0].top);
    EXPECT_EQ(s.bar_value_colours[0], "#ffffff");
    ASSERT_EQ(s.labels.size(), 9u);  // 0 to 100 % in steps of 20, then the three components
    EXPECT_EQ(s.labels[0].text, "0 %");
    EXPECT_EQ(s.labels[5].text, "100 %");
    EXPECT_EQ(s.labels[8].text, "3");
    EXPECT_EQ(s.x_title.text, "Principal component");
    EXPECT_EQ(s.y_title.text, "Explained variance (%)");
    ASSERT_EQ(s.legend.size(), 2u);
    EXPECT_NE(s.legend[0].colour, s.legend[1].colour);
    for (const auto* texts : {&s.labels, &s.bar_values})
        for (const PixelText& t : *texts) {
            EXPECT_GE(Start(t, cw), 0) << t.text;
            EXPECT_LE(Start(t, cw) + static_cast<int>(t.text.size()) * cw, w) << t.text;
            EXPECT_GE(t.top, 0) << t.text;
            EXPECT_LE(t.top + ch, h) << t.text;
        }

    // 40 components, the first four carrying 99.95 %: four bars, and the title says of how many.
    std::vector<double> tail = {50.0, 30.0, 15.0, 4.95};
    tail.resize(40, 0.05 / 36);
    plot.eigenvalues = tail;
    const ScreeScene cut = ScreeLayoutOf(plot).Layout(w, h, ch, cw);
    EXPECT_EQ(cut.bars.size(), 4u);
    EXPECT_EQ(cut.x_title.text, "Principal component (first 4 of 40)");
    // Equal shares never reach 99.9 % early: at most twenty bars.
    plot.eigenvalues.assign(40, 1.0);
    EXPECT_EQ(ScreeLayoutOf(plot).Layout(w, h, ch, cw).bars.size(), 20u);

    plot.eigenvalues.clear();
    const ScreeScene none = ScreeLayoutOf(plot).Layout(w, h, ch, cw);
    EXPECT_TRUE(none.bars.empty() && none.labels.empty());
    EXPECT_FALSE(none.note.empty());

    plot.eigenvalues = {6.0, 3.0, 1.0};
    const std::string svg = ScreeSvg(ScreeLayoutOf(plot));
    for (const char* text : {"<title>PCA Explained Variance of study 'field'</title>",
                             "<polyline ", ">60.0<", ">100 %<", ">Cumulative<"})
        EXPECT_NE(svg.find(text), std::string::npos) << text;
}

// Ticks fall on round values (1, 2 or 5 times a power of ten, the ones worked out by hand
// here) with as many decimals as the step has, and no label touches a tick mark or another
// label, however wide its font draws it: x labels hang centred below the marks, y labels end
// left of them.
TEST(PlotLayout, TicksAtRoundValuesWithLabelsClearOfTheMarks) {
    const struct {
        const char* name;
        double lo, hi;  // the data's range on both axes
        std::vector<std::string> ticks;
    } cases[] = {
        // Scores as a PCA gives them: padded to -0.0431 .. 0.1657, steps of 0.05.
        {"scores", -0.0327, 0.1572, {"0.00", "0.05", "0.10", "0.15"}},
        {"reflectance", 0.0, 1.0, {"0.0", "0.2", "0.4", "0.6", "0.8", "1.0"}},
        {"large", -1200.0, 3400.0, {"-1000", "0", "1000", "2000", "3000"}},
        {"tiny", 2e-6, 9e-6, {"0.000002", "0.000004", "0.000006", "0.000008"}},
        {"negative", -7.3, -2.1, {"-7", "-6", "-5", "-4", "-3", "-2"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        PlotLayout layout;
        layout.AddItem(std::vector<PlotPoint>{{c.lo, c.lo}, {c.hi, c.hi}}, "a");
        layout.SetAxisTitles("PC1", "PC2");
        const int w = 598, h = 306, ch = 14, cw = 8;
        const PlotScene s = layout.Layout(w, h, ch, cw, true);
        ASSERT_EQ(s.ticks.size(), s.labels.size());
        std::vector<std::string> x, y;
        for (int i = 0; i < static_cast<int>(s.labels.size()); ++i)
            (i < s.x_ticks ? x : y).push_back(s.labels[static_cast<size_t>(i)].text);
        EXPECT_EQ(x, c.ticks);
        EXPECT_EQ(y, c.ticks);
        for (int i = 0; i < static_cast<int>(s.labels.size()); ++i) {
            const PixelText& t = s.labels[static_cast<size_t>(i)];
            const PixelLine& mark = s.ticks[static_cast<size_t>(i)];
            const int text_width = static_cast<int>(t.text.size()) * cw;
            if (i < s.x_ticks) {
                EXPECT_EQ(t.anchor, PixelText::kMiddle) << t.text;
                EXPECT_GT(t.top, std::max(mark.y1, mark.y2)) << t.text;
                if (i > 0) {
                    const PixelText& before = s.labels[static_cast<size_t>(i - 1)];
                    EXPECT_GT(Start(t, cw),
                              Start(before, cw) + static_cast<int>(before.text.size()) * cw)
                        << t.text;
                }
            } else {
                EXPECT_EQ(t.anchor, PixelText::kEnd) << t.text;
                EXPECT_LT(t.left, std::min(mark.x1, mark.x2)) << t.text;
                EXPECT_GE(t.left - text_width, 0) << t.text;
                // Centred on its mark in height.
                EXPECT_NEAR(t.top + ch / 2.0, mark.y1, 1.0) << t.text;
            }
        }
    }
    // The round-step rule alone.
    EXPECT_EQ(NiceTicks(-0.0431445, 0.1657455, 5), (std::vector<double>{0.0, 0.05, 0.1, 0.15}));
    EXPECT_EQ(NiceTickDecimals(0.05), 2);
    EXPECT_EQ(NiceTickDecimals(20.0), 0);
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

// The band statistics the spectra plots draw their means and bands with.
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

// Sizes as --size takes them: the raster's pixels and the layout in CSS pixels (1/96 inch),
// worked out by hand (160 mm at 300 dpi is 160 / 25.4 * 300 = 1889.76 pixels).
TEST(FigureSizeMath, PixelsAndLayoutOfEachForm) {
    const struct {
        const char* text;
        int dpi;
        int pixel_w, pixel_h, layout_w, layout_h;
        const char* svg;
    } cases[] = {
        {"960x600", 96, 960, 600, 960, 600, "width=\"960\" height=\"600\""},
        {"800X500px", 96, 800, 500, 800, 500, "width=\"800\" height=\"500\""},
        {"1920x1200px", 192, 1920, 1200, 960, 600, "width=\"960\" height=\"600\""},
        {"160x100mm", 300, 1890, 1181, 605, 378, "width=\"160mm\" height=\"100mm\""},
        {"84.5x60mm", 600, 1996, 1417, 319, 227, "width=\"84.5mm\" height=\"60mm\""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        const FigureSize s = ParseFigureSize(c.text, c.dpi);
        EXPECT_EQ(s.PixelWidth(), c.pixel_w);
        EXPECT_EQ(s.PixelHeight(), c.pixel_h);
        EXPECT_EQ(s.LayoutWidth(), c.layout_w);
        EXPECT_EQ(s.LayoutHeight(), c.layout_h);
        EXPECT_EQ(s.SvgSizeAttributes(), c.svg);
        // The text reads back as the same size.
        EXPECT_EQ(ParseFigureSize(s.Text(), c.dpi).PixelWidth(), c.pixel_w);
    }
}

// A size shown in the other unit: 160 mm at 300 dpi is 160 / 25.4 * 300 = 1889.76 raster
// pixels, and back again the same millimetres.
TEST(FigureSizeMath, ConvertsBetweenPixelsAndMillimetresAtItsResolution) {
    const FigureSize paper = ParseFigureSize("160x100mm", 300);
    const FigureSize raster = paper.In(FigureSize::kPixels);
    EXPECT_EQ(raster.unit, FigureSize::kPixels);
    EXPECT_NEAR(raster.width, 1889.7637795275, 1e-9);
    EXPECT_NEAR(raster.height, 1181.1023622047, 1e-9);
    EXPECT_EQ(raster.PixelWidth(), paper.PixelWidth());
    const FigureSize back = raster.In(FigureSize::kMillimetres);
    EXPECT_NEAR(back.width, 160.0, 1e-12);
    EXPECT_NEAR(back.height, 100.0, 1e-12);
    EXPECT_EQ(paper.In(FigureSize::kMillimetres).width, 160.0);
}

TEST(FigureSizeMath, RefusesWhatIsNoSizeWithTheReason) {
    const struct {
        const char* text;
        int dpi;
        const char* says;
    } cases[] = {
        {"", 96, "is not a figure size"},
        {"960", 96, "is not a figure size"},
        {"x600", 96, "is not a figure size"},
        {"960x", 96, "is not a figure size"},
        {"-5x600", 96, "is not a figure size"},
        {"1e3x600", 96, "is not a figure size"},
        {"96 0x600", 96, "is not a figure size"},
        {"960x600cm", 96, "is not a figure size"},
        {"0x600", 96, "above zero"},
        {"960x600", 20, "between 36 and 2400 dpi"},
        {"100000x600", 96, "at most 20000 pixels"},
        {"2000x1000mm", 600, "at most 20000"},
        {"20x10mm", 96, "too small to lay out"},
        {"50x30", 96, "too small"},
    };
    for (const auto& c : cases)
        EXPECT_TRUE(test::Refuses([&] { ParseFigureSize(c.text, c.dpi); }, c.says)) << c.text;
}

}  // namespace
}  // namespace orvane
