// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>
#include <vector>

#include "plot/figure_size.h"
#include "plot/plot_layout.h"

namespace orvane {

struct ScorePlotData;
FigureSize WindowFigure();

// Each principal component's share of the total variance, largest first, in percent, and the
// running total of those shares. Eigenvalues below zero are rounding noise of a variance that
// is zero, so they count as zero.
struct ExplainedVariance {
    std::vector<double> percent;
    std::vector<double> cumulative;  // the last one is 100 when any variance is left
};
ExplainedVariance ExplainedVarianceOf(const std::vector<double>& eigenvalues);

// Everything the explained-variance view paints, in device pixels of its surface: one bar per
// component shown (its share) and the cumulative share as a line through the bars' centres,
// both on one axis from 0 to 100 %.
struct ScreeScene {
    struct Bar {
        int left, top, width, height;
    };
    int width = 0;
    int height = 0;
    int shown = 0;  // components drawn: the first `shown` of `total`
    int total = 0;
    std::vector<PixelLine> axes;    // the x axis, then the y axis
    std::vector<PixelLine> ticks;   // the y axis's six ticks (0 to 100 %), then one per bar label
    std::vector<PixelText> labels;  // in the same order as the ticks
    std::vector<Bar> bars;
    std::vector<PlotPoint> cumulative;    // the line's vertices, one above each bar's centre
    // Each bar's share, "62.3": inside the top of a bar tall enough, in white (where the
    // cumulative line, which starts at the first bar's top, cannot cross it), else above it.
    std::vector<PixelText> bar_values;
    std::vector<std::string> bar_value_colours;
    PixelText x_title{0, 0, ""};
    PixelText y_title{0, 0, ""};
    std::vector<PlotScene::LegendEntry> legend;  // the bars, then the line
    std::string note;  // said instead of the data when there is no variance to show
};

// The explained-variance ("scree") view of a PCA that the window paints and the CLI writes as
// SVG. It shows the components up to the one that brings the cumulative share to 99.9 %, at
// least two and at most kMaxBars, and says in the x title when it leaves some out.
class ScreeLayout {
  public:
    static constexpr int kMaxBars = 20;
    static constexpr const char* kBarColour = "#1f77b4";
    static constexpr const char* kLineColour = "#d62728";

    ScreeLayout() = default;
    ScreeLayout(ExplainedVariance variance, std::string title)
        : variance_(std::move(variance)), title_(std::move(title)) {}

    const ExplainedVariance& Variance() const { return variance_; }
    const std::string& Title() const { return title_; }
    ScreeScene Layout(int width, int height, int char_height, int char_width) const;

  private:
    ExplainedVariance variance_;
    std::string title_;
};

// The explained variance of the PCA behind a score plot, titled after its study.
ScreeLayout ScreeLayoutOf(const ScorePlotData& plot);

// The view as an SVG document laid out at `size` (by default the plot window's surface).
std::string ScreeSvg(const ScreeLayout& layout, const FigureSize& size = WindowFigure());
// Writes ScreeSvg to a file; false when it cannot be written completely.
bool WriteScreeSvg(const ScreeLayout& layout, const std::string& path,
                   const FigureSize& size = WindowFigure());

}  // namespace orvane
