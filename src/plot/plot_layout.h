// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>
#include <vector>

#include "base/matrix.h"

namespace orvane {

struct PlotPoint {
    double x = 0.0;
    double y = 0.0;
};

struct PixelLine {
    int x1, y1, x2, y2;
};

// A line of text whose top is `top`; `left` is where its anchor lies: its start, its middle or
// its end, so that a label ends at a tick however wide the renderer's font draws it.
struct PixelText {
    enum Anchor { kStart, kMiddle, kEnd };
    int left, top;
    std::string text;
    Anchor anchor = kStart;
};

// A tick value as plain decimals (never exponent notation), with `decimals` places.
std::string TickLabel(double value, int decimals);
// Enough decimal places to tell ticks `step` apart: three significant digits of the step.
int TickDecimals(double step);

// Tick values for an axis from lo to hi: about `target` round steps (1, 2 or 5 times a power
// of ten, whichever is nearest to the range over `target`) that lie inside the range.
std::vector<double> NiceTicks(double lo, double hi, int target);
// The decimal places of ticks at a round step: none for 1, 2, 5 and up, one for 0.5, ...
int NiceTickDecimals(double step);

// Everything a plot window paints, in device pixels of its drawing surface.
struct PlotScene {
    int width = 0;
    int height = 0;
    std::vector<PixelLine> axes;    // the x axis, then the y axis
    std::vector<PixelLine> ticks;   // those on x, then those on y
    std::vector<PixelText> labels;  // one per tick, in the same order
    int x_ticks = 0;                // how many of the ticks are on x
    std::vector<PlotPoint> points;  // top-left corners of the 5-pixel markers (whole pixels)
    std::vector<std::string> point_colours;  // "#rrggbb" of each point: its item's colour
    // One entry per named item: a marker of its colour at (left, top) and its name beside it.
    struct LegendEntry {
        int left, top;
        std::string colour;
        std::string text;
    };
    std::vector<LegendEntry> legend;
    PixelText x_title{0, 0, ""};  // under the x labels, centred; empty without a title
    PixelText y_title{0, 0, ""};  // above the y axis
    std::string note;               // said instead of the data when there is nothing to scale

    // The ranges behind the layout, for callers that annotate the plot.
    double xmin = 0.0, xmax = 0.0, ymin = 0.0, ymax = 0.0;
    double x_range = 0.0, y_range = 0.0;
    double x_start = 0.0, y_start = 0.0, x_step = 0.0, y_step = 0.0;
    std::vector<double> x_values, y_values;  // the ticks' values
};

// The arithmetic of a two-dimensional scatter plot: data ranges padded by 5 % on each side,
// axes inside a 5 % margin, about five ticks per axis at round values (1, 2 or 5 times a power
// of ten) labelled as plain decimals, the x labels centred under their ticks and the y labels
// ending left of theirs, each point a 5-pixel marker whose top-left corner is the point. The
// mapping puts the axis start value exactly at the origin and every tick value exactly on its
// tick.
class PlotLayout {
  public:
    static constexpr double kOuterMargin = 0.05;
    static constexpr double kInnerPadding = 0.05;
    static constexpr double kTickLength = 0.01;
    static constexpr int kTicks = 5;  // wanted per axis; round values give four to seven
    static constexpr int kMarkerSize = 5;
    // The drawing surface of a plot window, in pixels.
    static constexpr int kSurfaceWidth = 598;
    static constexpr int kSurfaceHeight = 306;

    // One item per call; row i of the matrix is a point (column 1 x, column 2 y; further
    // columns are ignored).
    void AddItem(const Matrix& rows);
    void AddItem(std::vector<PlotPoint> points);
    // A named item takes the next colour of the palette and a line in the legend.
    void AddItem(std::vector<PlotPoint> points, std::string name);
    // Axis titles take a text line of their own below the x labels and above the y axis.
    void SetAxisTitles(std::string x, std::string y);
    // The colour of item i: black for unnamed items, else the palette in turn.
    std::string ItemColour(int i) const;
    int ItemCount() const { return static_cast<int>(items_.size()); }

    void SetTitle(std::string title) { title_ = std::move(title); }
    const std::string& Title() const { return title_; }

    // Lays the plot out on a surface of width x height pixels whose label font has the given
    // character height and average character width. Points are placed only when `with_points`
    // is set (a plain plot window draws axes only). Without items, or when every point shares
    // one x or one y value, the axes come with a note and no ticks, labels or points.
    PlotScene Layout(int width, int height, int char_height, int char_width,
                     bool with_points) const;

  private:
    std::vector<std::vector<PlotPoint>> items_;
    std::vector<std::string> names_;
    std::string x_title_, y_title_;
    std::string title_;
};

}  // namespace orvane
