// SPDX-License-Identifier: GPL-3.0-or-later
#include "plot/plot_layout.h"

#include <cmath>
#include <limits>

#include <fmt/format.h>

#include "base/orvane_error.h"

namespace orvane {

namespace {
std::string Label(double value) { return fmt::format("{:.3E}", value); }
}  // namespace

void PlotLayout::AddItem(const Matrix& rows) {
    if (rows.Nrows() > 0 && rows.Ncols() < 2)
        throw OrvaneError("A plot item needs an x and a y column.");
    std::vector<PlotPoint> points;
    points.reserve(static_cast<size_t>(rows.Nrows()));
    for (int r = 1; r <= rows.Nrows(); ++r) points.push_back({rows(r, 1), rows(r, 2)});
    items_.push_back(std::move(points));
}

void PlotLayout::AddItem(std::vector<PlotPoint> points) { items_.push_back(std::move(points)); }

PlotScene PlotLayout::Layout(int width, int height, int char_height, int char_width,
                             bool with_points) const {
    PlotScene scene;
    scene.width = width;
    scene.height = height;
    const double w = width;
    const double h = height;

    // Points that are not numbers cannot be placed; they take no part in the ranges.
    double xmin = std::numeric_limits<double>::infinity();
    double ymin = xmin;
    double xmax = -xmin;
    double ymax = -xmin;
    int count = 0;
    for (const auto& item : items_) {
        for (const PlotPoint& p : item) {
            if (!std::isfinite(p.x) || !std::isfinite(p.y)) continue;
            xmin = std::min(xmin, p.x);
            xmax = std::max(xmax, p.x);
            ymin = std::min(ymin, p.y);
            ymax = std::max(ymax, p.y);
            ++count;
        }
    }

    const int t = static_cast<int>(kTickLength * w);
    const int x0 = static_cast<int>(2 * kOuterMargin * w);
    const int y0 = static_cast<int>(h - kOuterMargin * h);
    const int x1 = static_cast<int>(w - kOuterMargin * w);
    const int y1 = static_cast<int>(h - (h - kOuterMargin * h));
    const int pw = x1 - x0;
    const int ph = y0 - y1;
    scene.axes = {{x0, y0, x1, y0}, {x0, y0, x0, y1}};

    if (count == 0) {
        scene.note = "No data to plot";
        return scene;
    }
    scene.xmin = xmin;
    scene.xmax = xmax;
    scene.ymin = ymin;
    scene.ymax = ymax;
    scene.x_range = (1 + 2 * kInnerPadding) * (xmax - xmin);
    scene.y_range = (1 + 2 * kInnerPadding) * (ymax - ymin);
    if (!(scene.x_range > 0.0) || !(scene.y_range > 0.0)) {
        scene.note = scene.x_range > 0.0 ? "Every point has the same y value, " + Label(ymin)
                                         : "Every point has the same x value, " + Label(xmin);
        return scene;
    }
    scene.x_step = scene.x_range / kTicks;
    scene.x_start = xmin - kInnerPadding * scene.x_range;
    scene.y_step = scene.y_range / kTicks;
    scene.y_start = ymin - kInnerPadding * scene.y_range;

    const float sx = static_cast<float>(pw) / kTicks;
    for (int i = 1; i <= kTicks; ++i) {
        const int xi = x0 + static_cast<int>(static_cast<float>(i) * sx);
        scene.ticks.push_back({xi, y0 - t / 2, xi, y0 + t / 2});
        std::string text = Label(scene.x_start + i * scene.x_step);
        const int left = xi - static_cast<int>(text.size()) * char_width / 2;
        scene.labels.push_back({left, height - char_height, std::move(text)});
    }
    const float sy = static_cast<float>(ph) / kTicks;
    for (int i = 1; i <= kTicks; ++i) {
        const int yi = y0 - static_cast<int>(static_cast<float>(i) * sy);
        scene.ticks.push_back({x0 - t / 2, yi, x0 + t / 2, yi});
        scene.labels.push_back(
            {t / 2, yi - (char_height / 2) / 2, Label(scene.y_start + i * scene.y_step)});
    }

    if (with_points) {
        const int origin_x = static_cast<int>(x0 + kInnerPadding * pw);
        const int origin_y = static_cast<int>(y0 - kInnerPadding * ph);
        const double fx = pw / scene.x_range;
        const double fy = ph / scene.y_range;
        for (const auto& item : items_) {
            for (const PlotPoint& p : item) {
                if (!std::isfinite(p.x) || !std::isfinite(p.y)) continue;
                scene.points.push_back(
                    {static_cast<double>(static_cast<int>(origin_x + (p.x - xmin) * fx)),
                     static_cast<double>(static_cast<int>(origin_y - (p.y - ymin) * fy))});
            }
        }
    }
    return scene;
}

}  // namespace orvane
