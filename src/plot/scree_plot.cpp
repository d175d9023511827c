// SPDX-License-Identifier: GPL-3.0-or-later
#include "plot/scree_plot.h"

#include <algorithm>
#include <cmath>

#include <fmt/format.h>

#include "stats/principal_components.h"

namespace orvane {

ExplainedVariance ExplainedVarianceOf(const std::vector<double>& eigenvalues) {
    ExplainedVariance v;
    double total = 0.0;
    for (double e : eigenvalues)
        if (e > 0.0 && std::isfinite(e)) total += e;
    if (!(total > 0.0) || !std::isfinite(total)) return v;
    double running = 0.0;
    for (double e : eigenvalues) {
        const double share = e > 0.0 && std::isfinite(e) ? 100.0 * e / total : 0.0;
        running += share;
        v.percent.push_back(share);
        v.cumulative.push_back(std::min(running, 100.0));
    }
    // The shares' sum is 100 but for the last bits of rounding; the line ends on the axis's top.
    v.cumulative.back() = 100.0;
    return v;
}

ScreeScene ScreeLayout::Layout(int width, int height, int char_height, int char_width) const {
    ScreeScene scene;
    scene.width = width;
    scene.height = height;
    const std::vector<double>& percent = variance_.percent;
    const std::vector<double>& cumulative = variance_.cumulative;
    scene.total = static_cast<int>(percent.size());
    int shown = 0;
    while (shown < scene.total && cumulative[static_cast<size_t>(shown)] < 99.9) ++shown;
    shown = std::min(shown + 1, scene.total);  // the component that reaches 99.9 % too
    shown = std::clamp(shown, std::min(2, scene.total), std::min(kMaxBars, scene.total));
    scene.shown = shown;

    const double w = width;
    const double h = height;
    const int t = static_cast<int>(PlotLayout::kTickLength * w);
    std::string x_title = "Principal component";
    if (shown < scene.total) x_title += fmt::format(" (first {} of {})", shown, scene.total);
    const std::string y_title = "Explained variance (%)";
    // Room on the left for "100 %", below for the component numbers and the x title.
    const int x0 = std::max(static_cast<int>(2 * PlotLayout::kOuterMargin * w),
                            5 * char_width + t + 6);
    const int x1 = static_cast<int>(w - PlotLayout::kOuterMargin * w);
    const int y0 = static_cast<int>(h - PlotLayout::kOuterMargin * h) - char_height - 2;
    const int y1 = static_cast<int>(PlotLayout::kOuterMargin * h) + char_height + char_height / 2;
    scene.axes = {{x0, y0, x1, y0}, {x0, y0, x0, y1}};
    scene.x_title = {(x0 + x1) / 2, height - char_height, x_title, PixelText::kMiddle};
    scene.y_title = {2, 1, y_title};
    if (shown == 0) {
        scene.note = "No explained variance to show: run a PCA first";
        return scene;
    }

    const auto y_of = [&](double value) {
        return y0 - static_cast<int>(std::lround(value / 100.0 * (y0 - y1)));
    };
    for (int v = 0; v <= 100; v += 20) {
        const int y = y_of(v);
        scene.ticks.push_back({x0 - t / 2, y, x0 + t / 2, y});
        // Ending left of the tick's mark however wide the font draws it.
        scene.labels.push_back(
            {x0 - t / 2 - 3, y - char_height / 2, fmt::format("{} %", v), PixelText::kEnd});
    }
    const double slot = static_cast<double>(x1 - x0) / shown;
    const int bar_width = std::max(1, static_cast<int>(slot * 0.6));
    for (int i = 0; i < shown; ++i) {
        const size_t k = static_cast<size_t>(i);
        const int centre = x0 + static_cast<int>((i + 0.5) * slot);
        const int top = y_of(percent[k]);
        scene.bars.push_back({centre - bar_width / 2, top, bar_width, y0 - top});
        scene.cumulative.push_back({static_cast<double>(centre),
                                    static_cast<double>(y_of(cumulative[k]))});
        std::string value = fmt::format("{:.1f}", percent[k]);
        const bool inside = y0 - top >= 2 * char_height &&
                            static_cast<int>(value.size()) * char_width <= bar_width;
        scene.bar_values.push_back({centre, inside ? top + 2 : top - char_height - 1,
                                    std::move(value), PixelText::kMiddle});
        scene.bar_value_colours.push_back(inside ? "#ffffff" : "#000000");
        scene.ticks.push_back({centre, y0, centre, y0 + t / 2});
        scene.labels.push_back({centre, y0 + t / 2 + 1, std::to_string(i + 1), PixelText::kMiddle});
    }
    // Halfway up on the right, where the line has risen above and the bars have fallen below.
    const std::string bars_name = "Explained variance";
    const std::string line_name = "Cumulative";
    const int legend_left = x1 - static_cast<int>(bars_name.size()) * char_width -
                            PlotLayout::kMarkerSize - 8;
    const int legend_top = (y0 + y1) / 2 - char_height;
    scene.legend.push_back({legend_left, legend_top, kBarColour, bars_name});
    scene.legend.push_back({legend_left, legend_top + char_height, kLineColour, line_name});
    return scene;
}

ScreeLayout ScreeLayoutOf(const ScorePlotData& plot) {
    // The score plot's title names its study; the view of the same analysis takes that name.
    const std::string scores = "PCA Score Plot";
    std::string title = plot.title;
    if (title.rfind(scores, 0) == 0)
        title.replace(0, scores.size(), "PCA Explained Variance");
    else
        title = "PCA Explained Variance";
    return ScreeLayout(ExplainedVarianceOf(plot.eigenvalues), title);
}

}  // namespace orvane
