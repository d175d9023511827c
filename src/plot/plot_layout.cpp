// SPDX-License-Identifier: GPL-3.0-or-later
#include "plot/plot_layout.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include <fmt/format.h>

#include "base/orvane_error.h"

namespace orvane {

namespace {
// Colours that stay apart from each other on white paper and for most colour-blind readers.
constexpr const char* kPalette[] = {"#1f77b4", "#d62728", "#2ca02c", "#ff7f0e", "#9467bd",
                                    "#8c564b", "#e377c2", "#17becf", "#bcbd22", "#7f7f7f"};
constexpr int kPaletteSize = sizeof(kPalette) / sizeof(kPalette[0]);

std::string Label(double value) {
    return TickLabel(value, TickDecimals(std::fabs(value) / 10.0));
}
}  // namespace

int TickDecimals(double step) {
    if (!(step > 0.0) || !std::isfinite(step)) return 0;
    const int places = 2 - static_cast<int>(std::floor(std::log10(step)));
    return std::clamp(places, 0, 12);
}

std::string TickLabel(double value, int decimals) {
    std::string text = fmt::format("{:.{}f}", value, decimals);
    // "-0.00" is zero.
    if (text.find_first_not_of("-0.") == std::string::npos && text[0] == '-') text.erase(0, 1);
    return text;
}

void PlotLayout::AddItem(std::vector<PlotPoint> points, std::string name) {
    items_.push_back(std::move(points));
    names_.resize(items_.size() - 1);
    names_.push_back(std::move(name));
}

void PlotLayout::SetAxisTitles(std::string x, std::string y) {
    x_title_ = std::move(x);
    y_title_ = std::move(y);
}

std::string PlotLayout::ItemColour(int i) const {
    int named = 0;
    for (int k = 0; k < i && k < static_cast<int>(names_.size()); ++k)
        if (!names_[static_cast<size_t>(k)].empty()) ++named;
    if (i >= static_cast<int>(names_.size()) || names_[static_cast<size_t>(i)].empty())
        return "#000000";
    return kPalette[named % kPaletteSize];
}

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
    const int x_title_room = x_title_.empty() ? 0 : char_height + 2;
    const int y_title_room = y_title_.empty() ? 0 : char_height;
    const int x0 = static_cast<int>(2 * kOuterMargin * w);
    const int y0 = static_cast<int>(h - kOuterMargin * h) - x_title_room;
    const int x1 = static_cast<int>(w - kOuterMargin * w);
    const int y1 = static_cast<int>(h - (h - kOuterMargin * h)) + y_title_room;
    if (!x_title_.empty())
        scene.x_title = {(x0 + x1) / 2 - static_cast<int>(x_title_.size()) * char_width / 2,
                         height - char_height, x_title_};
    if (!y_title_.empty()) scene.y_title = {2, 1, y_title_};
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

    const int x_places = TickDecimals(scene.x_step);
    const int y_places = TickDecimals(scene.y_step);
    const float sx = static_cast<float>(pw) / kTicks;
    for (int i = 1; i <= kTicks; ++i) {
        const int xi = x0 + static_cast<int>(static_cast<float>(i) * sx);
        scene.ticks.push_back({xi, y0 - t / 2, xi, y0 + t / 2});
        std::string text = TickLabel(scene.x_start + i * scene.x_step, x_places);
        const int text_width = static_cast<int>(text.size()) * char_width;
        // The last label ends at the surface's edge rather than past it.
        const int left = std::min(xi - text_width / 2, width - text_width - 1);
        scene.labels.push_back({left, height - char_height - x_title_room, std::move(text)});
    }
    const float sy = static_cast<float>(ph) / kTicks;
    for (int i = 1; i <= kTicks; ++i) {
        const int yi = y0 - static_cast<int>(static_cast<float>(i) * sy);
        scene.ticks.push_back({x0 - t / 2, yi, x0 + t / 2, yi});
        std::string text = TickLabel(scene.y_start + i * scene.y_step, y_places);
        // Right-aligned against the tick, but never left of the surface.
        const int text_width = static_cast<int>(text.size()) * char_width;
        const int left = std::max(1, x0 - t / 2 - 2 - text_width);
        scene.labels.push_back({left, yi - (char_height / 2) / 2, std::move(text)});
    }
    // The legend: one line per named item, in the top-right corner of the data area.
    {
        size_t longest = 0;
        for (const std::string& n : names_) longest = std::max(longest, n.size());
        const int left = x1 - static_cast<int>(longest) * char_width - kMarkerSize - 8;
        int top = y1 + 2;
        for (size_t i = 0; i < names_.size(); ++i) {
            if (names_[i].empty()) continue;
            scene.legend.push_back({left, top, ItemColour(static_cast<int>(i)), names_[i]});
            top += char_height;
        }
    }

    if (with_points) {
        const int origin_x = static_cast<int>(x0 + kInnerPadding * pw);
        const int origin_y = static_cast<int>(y0 - kInnerPadding * ph);
        const double fx = pw / scene.x_range;
        const double fy = ph / scene.y_range;
        for (size_t i = 0; i < items_.size(); ++i) {
            const std::string colour = ItemColour(static_cast<int>(i));
            for (const PlotPoint& p : items_[i]) {
                if (!std::isfinite(p.x) || !std::isfinite(p.y)) continue;
                scene.point_colours.push_back(colour);
                scene.points.push_back(
                    {static_cast<double>(static_cast<int>(origin_x + (p.x - xmin) * fx)),
                     static_cast<double>(static_cast<int>(origin_y - (p.y - ymin) * fy))});
            }
        }
    }
    return scene;
}

}  // namespace orvane
