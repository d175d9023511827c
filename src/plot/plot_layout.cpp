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

std::vector<double> NiceTicks(double lo, double hi, int target) {
    std::vector<double> ticks;
    if (!(hi > lo) || target < 1 || !std::isfinite(hi - lo)) return ticks;
    const double raw = (hi - lo) / target;
    const int exponent = static_cast<int>(std::floor(std::log10(raw)));
    const double power = std::pow(10.0, exponent);
    // The round step nearest to the wanted one on a log scale.
    double m = 1.0;
    for (double candidate : {2.0, 5.0, 10.0})
        if (std::fabs(std::log(candidate * power / raw)) < std::fabs(std::log(m * power / raw)))
            m = candidate;
    // Whole multiples of the step, divided by a power of ten last, so that each tick is the
    // double nearest its decimal (0.15, not 0.15000000000000002) and no rounding creeps in.
    const double scale = std::pow(10.0, std::abs(exponent));
    auto value = [&](double k) { return exponent >= 0 ? k * m * scale : k * m / scale; };
    const double step = value(1.0);
    const double first = std::ceil(lo / step - 1e-9);
    const double last = std::floor(hi / step + 1e-9);
    for (double k = first; k <= last; ++k) ticks.push_back(k == 0.0 ? 0.0 : value(k));
    return ticks;
}

int NiceTickDecimals(double step) {
    if (!(step > 0.0) || !std::isfinite(step)) return 0;
    // The step is a round number, so its first significant digit is its last.
    return std::clamp(-static_cast<int>(std::floor(std::log10(step) + 1e-9)), 0, 15);
}

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
    // Room below the x axis for the tick marks, their labels and the x title.
    const int y0 = std::min(static_cast<int>(h - kOuterMargin * h) - x_title_room,
                            height - x_title_room - char_height - t / 2 - 3);
    const int x1 = static_cast<int>(w - kOuterMargin * w);
    const int y1 = static_cast<int>(h - (h - kOuterMargin * h)) + y_title_room;
    if (!y_title_.empty()) scene.y_title = {2, 1, y_title_};
    int x0 = static_cast<int>(2 * kOuterMargin * w);
    auto place_x_title = [&] {
        if (!x_title_.empty())
            scene.x_title = {(x0 + x1) / 2, height - char_height, x_title_, PixelText::kMiddle};
    };
    auto empty = [&](std::string note) {
        place_x_title();
        scene.axes = {{x0, y0, x1, y0}, {x0, y0, x0, y1}};
        scene.note = std::move(note);
        return scene;
    };

    if (count == 0) return empty("No data to plot");
    scene.xmin = xmin;
    scene.xmax = xmax;
    scene.ymin = ymin;
    scene.ymax = ymax;
    scene.x_range = (1 + 2 * kInnerPadding) * (xmax - xmin);
    scene.y_range = (1 + 2 * kInnerPadding) * (ymax - ymin);
    if (!(scene.x_range > 0.0) || !(scene.y_range > 0.0))
        return empty(scene.x_range > 0.0 ? "Every point has the same y value, " + Label(ymin)
                                         : "Every point has the same x value, " + Label(xmin));
    scene.x_start = xmin - kInnerPadding * scene.x_range;
    scene.y_start = ymin - kInnerPadding * scene.y_range;

    // Round tick values, as many as fit: fewer when the labels would touch each other.
    auto labels_of = [](const std::vector<double>& values) {
        std::vector<std::string> texts;
        const int places = values.size() > 1 ? NiceTickDecimals(values[1] - values[0]) : 0;
        for (double v : values) texts.push_back(TickLabel(v, places));
        return texts;
    };
    auto widest = [&](const std::vector<std::string>& texts) {
        size_t n = 0;
        for (const std::string& text : texts) n = std::max(n, text.size());
        return static_cast<int>(n) * char_width;
    };
    const int ph = y0 - y1;
    std::vector<double> yv = NiceTicks(scene.y_start, scene.y_start + scene.y_range, kTicks);
    for (int target = kTicks - 1;
         target >= 2 && yv.size() > 1 && ph * (yv[1] - yv[0]) / scene.y_range < 2 * char_height;
         --target)
        yv = NiceTicks(scene.y_start, scene.y_start + scene.y_range, target);
    const std::vector<std::string> y_texts = labels_of(yv);
    // The y labels end left of their ticks, so the axis moves right to make room for them.
    x0 = std::max(x0, widest(y_texts) + t / 2 + 6);
    const int pw = x1 - x0;
    std::vector<double> xv = NiceTicks(scene.x_start, scene.x_start + scene.x_range, kTicks);
    std::vector<std::string> x_texts = labels_of(xv);
    for (int target = kTicks - 1;
         target >= 2 && xv.size() > 1 &&
         pw * (xv[1] - xv[0]) / scene.x_range < widest(x_texts) + 2 * char_width;
         --target) {
        xv = NiceTicks(scene.x_start, scene.x_start + scene.x_range, target);
        x_texts = labels_of(xv);
    }
    scene.x_step = xv.size() > 1 ? xv[1] - xv[0] : scene.x_range;
    scene.y_step = yv.size() > 1 ? yv[1] - yv[0] : scene.y_range;
    scene.x_values = xv;
    scene.y_values = yv;
    place_x_title();
    scene.axes = {{x0, y0, x1, y0}, {x0, y0, x0, y1}};

    // The points' mapping: a tick lies on the pixel a point of its value takes.
    const int origin_x = static_cast<int>(x0 + kInnerPadding * pw);
    const int origin_y = static_cast<int>(y0 - kInnerPadding * ph);
    const double fx = pw / scene.x_range;
    const double fy = ph / scene.y_range;
    for (size_t i = 0; i < xv.size(); ++i) {
        const int xi = static_cast<int>(origin_x + (xv[i] - xmin) * fx);
        scene.ticks.push_back({xi, y0 - t / 2, xi, y0 + t / 2});
        // Centred under the tick, below its mark, but never past the surface's edges.
        const int half = static_cast<int>(x_texts[i].size()) * char_width / 2;
        const int centre = std::clamp(xi, half + 1, width - half - 1);
        scene.labels.push_back({centre, y0 + t / 2 + 2, std::move(x_texts[i]), PixelText::kMiddle});
    }
    scene.x_ticks = static_cast<int>(xv.size());
    for (size_t i = 0; i < yv.size(); ++i) {
        const int yi = static_cast<int>(origin_y - (yv[i] - ymin) * fy);
        scene.ticks.push_back({x0 - t / 2, yi, x0 + t / 2, yi});
        // Ending left of the tick's mark, centred on it in height.
        scene.labels.push_back({x0 - t / 2 - 3, yi - char_height / 2, y_texts[i], PixelText::kEnd});
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
